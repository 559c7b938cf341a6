// The CSV event log: one line per frame, made on the connection thread and
// handed to the log's own writer; what the writer tells the user; the close
// that leaves no owed line behind; and the choice of the log file.
#include <ctime>
#include <vector>

#include "platform/text.h"
#include "store/csv_lines.h"
#include "store/file_choice.h"
#include "window/monitor_dlg.h"

namespace {

// How long the close waits for the writer before it saves what is still
// owed into a file of its own.
constexpr auto closeWaitForLog = std::chrono::milliseconds(1000);

template <std::size_t N>
std::vector<std::int32_t> snapshotStates(const std::array<std::atomic<std::int32_t>, N>& states) {
    std::vector<std::int32_t> values;
    for (const auto& state : states) values.push_back(state.load());
    return values;
}

// "C:\logs\line 1.csv" -> "C:\logs\", "line 1"; the separator is '\' or
// '/', neither of which is ever the second byte of a CP932 character.
std::pair<std::string, std::string> folderAndStem(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string name = path.substr(nameStart);
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    return {path.substr(0, nameStart), name};
}

}  // namespace

std::string CMonitorDlg::currentLogPath() const {
    std::lock_guard lock(logPathMutex);
    return logPath;
}

void CMonitorDlg::setLogPath(std::string path) {
    std::lock_guard lock(logPathMutex);
    logPath = std::move(path);
}

std::string CMonitorDlg::logTimestampNow() {
    const std::time_t now = std::time(nullptr);
    std::lock_guard lock(localTimeGuard);
    // A second's text serves every frame of that second.
    if (now != timestampSecond) {
        const std::tm* local = std::localtime(&now);
        timestampText = local != nullptr ? store::csvTimestamp(*local) : std::string();
        timestampSecond = now;
    }
    return timestampText;
}

std::string CMonitorDlg::rescueFileTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::lock_guard lock(localTimeGuard);
    const std::tm* local = std::localtime(&now);
    char text[32] = "";
    if (local != nullptr) std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", local);
    return text;
}

void CMonitorDlg::AppendEventLog(const char* peerAddress) {
    if (loggingOn.load() == 0) return;
    store::OwedLine line;
    line.record = store::csvDataLine(logTimestampNow(), peerAddress != nullptr ? peerAddress : "",
                                     snapshotStates(inputOn), snapshotStates(outputOn));
    const std::string path = currentLogPath();
    // The line that takes the flag is the next one in the queue, so that
    // the fresh header comes before the first record after the edit. The
    // names are taken after the flag: the line carries the names that made
    // it ask.
    std::lock_guard order(logOrderGuard);
    line.headerFirst = namesChanged.exchange(0) != 0;
    {
        std::lock_guard names(signalNamesGuard);
        line.header = logHeaderShown;
    }
    const bool headerFirst = line.headerFirst;
    // A dropped line's fresh header is still owed to the next line.
    if (!logWriter.add(path, std::move(line)) && headerFirst) namesChanged.store(1);
}

void CMonitorDlg::showLogNotice(std::string text) {
    for (const auto& waiting : logNoticesWaiting) {
        if (waiting == text) return;
    }
    logNoticesWaiting.push_back(std::move(text));
    // A box is open: its handler shows this one once the user closes it,
    // so that the user is never more than one OK away from the window.
    if (logNoticeOpen) return;
    logNoticeOpen = true;
    while (!logNoticesWaiting.empty()) {
        const std::string next = std::move(logNoticesWaiting.front());
        logNoticesWaiting.pop_front();
        ShowMessage(next);
    }
    logNoticeOpen = false;
}

std::optional<std::string> CMonitorDlg::rescueOwedLines(const store::OwedFile& owed, int number) {
    const auto [folder, stem] = folderAndStem(owed.path);
    // Appended piece by piece: g++ 12 at -O3 warns falsely about a literal
    // joined in front of a temporary.
    std::string name = stem + text::jp("_未記録_") + rescueFileTimeNow();
    if (number > 0) name.append("-").append(std::to_string(number + 1));
    name.append(".csv");
    std::vector<std::string> places;
    // Beside the log, unless its folder kept the writer waiting.
    if (!owed.stuck && !folder.empty()) places.push_back(folder + name);
    if (!exeFolder.empty()) places.push_back(exeFolder + fs::pathSeparator + name);
    const store::LogOpener open = logWriter.opener();
    for (const auto& place : places) {
        auto file = open(place);
        if (!file) continue;
        const bool whole = store::writeOwedLines(*file, owed.lines).count == owed.lines.size();
        if (file->close() && whole) return place;
    }
    return std::nullopt;
}

void CMonitorDlg::finishEventLog() {
    const store::FinishedLog finished = logWriter.finish(closeWaitForLog);
    std::string report;
    std::size_t lost = 0;
    for (std::size_t i = 0; i < finished.owed.size(); ++i) {
        const store::OwedFile& owed = finished.owed[i];
        if (const auto place = rescueOwedLines(owed, static_cast<int>(i))) {
            report += text::jp("ログファイルに書き込めなかった ") +
                      std::to_string(owed.lines.size()) +
                      text::jp(" 行を、次のファイルに保存しました。\r\n") + *place + "\r\n";
        } else {
            lost += owed.lines.size();
        }
    }
    if (lost > 0) {
        report += text::jp("ログファイルに書き込めなかった ") + std::to_string(lost) +
                  text::jp(" 行は、保存できなかったため失われました。\r\n");
    }
    if (finished.dropped > 0) {
        report += text::jp("書き込み待ちの行が上限を超えたため、") +
                  std::to_string(finished.dropped) + text::jp(" 行を記録できませんでした。\r\n");
    }
    if (!report.empty()) ShowMessage(report);
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
    auto chosen = store::chooseFile(*this, request);
    if (!chosen) return;
    setLogPath(*chosen);
    logFileEdit.setText(*chosen);
}
