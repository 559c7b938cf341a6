// The window's side of the log: the states a frame's line needs, the
// logging check box and the choice of the log file.
#include <array>
#include <string>

#include "store/file_choice.h"
#include "window/monitor_dlg.h"

namespace {

template <std::size_t N>
std::array<std::int32_t, N> snapshotStates(const std::array<std::atomic<std::int32_t>, N>& states) {
    std::array<std::int32_t, N> values{};
    for (std::size_t k = 0; k < N; ++k) values[k] = states[k].load();
    return values;
}

}  // namespace

void CMonitorDlg::AppendEventLog(const char* peerAddress) {
    std::string lines;
    logFrame(peerAddress != nullptr ? peerAddress : "", lines);
    logRead(lines);
}

void CMonitorDlg::logFrame(const std::string& peerAddress, std::string& lines) {
    if (!eventLog.logging()) return;
    eventLog.record(peerAddress, snapshotStates(inputOn), snapshotStates(outputOn), lines);
}

void CMonitorDlg::logRead(std::string& lines) {
    eventLog.append(lines);
}

void CMonitorDlg::OnLoggingClicked() {
    eventLog.setLogging(loggingCheck.isChecked());
}

void CMonitorDlg::OnBrowseLogFile() {
    ui::FileDialogRequest request;
    request.save = true;
    request.defaultExtension = "csv";
    request.initialPath = eventLog.path();
    request.filter = "CSV file (*.csv)|*.csv|all files(*.*)|*.*||";
    request.overwritePrompt = true;
    request.hideReadOnly = true;
    auto chosen = store::chooseFile(*this, request);
    if (!chosen) return;
    eventLog.setPath(*chosen);
    logFileEdit.setText(*chosen);
}
