// The log's writer and the history's reader take turns at a log file. On
// Windows a file opened for writing alone keeps every other opener out, so
// an append that met the history reading the log would fail and be told as
// an outage; within the program the two never meet.
#pragma once

#include <memory>
#include <mutex>

#include "store/log_writer.h"

namespace store {

// An opener whose files hold the gate from before their open to their
// close, on the thread that opened them.
LogOpener gatedOpener(LogOpener inner, std::shared_ptr<std::mutex> gate);

}  // namespace store
