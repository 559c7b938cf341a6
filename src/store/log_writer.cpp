#include "store/log_writer.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <iterator>
#include <map>
#include <mutex>
#include <string_view>

#include "platform/text.h"

namespace store {

namespace {

using Clock = std::chrono::steady_clock;

// How long a file that failed rests before the next try, unless a new line
// for it comes first.
constexpr auto retryPause = std::chrono::milliseconds(500);
// How long the close waits for writers that are not in the file system to
// end, once they are told to.
constexpr auto writersEndWithin = std::chrono::milliseconds(500);
// Lines go to the file in writes of about this size.
constexpr std::size_t writeChunkBytes = 64 * 1024;
// A try takes whole reads' lines up to about this many, so that a try at
// each new line of a long outage moves little, and the next try follows at
// once.
constexpr std::size_t linesPerTry = 4096;

// What text takes on disk, where every "\n" is CR LF.
std::int64_t bytesOnDisk(std::string_view text) {
    return static_cast<std::int64_t>(text.size() + std::count(text.begin(), text.end(), '\n'));
}

// Where the first `lines` lines of records end.
std::size_t endOfLines(const std::string& records, std::size_t lines) {
    std::size_t end = 0;
    for (std::size_t n = 0; n < lines; ++n) end = records.find('\n', end) + 1;
    return end;
}

void keepFirstLines(OwedLines& lines, std::size_t count) {
    lines.records.resize(endOfLines(lines.records, count));
    lines.count = count;
}

// The lines that remain bring no header of their own: the first one did.
void dropFirstLines(OwedLines& lines, std::size_t count) {
    lines.records.erase(0, endOfLines(lines.records, count));
    lines.count -= count;
    lines.headerFirst = false;
}

std::string cannotOpenText() {
    return text::jp("ログファイルが開けません\r\n");
}
std::string cannotWriteText() {
    return text::jp(
        "ログファイルに書き込めません。書き込めなかった行は保持し、"
        "書き込めるようになりしだい書き込みます。\r\n");
}
std::string queueFullText() {
    return text::jp("ログファイルに書き込めない間にたまった行が上限の ") +
           std::to_string(LogWriter::maxOwedLines) +
           text::jp(" 行に達しました。これより後の行は記録されません。\r\n");
}
std::string droppedText(std::size_t dropped) {
    return text::jp("書き込み待ちの行が上限を超えたため、") + std::to_string(dropped) +
           text::jp(" 行を記録できませんでした。\r\n");
}

}  // namespace

LogOpener systemLogOpener() {
    return [](const std::string& path) { return fs::TextFile::open(path, fs::OpenMode::Append); };
}

WrittenLines writeOwedLines(fs::TextFile& file, std::span<const OwedLines> lines) {
    WrittenLines result;
    result.end = file.size();
    if (result.end < 0) return result;
    std::string chunk;
    // What each read's header takes in the chunk, 0 for none.
    std::vector<std::int64_t> headerBytes;
    std::size_t next = 0;
    while (next < lines.size()) {
        chunk.clear();
        headerBytes.clear();
        const std::size_t first = next;
        while (next < lines.size() && chunk.size() < writeChunkBytes) {
            const OwedLines& owed = lines[next];
            const bool header = owed.header && (owed.headerFirst || (result.end == 0 && next == 0));
            headerBytes.push_back(header ? bytesOnDisk(*owed.header) : 0);
            if (header) chunk += *owed.header;
            chunk += owed.records;
            ++next;
        }
        if (!file.write(chunk)) {
            // The lines that reached the file whole stay, a header counted
            // with the line after it; the rest of the chunk goes.
            const std::int64_t reached = file.size();
            std::int64_t lineEnd = result.end;
            for (std::size_t i = first; i < next && reached >= 0; ++i) {
                const std::string& records = lines[i].records;
                std::int64_t header = headerBytes[i - first];
                for (std::size_t start = 0; start < records.size();) {
                    const std::size_t end = records.find('\n', start) + 1;
                    const std::int64_t lineNext =
                        lineEnd + header + static_cast<std::int64_t>(end - start) + 1;
                    if (lineNext > reached) {
                        result.end = lineEnd;
                        result.whole = file.truncate(result.end);
                        return result;
                    }
                    lineEnd = lineNext;
                    header = 0;
                    ++result.count;
                    start = end;
                }
            }
            result.end = lineEnd;
            result.whole = file.truncate(result.end);
            return result;
        }
        result.end += bytesOnDisk(chunk);
        for (std::size_t i = first; i < next; ++i) result.count += lines[i].count;
    }
    return result;
}

struct LogWriter::State {
    struct File {
        std::deque<OwedLines> lines;
        std::uint64_t firstOwed = 0;
        // Reads' lines at the front that the writer took for its current
        // try; once `writing`, they are out of the queue, in the file's
        // hands and no longer rescued.
        std::size_t taken = 0;
        bool writing = false;
        bool writerRunning = false;
        // Its lines went to the rescue while the writer was still opening.
        bool abandoned = false;
        // The last try failed; the next waits for the pause or a new line.
        bool failed = false;
        bool newLineSinceFailure = false;
        Clock::time_point retryAt{};
        // This outage has been told.
        bool told = false;
        // Where a write that could not be cut back, or a close that failed,
        // left the file: it is cut back to here before the next write.
        std::int64_t cutBackTo = -1;
        std::condition_variable wake;
    };

    std::mutex mutex;
    std::condition_variable drained;
    LogOpener opener = systemLogOpener();
    ThreadStarter startThread;
    std::map<std::string, std::unique_ptr<File>> files;
    std::string latestPath;
    std::uint64_t nextOrder = 0;
    std::size_t owed = 0;
    std::size_t dropped = 0;
    bool droppingTold = false;
    bool finished = false;

    // Telling the user goes through its own lock, so that the close can cut
    // it off while a writer is about to tell something.
    std::mutex notifyMutex;
    Notifier notify;

    void tell(const std::vector<std::string>& texts) {
        std::lock_guard lock(notifyMutex);
        if (!notify) return;
        for (const auto& text : texts) notify(text);
    }

    // Starts the writer of a file that has none; under the lock.
    void startWriter(const std::shared_ptr<State>& self, const std::string& path, File& file,
                     std::vector<std::string>& notices) {
        file.writerRunning = true;
        if (startThread([self, path] { self->runWriter(path); })) return;
        file.writerRunning = false;
        if (!file.told) {
            file.told = true;
            notices.push_back(cannotWriteText());
        }
    }

    // Waits until the file has lines to try now; false when the writer ends.
    bool waitForWork(std::unique_lock<std::mutex>& lock, const std::string& path, File& file) {
        for (;;) {
            if (finished) return false;
            if (file.lines.empty()) {
                // The current log's writer stays; another one's ends.
                if (path != latestPath) return false;
                file.wake.wait(lock);
                continue;
            }
            if (file.failed && !file.newLineSinceFailure && Clock::now() < file.retryAt) {
                file.wake.wait_until(lock, file.retryAt);
                continue;
            }
            return true;
        }
    }

    void failTry(File& file, const std::string& text, std::vector<std::string>& notices) {
        file.failed = true;
        file.newLineSinceFailure = false;
        file.retryAt = Clock::now() + retryPause;
        if (!file.told) {
            file.told = true;
            notices.push_back(text);
        }
    }

    void succeedTry(File& file, std::vector<std::string>& notices) {
        file.failed = false;
        file.told = false;
        if (dropped > 0 && owed < maxOwedLines) {
            notices.push_back(droppedText(dropped));
            dropped = 0;
            droppingTold = false;
        }
    }

    // One try: opens the file and writes the first lines owed when it began.
    // Under the lock on entry and exit; without it while in the file system.
    void tryOnce(std::unique_lock<std::mutex>& lock, const std::string& path, File& file,
                 std::vector<std::string>& notices) {
        std::size_t lines = 0;
        file.taken = 0;
        while (file.taken < file.lines.size() && lines < linesPerTry) {
            lines += file.lines[file.taken++].count;
        }
        const LogOpener open = opener;
        lock.unlock();
        std::unique_ptr<fs::TextFile> handle = open(path);
        lock.lock();
        if (file.abandoned) {
            lock.unlock();
            handle.reset();
            lock.lock();
            return;
        }
        if (!handle) {
            file.taken = 0;
            failTry(file, cannotOpenText(), notices);
            return;
        }
        // Only this writer takes lines off the front, so the lines it took
        // are still there; they are moved, not copied, out of the queue.
        const auto taken = file.lines.begin() + static_cast<std::ptrdiff_t>(file.taken);
        std::vector<OwedLines> batch(std::make_move_iterator(file.lines.begin()),
                                     std::make_move_iterator(taken));
        file.lines.erase(file.lines.begin(), taken);
        file.writing = true;
        const std::int64_t cutBackTo = file.cutBackTo;
        lock.unlock();

        // A file left longer than its last whole line is cut back first.
        const std::int64_t size = handle->size();
        const bool cut =
            cutBackTo < 0 || (size >= 0 && size <= cutBackTo) || handle->truncate(cutBackTo);
        const std::int64_t batchStart = cutBackTo >= 0 && size > cutBackTo ? cutBackTo : size;
        const WrittenLines written = cut ? writeOwedLines(*handle, batch) : WrittenLines{};
        const bool closed = handle->close();
        handle.reset();
        // A close that fails after every write went through leaves unknown
        // whether the lines reached the disk: they stay owed, and the next
        // try cuts the file back to where they began.
        const bool unknown = !cut || (!closed && written.count == lines);
        // The reads written whole leave the batch, and a read written in
        // part keeps the rest of its lines.
        std::size_t left = unknown ? 0 : written.count;
        std::size_t whole = 0;
        while (whole < batch.size() && batch[whole].count <= left) left -= batch[whole++].count;
        if (left > 0) dropFirstLines(batch[whole], left);

        lock.lock();
        file.writing = false;
        file.taken = 0;
        // What was not written goes back to the front, before the lines that
        // came meanwhile.
        file.lines.insert(
            file.lines.begin(),
            std::make_move_iterator(batch.begin() + static_cast<std::ptrdiff_t>(whole)),
            std::make_move_iterator(batch.end()));
        if (unknown) {
            if (cut) file.cutBackTo = batchStart;
            failTry(file, cannotWriteText(), notices);
            return;
        }
        file.cutBackTo = written.whole ? -1 : written.end;
        owed -= written.count;
        if (written.count < lines) {
            failTry(file, cannotWriteText(), notices);
        } else {
            succeedTry(file, notices);
        }
        drained.notify_all();
    }

    void runWriter(const std::string& path) {
        std::unique_lock lock(mutex);
        File& file = *files.at(path);
        for (;;) {
            std::vector<std::string> notices;
            if (!waitForWork(lock, path, file)) break;
            tryOnce(lock, path, file, notices);
            if (!notices.empty()) {
                lock.unlock();
                tell(notices);
                lock.lock();
            }
        }
        file.writerRunning = false;
        if (file.lines.empty() && !finished) files.erase(path);
        drained.notify_all();
    }
};

LogWriter::LogWriter(ThreadStarter startThread, Notifier notify)
    : state_(std::make_shared<State>()) {
    state_->startThread = std::move(startThread);
    state_->notify = std::move(notify);
}

void LogWriter::useOpener(LogOpener opener) {
    std::lock_guard lock(state_->mutex);
    state_->opener = std::move(opener);
}

LogOpener LogWriter::opener() const {
    std::lock_guard lock(state_->mutex);
    return state_->opener;
}

std::size_t LogWriter::add(const std::string& path, OwedLines lines) {
    State& s = *state_;
    std::vector<std::string> notices;
    std::size_t added = 0;
    {
        std::lock_guard lock(s.mutex);
        if (s.finished) return 0;
        const std::size_t room = maxOwedLines - std::min(s.owed, maxOwedLines);
        added = std::min(room, lines.count);
        if (added < lines.count) {
            s.dropped += lines.count - added;
            keepFirstLines(lines, added);
            if (!s.droppingTold) {
                s.droppingTold = true;
                notices.push_back(queueFullText());
            }
        }
        if (added > 0) {
            auto& slot = s.files[path];
            if (!slot) {
                slot = std::make_unique<State::File>();
                slot->firstOwed = s.nextOrder++;
            }
            State::File& file = *slot;
            file.lines.push_back(std::move(lines));
            s.owed += added;
            s.latestPath = path;
            if (file.writerRunning) {
                file.newLineSinceFailure = true;
                file.wake.notify_one();
            } else {
                s.startWriter(state_, path, file, notices);
            }
        }
    }
    s.tell(notices);
    return added;
}

FinishedLog LogWriter::finish(std::chrono::milliseconds bound) {
    State& s = *state_;
    FinishedLog result;
    std::unique_lock lock(s.mutex);
    const auto deadline = Clock::now() + bound;
    // Whatever rests after a failure tries again now.
    for (auto& [path, file] : s.files) {
        file->newLineSinceFailure = true;
        file->wake.notify_all();
        if (!file->writerRunning && !file->lines.empty()) {
            std::vector<std::string> untold;
            s.startWriter(state_, path, *file, untold);
        }
    }
    s.drained.wait_until(lock, deadline, [&] { return s.owed == 0; });
    s.finished = true;
    result.dropped = s.dropped;

    std::vector<std::pair<std::uint64_t, OwedFile>> ordered;
    for (auto& [path, file] : s.files) {
        // Lines already in a write are out of the queue and stay with it;
        // the rest are handed back, and a writer still opening its file
        // writes nothing more.
        OwedFile rest{path, {}, 0, !file->writing && file->taken > 0};
        if (!file->writing) file->abandoned = true;
        for (OwedLines& lines : file->lines) {
            rest.count += lines.count;
            rest.lines.push_back(std::move(lines));
        }
        file->lines.clear();
        if (!rest.lines.empty()) ordered.emplace_back(file->firstOwed, std::move(rest));
        file->wake.notify_all();
    }
    // Writers that wait end at once; only one in the file system is left
    // to the window to let go.
    s.drained.wait_for(lock, writersEndWithin, [&] {
        return std::all_of(s.files.begin(), s.files.end(), [](const auto& entry) {
            return !entry.second->writerRunning || entry.second->taken > 0;
        });
    });
    lock.unlock();
    {
        std::lock_guard notifyLock(s.notifyMutex);
        s.notify = nullptr;
    }
    std::sort(ordered.begin(), ordered.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& entry : ordered) result.owed.push_back(std::move(entry.second));
    return result;
}

}  // namespace store
