// The event log's own writer: lines owed to the log, written to their files
// in the order they were made, whatever the files do meanwhile. A device's
// thread only hands its line over; opening, writing, waiting for a held file
// and telling the user happen here, never on that thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/fs.h"

namespace store {

// Lines owed to the log, made together when their frames came (the frames
// of one read): one string for them all, as a line apiece would cost the
// device's thread and the writer an allocation each.
struct OwedLines {
    // The header with the signal names as they were then ("\n"-ended); it
    // goes before the first of the lines into an empty file, and always
    // when the names were edited since the line before.
    std::shared_ptr<const std::string> header;
    bool headerFirst = false;
    std::string records;  // each "\n"-ended
    std::size_t count = 0;
};

// Lines still owed to one log file when the writer finishes.
struct OwedFile {
    std::string path;
    std::vector<OwedLines> lines;
    std::size_t count = 0;
    // Its writer was still waiting for the file system to open it.
    bool stuck = false;
};

// What the writer leaves at its end: the lines it still owes, per file, in
// the order the files were first owed a line, and the count of lines it
// dropped and has not told of yet.
struct FinishedLog {
    std::vector<OwedFile> owed;
    std::size_t dropped = 0;
};

// Opens a log file for exclusive use, appending, created when missing;
// nothing when it cannot.
using LogOpener = std::function<std::unique_ptr<fs::TextFile>(const std::string& path)>;
LogOpener systemLogOpener();

// Writes the lines into the file as the log does: a header before a line
// that asks for one and before the first line of an empty file. A write that
// fails part-way is cut back to the end of the last whole line, so the file
// never holds half a line.
struct WrittenLines {
    std::size_t count = 0;  // lines written whole, from the first
    std::int64_t end = 0;   // where the last of them ends
    bool whole = true;      // false: a failed write could not be cut back
};
WrittenLines writeOwedLines(fs::TextFile& file, std::span<const OwedLines> lines);

class LogWriter {
public:
    // Starts a thread that the window lets go at its close when it is still
    // stuck in the file system then; false when it could not be started.
    using ThreadStarter = std::function<bool(std::function<void()> body)>;
    // Tells the user something (CP932 text); never waits for the user.
    using Notifier = std::function<void(std::string text)>;

    // At most this many lines are owed at once: well over an hour of four
    // devices at ten frames a second.
    static constexpr std::size_t maxOwedLines = 200'000;

    LogWriter(ThreadStarter startThread, Notifier notify);
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // The file layer, which tests replace by one that fails on demand.
    void useOpener(LogOpener opener);
    LogOpener opener() const;

    // Owes the lines, in order, to the file at path and returns at once,
    // with one wake-up of the file's writer for them all. The lines a full
    // queue drops (the last ones) are counted and told; returns how many
    // were taken.
    std::size_t add(const std::string& path, OwedLines lines);

    // Waits up to `bound` until every owed line is written, then stops the
    // writers; one still stuck in the file system writes nothing more.
    // Nothing is told from then on, and no line taken.
    FinishedLog finish(std::chrono::milliseconds bound);

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace store
