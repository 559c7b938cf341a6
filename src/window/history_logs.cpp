// Logs in the history window: chosen with the open dialog, read by a worker
// with progress and cancel, then followed by it as they grow: once a second
// it looks at the file's size and first bytes and hands what was appended
// to the window, or the whole file again when it was replaced.
#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/fs_bytes.h"
#include "platform/text.h"
#include "store/file_choice.h"
#include "window/history_log_state.h"
#include "window/monitor_dlg.h"

namespace {

// Pieces of this size, each file open closed again, so that no writer of
// the log is kept out for long.
constexpr std::size_t readPiece = 1 << 20;
constexpr std::size_t followPiece = 4 << 20;
constexpr int readRetries = 50;
constexpr auto readRetryPause = std::chrono::milliseconds(20);
constexpr auto followPause = std::chrono::seconds(1);
// A log opens with all of it across the diagram, at least a second; one
// without any line of ours with a minute.
constexpr double shortestLogSpanMs = 1000;
constexpr double emptyLogSpanMs = 60'000;

std::string jp(const char* utf8) {
    return text::jp(utf8);
}

using Reading = CHistoryDlg::Reading;

// A piece of the file from offset, taken in the writer's turns; nothing
// when it stayed unreadable for a second or the reading was stopped.
std::optional<std::string> readPieceAt(Reading& reading, std::int64_t offset, std::size_t size) {
    for (int attempt = 0; attempt < readRetries && !reading.stopped(); ++attempt) {
        {
            std::unique_lock turn(reading.gate(), std::try_to_lock);
            if (turn.owns_lock()) {
                auto piece = fs::readBytes(reading.path(), offset, size);
                if (piece) return piece;
            }
        }
        std::this_thread::sleep_for(readRetryPause);
    }
    return std::nullopt;
}

// Reads the whole file into log; false when it could not be read.
bool readWhole(Reading& reading, CHistoryDlg::Log& log) {
    log.path = reading.path();
    for (;;) {
        const auto piece = readPieceAt(reading, log.offset, readPiece);
        if (!piece) return false;
        log.reader.feed(*piece);
        log.offset += static_cast<std::int64_t>(piece->size());
        reading.done.store(log.offset);
        if (piece->size() < readPiece) return true;
    }
}

// The first bytes of what was read, by which a log that was replaced is
// told from one that grew; nothing when they could not be read.
std::optional<std::string> readHead(Reading& reading, std::int64_t readBytes) {
    constexpr std::int64_t headBytes = 512;
    return readPieceAt(reading, 0, static_cast<std::size_t>(std::min(readBytes, headBytes)));
}

// The worker's body: it holds the reading alone.
void readAndFollow(const std::shared_ptr<Reading>& reading) {
    auto log = std::make_shared<CHistoryDlg::Log>();
    const bool read = readWhole(*reading, *log);
    reading->toWindow(
        [reading, log, read](CHistoryDlg& window) { window.logRead(reading, log, read); });
    if (!read) return;
    std::int64_t offset = log->offset;
    std::optional<std::string> head = readHead(*reading, offset);
    while (reading->pause(followPause)) {
        const auto size = fs::fileSize(reading->path());
        if (!size) continue;
        // Emptied, or replaced by a file of any length, the log begins
        // otherwise than the one read: read again from its start.
        if (*size < offset || (head && readHead(*reading, offset) != head)) {
            auto fresh = std::make_shared<CHistoryDlg::Log>();
            if (!readWhole(*reading, *fresh)) continue;
            offset = fresh->offset;
            head = readHead(*reading, offset);
            reading->toWindow(
                [reading, fresh](CHistoryDlg& window) { window.logRead(reading, fresh, true); });
            continue;
        }
        if (*size == offset) continue;
        const auto wanted = static_cast<std::size_t>(
            std::min<std::int64_t>(*size - offset, static_cast<std::int64_t>(followPiece)));
        auto piece = readPieceAt(*reading, offset, wanted);
        if (!piece) continue;
        offset += static_cast<std::int64_t>(piece->size());
        reading->toWindow([reading, piece = std::move(*piece)](CHistoryDlg& window) {
            window.logGrew(reading, piece);
        });
    }
}

}  // namespace

void CHistoryDlg::OnOpenLog() {
    ui::FileDialogRequest request;
    request.save = false;
    request.defaultExtension = "csv";
    request.initialPath = main_.eventLog.path();
    request.filter = "CSV file (*.csv)|*.csv|all files(*.*)|*.*||";
    request.overwritePrompt = false;
    request.hideReadOnly = true;
    const auto path = store::chooseFile(*this, request);
    if (path) startReading(*path);
}

void CHistoryDlg::startReading(const std::string& path) {
    stopReading();
    auto reading = std::make_shared<Reading>(
        path, main_.eventLog.fileGates()->at(path), [this](Reading::WindowWork work) {
            PostToWindowThread([this, work = std::move(work)] { work(*this); });
        });
    reading->total.store(fs::fileSize(path).value_or(0));
    reading_ = reading;
    cancelButton.show(true);
    if (!StartWorkerLetGoAtClose([reading] { readAndFollow(reading); })) {
        stopReading();
        ShowMessage(jp("ログファイルを読めません"));
    }
    showSourceText();
}

void CHistoryDlg::stopReading() {
    if (reading_) {
        reading_->closeWindow();
        reading_->stop();
    }
    reading_.reset();
    cancelButton.show(false);
}

void CHistoryDlg::logRead(const std::shared_ptr<Reading>& reading, const std::shared_ptr<Log>& log,
                          bool read) {
    if (reading != reading_) return;
    cancelButton.show(false);
    if (!read) {
        const bool cancelled = reading->stopped();
        reading_.reset();
        refresh();
        if (cancelled) {
            sourceLabel.setText(jp("ログの読み込みを中止しました"));
        } else {
            ShowMessage(jp("ログファイルを読めません"));
        }
        return;
    }
    reading->loaded.store(true);
    log_ = log;
    liveButton.enable(true);
    rebuildFilter();
    cursors_.clear();
    takeNewChanges();
    // The whole log across the diagram, its end at the right edge.
    const history::Timeline& all = source();
    const double span =
        all.empty() ? emptyLogSpanMs
                    : std::max<double>(shortestLogSpanMs,
                                       static_cast<double>(all.back().time - all.at(0).time));
    view_ = history::TimeView(geometry().plotWidth(), span / geometry().plotWidth());
    refresh();
}

void CHistoryDlg::logGrew(const std::shared_ptr<Reading>& reading, const std::string& bytes) {
    if (reading != reading_ || !log_) return;
    log_->reader.feed(bytes);
    log_->offset += static_cast<std::int64_t>(bytes.size());
}

void CHistoryDlg::OnCancelLoading() {
    if (reading_ && !reading_->loaded.load()) reading_->stop();
}
