// The start and the stop of the listeners.
#include <thread>

#include "net/service_threads.h"

namespace net {

namespace {

constexpr int listenBacklog = 5;

void closeAll(std::array<sock::Socket, portSlotCount>& sockets) {
    for (sock::Socket& s : sockets) {
        if (s != sock::invalidSocket) sock::closesocket(s);
        s = sock::invalidSocket;
    }
}

bool hasDuplicatePorts(const std::array<std::optional<std::uint16_t>, portSlotCount>& ports) {
    for (std::size_t i = 0; i + 1 < ports.size(); ++i) {
        for (std::size_t j = i + 1; j < ports.size(); ++j) {
            if (ports[i] && ports[i] == ports[j]) return true;
        }
    }
    return false;
}

}  // namespace

// Asks the listeners that are running to stop, wakes them, and waits until
// they are Idle. The window thread only spins here: the listeners reach
// Idle before they touch the window.
void Service::stopListeners() {
    std::array<bool, portSlotCount> stopping{};
    for (std::size_t i = 0; i < portSlots.size(); ++i) {
        std::int32_t state = Listening;
        portSlots[i].state.compare_exchange_strong(state, StopRequested);
        stopping[i] = state == Listening || state == StopRequested;
        if (stopping[i] && listenerRuns[i]) listenerRuns[i]->wakeUp.signal();
    }
    for (std::size_t i = 0; i < portSlots.size(); ++i) {
        if (!stopping[i]) continue;
        while (portSlots[i].state.load() != Idle) std::this_thread::yield();
    }
}

std::optional<StartFailure> Service::openListenSockets() {
    std::array<sock::Socket, portSlotCount> created;
    created.fill(sock::invalidSocket);
    std::array<std::shared_ptr<ListenerRun>, portSlotCount> runs;
    const std::uint32_t generation = serverGeneration.load() + 1;
    const auto failed = [&](const char* step, int code) {
        closeAll(created);
        return StartFailure{StartFailure::Kind::SocketCall, step, code};
    };
    for (std::size_t i = 0; i < portSlots.size(); ++i) {
        PortSlot& slot = portSlots[i];
        if (slot.state.load() != Starting) continue;
        const sock::Socket s = sock::tcpSocket();
        if (s == sock::invalidSocket) return failed("S", sock::lastError());
        created[i] = s;
        slot.listenSock = s;
        if constexpr (variant::product == variant::Product::Kelvane) sock::setReuseAddr(s);
        const std::uint32_t address =
            variant::product == variant::Product::Kelvane ? bindAddress.load() : 0;
        const auto port = static_cast<std::uint16_t>(slot.port);
        if (sock::bind(s, {sock::htons(port), address}) != 0) {
            return failed("B", sock::lastError());
        }
        if (sock::listen(s, listenBacklog) != 0) return failed("L", sock::lastError());
        // The listener accepts only once a connection is pending, and a
        // connection that went away meanwhile must not block it.
        sock::setNonBlocking(s, true);
        runs[i] = std::make_shared<ListenerRun>(static_cast<int>(i), s, generation, port);
        // The run's wake-up is a handle of the socket layer too.
        if (!runs[i]->wakeUp.valid()) return failed("S", runs[i]->wakeUp.error());
    }

    serverGeneration.store(generation);
    for (std::size_t i = 0; i < portSlots.size(); ++i) {
        PortSlot& slot = portSlots[i];
        if (slot.state.load() != Starting) continue;
        traceLine(window_, "server start.\r\n");
        auto run = runs[i];
        listenerRuns[i] = run;
        if (!window_.startWorker([this, run] { listenThread(*this, run); })) {
            // The sockets of listeners already running are theirs to close.
            for (std::size_t j = 0; j < i; ++j) created[j] = sock::invalidSocket;
            closeAll(created);
            stopListeners();
            return StartFailure{StartFailure::Kind::NoThread};
        }
        while (slot.state.load() == Starting) std::this_thread::yield();
    }
    return std::nullopt;
}

std::optional<StartFailure> Service::start(
    const std::array<std::optional<std::uint16_t>, portSlotCount>& ports) {
    std::optional<StartFailure> failure;
    if (hasDuplicatePorts(ports)) {
        failure = StartFailure{StartFailure::Kind::DuplicatePorts};
    } else {
        for (std::size_t i = 0; i < portSlots.size(); ++i) {
            if (!ports[i]) continue;
            portSlots[i].port = *ports[i];
            portSlots[i].state.store(Starting);
        }
        failure = openListenSockets();
    }
    if (failure) {
        for (PortSlot& slot : portSlots) {
            std::int32_t starting = Starting;
            slot.state.compare_exchange_strong(starting, Idle);
        }
    }
    return failure;
}

void Service::stop() {
    for (std::size_t i = 0; i < portSlots.size(); ++i) {
        std::int32_t listening = Listening;
        portSlots[i].state.compare_exchange_strong(listening, StopRequested);
        showPeerLabel(static_cast<int>(i), "", nullptr);
    }
    // A sender that waits for room on a device's connection holds the slot
    // that the connection needs to end: it lets go first, and the senders
    // are waited for only once the connections have ended.
    if constexpr (variant::outputCount > 0) stopOutputSenders(false);
    stopListeners();
    if constexpr (variant::outputCount > 0) {
        stopOutputSenders(true);
        disableOutputButtons();
    }
}

}  // namespace net
