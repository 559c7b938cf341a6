// What the history window keeps of a log it shows, and what it shares with
// the worker that reads the log: nothing else of the window, so that a
// worker stuck in the file system when the window closes is let go.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "history/log_reader.h"
#include "window/history_dlg.h"
#include "window/window_link.h"

struct CHistoryDlg::Log {
    std::string path;
    history::LogReader reader;
    std::int64_t offset = 0;
};

class CHistoryDlg::Reading {
public:
    using WindowWork = std::function<void(CHistoryDlg&)>;

    Reading(std::string path, std::shared_ptr<std::mutex> gate,
            std::function<void(WindowWork)> toWindow)
        : path_(std::move(path)), gate_(std::move(gate)), window_(std::move(toWindow)) {}

    const std::string& path() const { return path_; }
    // The log writer's turn at the file (store/log_file_gate.h).
    std::mutex& gate() { return *gate_; }

    // Ends the worker at its next look: another log, the live history, the
    // cancel button or the window's close.
    void stop() {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        wake_.notify_all();
    }
    bool stopped() {
        std::lock_guard lock(mutex_);
        return stopped_;
    }
    // Waits for the time given unless stopped; false once stopped.
    bool pause(std::chrono::milliseconds time) {
        std::unique_lock lock(mutex_);
        return !wake_.wait_for(lock, time, [this] { return stopped_; });
    }
    // Hands work to the window thread while the window takes it.
    void toWindow(WindowWork work) { window_.toWindow(std::move(work)); }
    // At the window's close: nothing more reaches it.
    void closeWindow() { window_.cut(); }

    std::atomic<std::int64_t> done{0};
    std::atomic<std::int64_t> total{0};
    std::atomic<bool> loaded{false};  // read to its end once; followed since

private:
    const std::string path_;
    const std::shared_ptr<std::mutex> gate_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
    WindowLink<WindowWork> window_;
};
