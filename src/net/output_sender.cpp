// Kelvane's ON/OFF buttons: a click flips one output and sends the state of
// all three to the device behind every listening port, over the device's
// open connection or over a short connection of the sender's own.
#include "net/port_field.h"
#include "net/service.h"
#include "platform/text.h"

namespace {

constexpr int senderReceiveTimeoutMilliseconds = 1000;

// The socket error of a failed call, and the trace line that reports it.
void traceFailure(CMonitorDlg* dlg, const char* step, int code) {
    traceLine(dlg, "err:sendDigitalOut:%s:%d\r\n", step, code);
}

}  // namespace

void CMonitorDlg::toggleDigitalOut(int output) {
    const int port = net::atoiValue(destPortEdit.text());
    if (!net::isValidPort(port)) {
        MessageBox(text::jp("このポート番号は指定できません"));
        return;
    }
    const auto index = static_cast<std::size_t>(output);
    outputOn[index].store(outputOn[index].load() == 0 ? 1 : 0);
    outputControls[index].lamp.invalidate();

    unsigned bits = 0;
    for (std::size_t k = 0; k < outputOn.size(); ++k) {
        if (outputOn[k].load() != 0) bits |= 1u << k;
    }
    const std::uint8_t frame[3] = {frames::frameStart, frames::stateMarker,
                                   static_cast<std::uint8_t>(bits)};
    for (std::size_t i = 0; i < portSlots.size(); ++i) {
        if (portSlots[i].state.load() == Listening) {
            sendDigitalOut(static_cast<int>(i), port, frame, 3);
        }
    }
}

void CMonitorDlg::sendDigitalOut(int slotIndex, int port, const std::uint8_t* bytes, int count) {
    const auto index = static_cast<std::size_t>(slotIndex);
    PortSlot& slot = portSlots[index];
    const char* data = reinterpret_cast<const char*>(bytes);
    {
        // Held while sending, so the connection thread cannot close the
        // socket in between; that thread never waits for the window while
        // holding it.
        std::unique_lock lock(connSockGuards[index]);
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
    if (sock::connect(own, {sock::htons(static_cast<std::uint16_t>(port)), peer}) != 0) {
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
