// The CSV event log: one line per frame from the connection threads, and
// the choice of the log file.
#include <ctime>
#include <vector>

#include "platform/text.h"
#include "store/csv_lines.h"
#include "window/monitor_dlg.h"

std::string CMonitorDlg::currentLogPath() const {
    std::lock_guard lock(logPathMutex);
    return logPath;
}

void CMonitorDlg::setLogPath(std::string path) {
    std::lock_guard lock(logPathMutex);
    logPath = std::move(path);
}

namespace {

std::string localTimestampNow() {
    const std::time_t now = std::time(nullptr);
    // std::localtime shares one buffer; appends are serialised and nothing
    // else in the program converts to local time.
    const std::tm* local = std::localtime(&now);
    return local != nullptr ? store::csvTimestamp(*local) : std::string();
}

template <std::size_t N>
std::vector<std::int32_t> snapshotStates(const std::array<std::atomic<std::int32_t>, N>& states) {
    std::vector<std::int32_t> values;
    for (const auto& state : states) values.push_back(state.load());
    return values;
}

}  // namespace

void CMonitorDlg::AppendEventLog(const char* peerAddress) {
    if (loggingOn.load() == 0) return;

    std::unique_lock lock(eventLogMutex);
    const std::string path = currentLogPath();
    auto file = fs::TextFile::open(path, fs::OpenMode::Append);
    if (!file) {
        // The box waits for the user: other connections go on logging
        // meanwhile, only this one stops reading until it is closed.
        lock.unlock();
        MessageBox(text::jp("ログファイルが開けません\r\n"));
        return;
    }

    const bool namesWereChanged = namesChanged.exchange(0) != 0;
    bool written = true;
    if (namesWereChanged || file->size() == 0) {
        std::string header;
        {
            std::lock_guard names(signalNamesGuard);
            header = store::csvHeaderLine(inputNamesShown, outputNamesShown);
        }
        written = file->write(header);
        // The fresh header is still owed to the next line that can be written.
        if (!written && namesWereChanged) namesChanged.store(1);
    }
    if (written) {
        const std::string line =
            store::csvDataLine(localTimestampNow(), peerAddress != nullptr ? peerAddress : "",
                               snapshotStates(inputOn), snapshotStates(outputOn));
        written = file->write(line);
    }
    if (!file->close() || !written) traceLine(this, "log write error: %s\r\n", path.c_str());
}

void CMonitorDlg::OnLoggingClicked() {
    loggingOn.store(loggingCheck.isChecked() ? 1 : 0);
}

void CMonitorDlg::OnBrowseLogFile() {
    ui::FileDialogRequest request;
    request.save = true;
    request.defaultExtension = "csv";
    request.initialPath = currentLogPath();
    request.filter = "CSV file (*.csv)|*.csv|all files(*.*)|*.*||";
    request.overwritePrompt = true;
    request.hideReadOnly = true;
    auto chosen = FileDialog(request);
    if (!chosen) return;
    setLogPath(*chosen);
    logFileEdit.setText(*chosen);
}
