// The listen thread of one port: waits until a connection is pending or the
// port is asked to stop, hands each connection to a connection thread of its
// own, and cleans up on a stop.
#include "net/service_threads.h"

namespace net {

namespace {

// How long the listener waits when the system has no descriptor or memory
// for a connection, instead of trying again at once: the connection stays
// queued, so the port is reported ready again at once.
constexpr long acceptBackOffMicroseconds = 100'000;

// The pending connection went away, or another look finds it: no fault of
// the listener's.
bool isPassingFailure(int error) {
    return error == sock::wsaEWOULDBLOCK || error == sock::wsaECONNABORTED ||
           error == sock::wsaECONNRESET || error == sock::wsaEINTR;
}

// Gives an accepted connection a thread of its own; a connection that no
// thread can serve is closed at once.
void handOffConnection(Service& service, const std::shared_ptr<ListenerRun>& run, sock::Socket s,
                       const sock::SockAddrIn& peer) {
    if (!service.acceptConnection(*run, s, peer.addr)) {
        sock::closesocket(s);
        return;
    }
    run->connectionThreadStarting();
    if (!service.window().startWorker(
            [&service, run, s, peer] { connectionThread(service, run, s, peer); })) {
        run->connectionThreadEnded();
        service.endConnection(*run, s);
        sock::closesocket(s);
    }
}

// The end of a listener, on every way out of its thread, a throw included:
// the slot is Idle and every connection of the run has ended whatever
// happens to the window updates, which the stop and the close wait for.
void cleanUp(Service& service, const std::shared_ptr<ListenerRun>& run) noexcept {
    PortSlot& slot = service.portSlots[static_cast<std::size_t>(run->slot)];
    WindowPort& window = service.window();
    run->stop();
    // Closed before the slot is Idle, so that a start right after the stop
    // finds the port free.
    sock::closesocket(run->listenSock);
    // Cleared before the slot is Idle, so that a start right after the stop
    // (a settings load) never shows the inputs of the devices it ended; the
    // run's frames have no effect once it is stopped.
    try {
        window.clearInputs();
    } catch (...) {
        // The slot is Idle all the same.
    }
    slot.state.store(Idle);
    run->waitForConnectionThreads();

    try {
        window.callOnWindow([&] {
            const bool current = service.serverGeneration.load() == run->generation;
            if (current) {
                window.clearInputs();
                if constexpr (variant::outputCount > 0) service.disableOutputButtons();
                window.showServerStopped();
            }
            traceLine(window, "server stop.\r\n");
            if (current) service.showPeerLabel(run->slot, "", nullptr);
        });
    } catch (...) {
        // The window keeps its look; the slot is Idle all the same.
    }
}

struct ListenerEnd {
    Service& service;
    const std::shared_ptr<ListenerRun>& run;
    ~ListenerEnd() { cleanUp(service, run); }
};

}  // namespace

void listenThread(Service& service, const std::shared_ptr<ListenerRun>& run) {
    PortSlot& slot = service.portSlots[static_cast<std::size_t>(run->slot)];
    slot.state.store(Listening);
    const ListenerEnd end{service, run};
    // Traced once per spell of failures, not once per try.
    bool accepting = true;
    for (;;) {
        if (slot.state.load() == StopRequested) break;
        const sock::Wait wait = sock::waitReadableOrWoken(run->listenSock, run->wakeUp);
        if (wait == sock::Wait::Woken) break;
        if (wait == sock::Wait::Readable) {
            traceLine(service.window(), "select.\r\n");
            if (slot.state.load() == StopRequested) break;
            sock::SockAddrIn peer;
            const sock::Socket s = sock::accept(run->listenSock, &peer);
            if (s != sock::invalidSocket) {
                accepting = true;
                handOffConnection(service, run, s, peer);
                continue;
            }
            if (isPassingFailure(sock::lastError())) continue;
        }
        if (accepting) traceLine(service.window(), "accept error: %d \r\n", sock::lastError());
        accepting = false;
        sock::sleepUnlessWoken(run->wakeUp, acceptBackOffMicroseconds);
    }
}

}  // namespace net
