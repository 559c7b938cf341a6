// The CSV event log: one line per frame, made on the connection thread and
// handed to the log's own writer; the header with the signal names in force;
// what the writer tells the user, one box at a time; and the close that
// leaves no owed line behind. The window gives it what a line needs and a
// place to show its notices; the log knows nothing else of the window.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/log_file_gate.h"
#include "store/log_writer.h"

namespace store {

// Where the log shows what it has to tell the user.
class LogNotices {
public:
    // Shows the text (CP932) in a box and returns once the user closed it;
    // called on the window thread only.
    virtual void showLogNotice(const std::string& text) = 0;

protected:
    ~LogNotices() = default;
};

class EventLog {
public:
    // Runs work on the window thread later and returns at once; work that
    // comes after the window closed never runs.
    using WindowPoster = std::function<void(std::function<void()> work)>;

    EventLog(LogWriter::ThreadStarter startThread, WindowPoster post, LogNotices& notices);
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    // The folder of the program's own files, the last place for the lines
    // the close rescues; empty when there is none.
    void setProgramFolder(std::string folder);
    // The file layer, which tests replace by one that fails on demand.
    void useOpener(LogOpener opener);
    // The turns at log files that the writer takes and a reader must take.
    const std::shared_ptr<LogFileGates>& fileGates() const { return gates_; }

    // The log file; any thread.
    std::string path() const;
    void setPath(std::string path);

    // Whether frames are logged, read by every frame without a lock.
    void setLogging(bool on) { logging_.store(on); }
    bool logging() const { return logging_.load(); }

    // The signal names as the window shows them, in input then output
    // order. An edit by the user makes the next line bring a fresh header;
    // the names set at start-up or by a settings load do not.
    void setSignalNames(const std::vector<std::string>& inputs,
                        const std::vector<std::string>& outputs, bool editedByUser);
    // A fresh header is owed to the next line; forgetNameEdits drops that.
    bool freshHeaderOwed() const { return namesEdited_.load(); }
    void forgetNameEdits() { namesEdited_.store(false); }

    // A frame's line in two steps, for the frames of one read: each
    // frame's record (the time now, the device's address and the states of
    // the inputs and outputs) is made as the frame is applied and added to
    // the read's records ("\n"-ended lines in one string), and the records
    // go to the writer together, in order, under the names in force then;
    // append empties records and returns at once. Any thread. The caller
    // makes no record while logging is off.
    void record(std::string_view peerAddress, std::span<const std::int32_t> inputs,
                std::span<const std::int32_t> outputs, std::string& records);
    void append(std::string& records);

    // The close, on the window thread: waits about a second for the writer,
    // saves what it still owes into a file of its own beside the log (or
    // else beside the program), and tells the user where, or what was lost.
    void finish();

private:
    void showToldNotices();
    void appendTimestampNow(std::string& into);
    std::string rescueFileTimeNow();
    std::optional<std::string> rescue(const OwedFile& owed, int number);

    LogNotices& notices_;
    std::string programFolder_;

    mutable std::mutex pathGuard_;  // never held across a window call
    std::string path_;

    std::atomic<bool> logging_{false};
    std::atomic<bool> namesEdited_{false};

    // The header with the names in force, kept at every change, never read
    // from the window, whose controls answer "" once it closes.
    mutable std::mutex namesGuard_;
    std::shared_ptr<const std::string> header_;

    // Keeps the queue's order the order in which lines take the names.
    std::mutex orderGuard_;

    // std::localtime shares one buffer, so every call goes through this
    // guard; a second's text serves every frame of that second.
    std::mutex localTimeGuard_;
    std::int64_t timestampSecond_ = -1;
    std::string timestampText_;

    // What the writer told, until the window thread takes it; kept here
    // rather than in the posted work, which the close may never run.
    std::mutex toldGuard_;
    std::deque<std::string> told_;

    // Notices waiting while a box is open (window thread).
    bool noticeOpen_ = false;
    std::deque<std::string> noticesWaiting_;

    // Shared, as a writer stuck in the file system at the close may outlive us.
    const std::shared_ptr<LogFileGates> gates_ = std::make_shared<LogFileGates>();
    LogWriter writer_;
};

}  // namespace store
