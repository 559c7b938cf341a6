// One listener's run on a port, shared by the listen thread and the
// connection threads it starts. It outlives a restart of the same slot, so
// a thread of an old run never acts on the sockets of a new one.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/sock.h"
#include "platform/sock_wake.h"
namespace net {

struct ListenerRun {
    ListenerRun(int slotIndex, sock::Socket listening, std::uint32_t startGeneration,
                std::uint16_t portNumber)
        : slot(slotIndex), listenSock(listening), generation(startGeneration), port(portNumber) {}

    const int slot;
    const sock::Socket listenSock;
    const std::uint32_t generation;
    // The port number, for the history of the changes its devices make.
    const std::uint16_t port;

    // Every wait of the run's threads includes it; it is signalled when the
    // run is asked to end (a stop, or the window's close), so that they see
    // the state words at once.
    sock::WakeUp wakeUp;

    // Set when the run ends: its connections end at their next look.
    std::atomic<bool> stopping{false};

    // Ends the run's connections: marks it stopping, wakes every wait of the
    // run and shuts every accepted socket down, so that a thread blocked in
    // a send to a device that reads nothing wakes too.
    void stop();
    // Runs fn unless the run is stopping, with stop() held off meanwhile: a
    // frame of a stopping run has no effect. False when fn did not run.
    template <class Fn>
    bool whileRunning(Fn&& fn) {
        std::lock_guard lock(mutex_);
        if (stopping.load()) return false;
        fn();
        return true;
    }
    // An accepted connection that is open, and its peer.
    struct Connection {
        sock::Socket socket;
        std::uint32_t peerAddr;
    };
    // Runs fn(connections, stopping) with the run's open connections, in
    // the order they were accepted, held still: a connection is recorded
    // there when it is accepted (so that stop() can wake it) and leaves
    // before its thread closes it (so that stop() never touches a
    // descriptor that may already belong to another socket).
    template <class Fn>
    auto onConnections(Fn&& fn) {
        std::lock_guard lock(mutex_);
        return fn(connections_, stopping.load());
    }

    // Connection threads counted from before their start to their end.
    void connectionThreadStarting();
    void connectionThreadEnded();
    void waitForConnectionThreads();

private:
    std::mutex mutex_;
    std::condition_variable threadsEnded_;
    std::vector<Connection> connections_;
    int connectionThreads_ = 0;
};

}  // namespace net
