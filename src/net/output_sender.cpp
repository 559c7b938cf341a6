// Kelvane's output senders: the frame with the state of all three outputs
// goes to the device behind every listening port from a sender of that
// port's own, in click order, over the device's open connection or a short
// connection of the sender's own. The window never waits for the network,
// and a device gone from one port never delays the frames of another.
#include "net/output_senders.h"
#include "net/service_threads.h"

namespace net {

namespace {

constexpr int senderReceiveTimeoutMilliseconds = 1000;

using Senders = OutputSenders;

// The socket error of a failed call, and the trace line that reports it.
void traceFailure(WindowPort& window, const char* step, int code) {
    traceLine(window, "err:sendDigitalOut:%s:%d\r\n", step, code);
}

void sendOutputFrame(Service& service, std::size_t index, int port,
                     const std::array<std::uint8_t, 3>& frame);

// Sends a port's frames one after another while there are any; the sender
// ends, a throw included, with the port marked as having none. The mark is
// cleared under the lock that found the queue empty: a click queued after
// that starts a sender of its own instead of waiting for one that is ending.
void runSender(Service& service, std::size_t slot) {
    Senders& senders = *service.outputSenders;
    struct End {
        Senders& senders;
        std::size_t slot;
        bool marked = true;
        ~End() {
            if (marked) {
                std::lock_guard lock(senders.mutex);
                senders.sending[slot] = false;
            }
            senders.idle.notify_all();
        }
    } end{senders, slot};
    std::unique_lock lock(senders.mutex);
    while (!senders.waiting[slot].empty()) {
        const Senders::Click click = senders.waiting[slot].front();
        senders.waiting[slot].pop_front();
        lock.unlock();
        sendOutputFrame(service, slot, click.port, click.frame);
        lock.lock();
    }
    senders.sending[slot] = false;
    end.marked = false;
}

void queueClick(Service& service, std::size_t slot, const Senders::Click& click) {
    Senders& senders = *service.outputSenders;
    std::lock_guard lock(senders.mutex);
    senders.waiting[slot].push_back(click);
    if (senders.sending[slot]) return;
    senders.sending[slot] = true;
    if (!service.window().startWorker([&service, slot] { runSender(service, slot); })) {
        senders.sending[slot] = false;
        senders.waiting[slot].clear();
        traceLine(service.window(), "err:sendDigitalOut:thread\r\n");
    }
}

}  // namespace

void Service::sendOutputs(int destPort, std::uint8_t bits) {
    const Senders::Click click{destPort, {frames::frameStart, frames::stateMarker, bits}};
    for (std::size_t i = 0; i < portSlots.size(); ++i) {
        if (portSlots[i].state.load() == Listening) queueClick(*this, i, click);
    }
}

void Service::stopOutputSenders(bool waitForThem) {
    std::unique_lock lock(outputSenders->mutex);
    for (auto& waiting : outputSenders->waiting) waiting.clear();
    outputSenders->wakeUp->signal();
    // Signalled stays signalled: the next start's senders get a new one.
    outputSenders->wakeUp = std::make_shared<sock::WakeUp>();
    if (!waitForThem) return;
    outputSenders->idle.wait(lock, [this] {
        for (const bool sending : outputSenders->sending) {
            if (sending) return false;
        }
        return true;
    });
}

namespace {

void sendOutputFrame(Service& service, std::size_t index, int port,
                     const std::array<std::uint8_t, 3>& frame) {
    WindowPort& window = service.window();
    PortSlot& slot = service.portSlots[index];
    const char* data = reinterpret_cast<const char*>(frame.data());
    constexpr int count = 3;
    std::shared_ptr<sock::WakeUp> wakeUp;
    {
        std::lock_guard lock(service.outputSenders->mutex);
        wakeUp = service.outputSenders->wakeUp;
    }
    {
        // Held while sending, so that the connection thread neither closes
        // the socket nor sends a reply in between; a frame is sent whole,
        // waiting for room while the device reads nothing, until a stop or
        // the close.
        std::unique_lock lock(service.connSockGuards[index]);
        const sock::Socket open = slot.connSock.load();
        if (open != 0) {
            traceLine(window, "send:\r\n");
            const sock::Sent sent = sock::sendWholeUnlessWoken(open, data, count, *wakeUp);
            const int error = sock::lastError();
            lock.unlock();
            if (sent == sock::Sent::Failed) traceFailure(window, "send", error);
            return;
        }
    }

    traceLine(window, "newsocket\r\n");
    const sock::Socket own = sock::tcpSocket();
    if (own == sock::invalidSocket) {
        traceFailure(window, "socket", sock::lastError());
        return;
    }
    // From any other address the device would not know the frame's sender.
    if (sock::bind(own, {0, bindAddress.load()}) != 0) {
        traceFailure(window, "bind", sock::lastError());
        sock::closesocket(own);
        return;
    }
    sock::setReceiveTimeout(own, senderReceiveTimeoutMilliseconds);
    const std::uint32_t peer = slot.peerAddr.load();
    traceLine(window, "connect:%s:%d\r\n", sock::inetNtoa(peer).c_str(), port);
    // The platform's own time-out ends an unanswered connect; a stop or the
    // window's close ends it at once.
    if (sock::connectUnlessWoken(own, {sock::htons(static_cast<std::uint16_t>(port)), peer},
                                 *wakeUp) != 0) {
        traceFailure(window, "connect", sock::lastError());
        sock::closesocket(own);
        return;
    }
    traceLine(window, "send:\r\n");
    if (sock::sendWholeUnlessWoken(own, data, count, *wakeUp) == sock::Sent::Failed) {
        traceFailure(window, "send", sock::lastError());
    }
    sock::closesocket(own);
}

}  // namespace

}  // namespace net
