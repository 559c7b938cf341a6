#include "net/listener_run.h"

#include <algorithm>

void CMonitorDlg::ListenerRun::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping.store(true);
        for (sock::Socket s : connections_) sock::shutdownBoth(s);
    }
    wakeUp.signal();
}

bool CMonitorDlg::ListenerRun::addConnection(sock::Socket accepted) {
    std::lock_guard lock(mutex_);
    if (stopping.load()) return false;
    connections_.push_back(accepted);
    return true;
}

void CMonitorDlg::ListenerRun::removeConnection(sock::Socket accepted) {
    std::lock_guard lock(mutex_);
    std::erase(connections_, accepted);
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
