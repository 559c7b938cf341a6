// Kelvane's ON/OFF buttons: a click flips one output and repaints its lamp
// at once; the frame with the state of all three goes to the device behind
// every listening port from a sender of that port's own, in click order,
// over the device's open connection or a short connection of the sender's
// own. The window never waits for the network, and a device gone from one
// port never delays the frames of another.
#include "net/output_senders.h"
#include "net/port_field.h"
#include "net/service_threads.h"
#include "platform/text.h"

namespace {

constexpr int senderReceiveTimeoutMilliseconds = 1000;

using Senders = net::OutputSenders;

// The socket error of a failed call, and the trace line that reports it.
void traceFailure(CMonitorDlg* dlg, const char* step, int code) {
    traceLine(dlg, "err:sendDigitalOut:%s:%d\r\n", step, code);
}

// Sends a port's frames one after another while there are any; the sender
// ends, a throw included, with the port marked as having none. The mark is
// cleared under the lock that found the queue empty: a click queued after
// that starts a sender of its own instead of waiting for one that is ending.
void runSender(CMonitorDlg& dlg, std::size_t slot) {
    Senders& senders = *dlg.service.outputSenders;
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
        dlg.sendDigitalOut(static_cast<int>(slot), click.port, click.frame.data(), 3);
        lock.lock();
    }
    senders.sending[slot] = false;
    end.marked = false;
}

void queueClick(CMonitorDlg& dlg, std::size_t slot, const Senders::Click& click) {
    Senders& senders = *dlg.service.outputSenders;
    std::lock_guard lock(senders.mutex);
    senders.waiting[slot].push_back(click);
    if (senders.sending[slot]) return;
    senders.sending[slot] = true;
    if (!dlg.StartWorker([&dlg, slot] { runSender(dlg, slot); })) {
        senders.sending[slot] = false;
        senders.waiting[slot].clear();
        traceLine(&dlg, "err:sendDigitalOut:thread\r\n");
    }
}

}  // namespace

void CMonitorDlg::toggleDigitalOut(int output) {
    const int port = net::atoiValue(destPortEdit.text());
    if (!net::isValidPort(port)) {
        ShowMessage(text::jp("このポート番号は指定できません"));
        return;
    }
    const auto index = static_cast<std::size_t>(output);
    signalHistory.change({}, [&] {
        const int on = outputOn[index].load() == 0 ? 1 : 0;
        outputOn[index].store(on);
        const int row = variant::inputCount + output;
        return history::RowWrite{static_cast<std::uint8_t>(1u << row),
                                 static_cast<std::uint8_t>(on << row)};
    });
    outputControls[index].lamp.invalidate();

    unsigned bits = 0;
    for (std::size_t k = 0; k < outputOn.size(); ++k) {
        if (outputOn[k].load() != 0) bits |= 1u << k;
    }
    const Senders::Click click{
        port, {frames::frameStart, frames::stateMarker, static_cast<std::uint8_t>(bits)}};
    for (std::size_t i = 0; i < service.portSlots.size(); ++i) {
        if (service.portSlots[i].state.load() == Listening) queueClick(*this, i, click);
    }
}

void net::Service::stopOutputSenders(bool waitForThem) {
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

void CMonitorDlg::sendDigitalOut(int slotIndex, int port, const std::uint8_t* bytes, int count) {
    const auto index = static_cast<std::size_t>(slotIndex);
    PortSlot& slot = service.portSlots[index];
    const char* data = reinterpret_cast<const char*>(bytes);
    {
        // Held while sending, so the connection thread cannot close the
        // socket in between; that thread never waits for the window while
        // holding it.
        std::unique_lock lock(service.connSockGuards[index]);
        const sock::Socket open = slot.connSock.load();
        if (open != 0) {
            traceLine(this, "send:\r\n");
            const bool sent = sock::send(open, data, count) != sock::socketError;
            const int error = sock::lastError();
            lock.unlock();
            if (!sent) traceFailure(this, "send", error);
            return;
        }
    }

    std::shared_ptr<sock::WakeUp> wakeUp;
    {
        std::lock_guard lock(service.outputSenders->mutex);
        wakeUp = service.outputSenders->wakeUp;
    }
    traceLine(this, "newsocket\r\n");
    const sock::Socket own = sock::tcpSocket();
    if (own == sock::invalidSocket) {
        traceFailure(this, "socket", sock::lastError());
        return;
    }
    sock::bind(own, {0, bindAddress.load()});
    sock::setReceiveTimeout(own, senderReceiveTimeoutMilliseconds);
    const std::uint32_t peer = slot.peerAddr.load();
    traceLine(this, "connect:%s:%d\r\n", sock::inetNtoa(peer).c_str(), port);
    // The platform's own time-out ends an unanswered connect; a stop or the
    // window's close ends it at once.
    if (sock::connectUnlessWoken(own, {sock::htons(static_cast<std::uint16_t>(port)), peer},
                                 *wakeUp) != 0) {
        traceFailure(this, "connect", sock::lastError());
        sock::closesocket(own);
        return;
    }
    traceLine(this, "send:\r\n");
    if (sock::send(own, data, count) == sock::socketError) {
        traceFailure(this, "send", sock::lastError());
    }
    sock::closesocket(own);
}
