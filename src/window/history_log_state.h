// What the history window keeps of a log it shows or is reading; shared by
// the window's files.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "history/log_reader.h"
#include "window/history_dlg.h"

struct CHistoryDlg::Log {
    std::string path;
    history::LogReader reader;
    std::int64_t offset = 0;
};

struct CHistoryDlg::Loading {
    std::string path;
    std::atomic<bool> cancel{false};
    std::atomic<std::int64_t> done{0};
    std::atomic<std::int64_t> total{0};
};
