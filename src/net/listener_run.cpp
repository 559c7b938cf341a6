#include "net/listener_run.h"

void CMonitorDlg::ListenerRun::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping.store(true);
        for (const Connection& connection : connections_) sock::shutdownBoth(connection.socket);
    }
    wakeUp.signal();
}

void CMonitorDlg::ListenerRun::connectionThreadStarting() {
    std::lock_guard lock(mutex_);
    ++connectionThreads_;
}

void CMonitorDlg::ListenerRun::connectionThreadEnded() {
    {
        std::lock_guard lock(mutex_);
        --connectionThreads_;
    }
    threadsEnded_.notify_all();
}

void CMonitorDlg::ListenerRun::waitForConnectionThreads() {
    std::unique_lock lock(mutex_);
    threadsEnded_.wait(lock, [this] { return connectionThreads_ == 0; });
}
