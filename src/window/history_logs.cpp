// Logs in the history window: chosen with the open dialog, read by a
// worker of the window's own with progress and cancel, and followed as they
// grow.
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
// A log opens with all of it across the diagram, at least a second; one
// without any line of ours with a minute.
constexpr double shortestLogSpanMs = 1000;
constexpr double emptyLogSpanMs = 60'000;

std::string jp(const char* utf8) {
    return text::jp(utf8);
}

}  // namespace

// ---- logs ----------------------------------------------------------------------

void CHistoryDlg::OnOpenLog() {
    ui::FileDialogRequest request;
    request.save = false;
    request.defaultExtension = "csv";
    request.initialPath = main_.currentLogPath();
    request.filter = "CSV file (*.csv)|*.csv|all files(*.*)|*.*||";
    request.overwritePrompt = false;
    request.hideReadOnly = true;
    const auto path = store::chooseFile(*this, request);
    if (path) startLoading(*path);
}

void CHistoryDlg::startLoading(const std::string& path) {
    if (loading_) loading_->cancel.store(true);
    auto loading = std::make_shared<Loading>();
    loading->path = path;
    loading->total.store(fs::fileSize(path).value_or(0));
    loading_ = loading;
    cancelButton.show(true);
    if (!StartWorker([this, loading] { readLog(loading); })) {
        loading_.reset();
        cancelButton.show(false);
        MessageBox(jp("ログファイルを読めません"));
    }
    showSourceText();
}

// On the reader's own thread: the window goes on meanwhile.
void CHistoryDlg::readLog(const std::shared_ptr<Loading>& loading) {
    auto log = std::make_shared<Log>();
    log->path = loading->path;
    bool failed = false;
    while (!loading->cancel.load()) {
        std::optional<std::string> piece;
        // The program's own log writer has its turns at the file; another
        // program may hold it for itself for a moment too.
        for (int attempt = 0; attempt < readRetries && !loading->cancel.load(); ++attempt) {
            std::unique_lock turn(main_.logFileGate, std::try_to_lock);
            if (turn.owns_lock()) piece = fs::readBytes(log->path, log->offset, readPiece);
            if (piece) break;
            turn = {};
            std::this_thread::sleep_for(readRetryPause);
        }
        if (!piece) {
            failed = !loading->cancel.load();
            break;
        }
        log->reader.feed(*piece);
        log->offset += static_cast<std::int64_t>(piece->size());
        loading->done.store(log->offset);
        if (piece->size() < readPiece) break;
    }
    PostToWindowThread([this, loading, log, failed] { finishLoading(loading, log, failed); });
}

void CHistoryDlg::finishLoading(const std::shared_ptr<Loading>& loading,
                                const std::shared_ptr<Log>& log, bool failed) {
    if (loading != loading_) return;
    loading_.reset();
    cancelButton.show(false);
    if (loading->cancel.load()) {
        refresh();
        sourceLabel.setText(jp("ログの読み込みを中止しました"));
        return;
    }
    if (failed) {
        refresh();
        MessageBox(jp("ログファイルを読めません"));
        return;
    }
    log_ = log;
    liveButton.enable(true);
    rebuildFilter();
    marker_.reset();
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

void CHistoryDlg::OnCancelLoading() {
    if (loading_) loading_->cancel.store(true);
}

// A log that grows is read on from where it ended; one that shrank was
// replaced and is read again.
void CHistoryDlg::followLog() {
    const auto size = fs::fileSize(log_->path);
    if (!size || *size == log_->offset) return;
    if (*size < log_->offset) {
        startLoading(log_->path);
        return;
    }
    const auto wanted = static_cast<std::size_t>(
        std::min<std::int64_t>(*size - log_->offset, static_cast<std::int64_t>(followPiece)));
    // The window never waits for the log's writer: a busy file is looked at
    // again a second later.
    std::unique_lock turn(main_.logFileGate, std::try_to_lock);
    if (!turn.owns_lock()) return;
    const auto piece = fs::readBytes(log_->path, log_->offset, wanted);
    if (!piece) return;
    log_->reader.feed(*piece);
    log_->offset += static_cast<std::int64_t>(piece->size());
}
