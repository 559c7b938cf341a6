#include "net/listener_run.h"

namespace net {

void ListenerRun::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping.store(true);
        for (const Connection& connection : connections_) sock::shutdownBoth(connection.socket);
    }
    wakeUp.signal();
}

void ListenerRun::connectionThreadStarting() {
    std::lock_guard lock(mutex_);
    ++connectionThreads_;
}

void ListenerRun::connectionThreadEnded() {
    {
        std::lock_guard lock(mutex_);
        --connectionThreads_;
    }
    threadsEnded_.notify_all();
}

void ListenerRun::waitForConnectionThreads() {
    std::unique_lock lock(mutex_);
    threadsEnded_.wait(lock, [this] { return connectionThreads_ == 0; });
}

}  // namespace net
