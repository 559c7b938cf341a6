#include "store/event_log.h"

#include <algorithm>
#include <ctime>

#include "platform/text.h"
#include "store/csv_lines.h"

namespace store {

namespace {

// How long the close waits for the writer before it saves what is still
// owed into a file of its own.
constexpr auto closeWaitForLog = std::chrono::milliseconds(1000);

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

EventLog::EventLog(LogWriter::ThreadStarter startThread, WindowPoster post, LogNotices& notices)
    : notices_(notices),
      writer_(std::move(startThread), [this, post = std::move(post)](std::string text) {
          {
              std::lock_guard lock(toldGuard_);
              told_.push_back(std::move(text));
          }
          post([this] { showToldNotices(); });
      }) {
    writer_.useOpener(gatedOpener(systemLogOpener(), gates_));
}

void EventLog::setProgramFolder(std::string folder) {
    programFolder_ = std::move(folder);
}

void EventLog::useOpener(LogOpener opener) {
    writer_.useOpener(gatedOpener(std::move(opener), gates_));
}

std::string EventLog::path() const {
    std::lock_guard lock(pathGuard_);
    return path_;
}

void EventLog::setPath(std::string path) {
    std::lock_guard lock(pathGuard_);
    path_ = std::move(path);
}

void EventLog::setSignalNames(const std::vector<std::string>& inputs,
                              const std::vector<std::string>& outputs, bool editedByUser) {
    auto header = std::make_shared<const std::string>(csvHeaderLine(inputs, outputs));
    {
        std::lock_guard lock(namesGuard_);
        header_ = std::move(header);
    }
    if (editedByUser) namesEdited_.store(true);
}

void EventLog::appendTimestampNow(std::string& into) {
    const std::time_t now = std::time(nullptr);
    std::lock_guard lock(localTimeGuard_);
    if (now != timestampSecond_) {
        const std::tm* local = std::localtime(&now);
        timestampText_ = local != nullptr ? csvTimestamp(*local) : std::string();
        timestampSecond_ = now;
    }
    into.append(timestampText_);
}

std::string EventLog::rescueFileTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::lock_guard lock(localTimeGuard_);
    const std::tm* local = std::localtime(&now);
    char text[32] = "";
    if (local != nullptr) std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", local);
    return text;
}

void EventLog::record(std::string_view peerAddress, std::span<const std::int32_t> inputs,
                      std::span<const std::int32_t> outputs, std::string& records) {
    appendTimestampNow(records);
    appendCsvRecordAfterTimestamp(records, peerAddress, inputs, outputs);
}

void EventLog::append(std::string& records) {
    if (records.empty()) return;
    OwedLines lines;
    lines.count = static_cast<std::size_t>(std::count(records.begin(), records.end(), '\n'));
    lines.records = std::move(records);
    // The next read's records take about as much room.
    records.clear();
    records.reserve(lines.records.size());
    const std::string file = path();
    // The lines that take the flag are the next ones in the queue, so that
    // the fresh header comes before the first record after the edit. The
    // names are taken after the flag: the lines carry the names that made
    // them ask.
    std::lock_guard order(orderGuard_);
    lines.headerFirst = namesEdited_.exchange(false);
    {
        std::lock_guard names(namesGuard_);
        lines.header = header_;
    }
    const bool headerFirst = lines.headerFirst;
    // A dropped line's fresh header is still owed to the next line.
    if (writer_.add(file, std::move(lines)) == 0 && headerFirst) namesEdited_.store(true);
}

void EventLog::showToldNotices() {
    std::deque<std::string> told;
    {
        std::lock_guard lock(toldGuard_);
        told.swap(told_);
    }
    for (auto& text : told) {
        if (std::find(noticesWaiting_.begin(), noticesWaiting_.end(), text) ==
            noticesWaiting_.end()) {
            noticesWaiting_.push_back(std::move(text));
        }
    }
    // A box is open: its handler shows this one once the user closes it,
    // so that the user is never more than one OK away from the window.
    if (noticeOpen_) return;
    noticeOpen_ = true;
    while (!noticesWaiting_.empty()) {
        const std::string next = std::move(noticesWaiting_.front());
        noticesWaiting_.pop_front();
        notices_.showLogNotice(next);
    }
    noticeOpen_ = false;
}

std::optional<std::string> EventLog::rescue(const OwedFile& owed, int number) {
    const auto [folder, stem] = folderAndStem(owed.path);
    // Appended piece by piece: g++ 12 at -O3 warns falsely about a literal
    // joined in front of a temporary.
    std::string name = stem + text::jp("_未記録_") + rescueFileTimeNow();
    if (number > 0) name.append("-").append(std::to_string(number + 1));
    name.append(".csv");
    std::vector<std::string> places;
    // Beside the log, unless its folder kept the writer waiting.
    if (!owed.stuck && !folder.empty()) places.push_back(folder + name);
    if (!programFolder_.empty()) places.push_back(programFolder_ + fs::pathSeparator + name);
    const LogOpener open = writer_.opener();
    for (const auto& place : places) {
        auto file = open(place);
        if (!file) continue;
        const bool whole = writeOwedLines(*file, owed.lines).count == owed.count;
        if (file->close() && whole) return place;
    }
    return std::nullopt;
}

void EventLog::finish() {
    const FinishedLog finished = writer_.finish(closeWaitForLog);
    // What the writer told while the window was closing comes first, so the
    // user reads why the lines below were owed.
    showToldNotices();
    std::string report;
    std::size_t lost = 0;
    for (std::size_t i = 0; i < finished.owed.size(); ++i) {
        const OwedFile& owed = finished.owed[i];
        if (const auto place = rescue(owed, static_cast<int>(i))) {
            report += text::jp("ログファイルに書き込めなかった ") + std::to_string(owed.count) +
                      text::jp(" 行を、次のファイルに保存しました。\r\n") + *place + "\r\n";
        } else {
            lost += owed.count;
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
    if (!report.empty()) notices_.showLogNotice(report);
}

}  // namespace store
