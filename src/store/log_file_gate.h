// The log's writer and the history's reader take turns at a log file. On
// Windows a file opened for writing alone keeps every other opener out, so
// an append that met the history reading the log would fail and be told as
// an outage; within the program the two never meet.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "store/log_writer.h"

namespace store {

// One turn per file, so that a writer stuck opening a file on a share that
// stopped answering keeps neither the writer of another file nor a reader
// of another file waiting.
class LogFileGates {
public:
    // The turn at the file at path; the same one while anybody holds it.
    std::shared_ptr<std::mutex> at(const std::string& path);

private:
    std::mutex mutex_;
    std::map<std::string, std::weak_ptr<std::mutex>> gates_;
};

// An opener whose files hold their turn from before their open to their
// close, on the thread that opened them.
LogOpener gatedOpener(LogOpener inner, std::shared_ptr<LogFileGates> gates);

}  // namespace store
