// Kelvane's connection: a non-blocking socket read one byte at a time into
// the assembly window, waiting only when no byte is there; a recognised
// frame is answered at once. The slot's connSock names the connection the
// output sender uses.
#include <mutex>

#include "net/service_threads.h"

namespace net {

namespace {

struct Connection {
    Service& service;
    WindowPort& window;
    ListenerRun& run;
    PortSlot& slot;
    std::mutex& guard;
    sock::Socket socket;
    std::uint32_t peerAddr;
    std::string peerText;
};

void applyFrame(Connection& c, const frames::Frame& frame) {
    frames::FrameEffect effect;
    // The slot names this connection before the reply goes out, so that a
    // connection the device opens after seeing the reply is named after it.
    // The frame's log line is made in the same step: a frame that is
    // answered always has its line, even when the window closes next.
    if (!c.run.whileRunning([&] {
            effect = frames::kelvaneEffect(frame, c.window.inputStates());
            c.window.showInputs(effect.update, {c.peerAddr, c.run.port});
            {
                std::lock_guard lock(c.guard);
                c.slot.peerAddr.store(c.peerAddr);
                c.slot.connSock.store(c.socket);
            }
            c.window.logFrame(c.peerText);
        })) {
        return;
    }
    sock::send(c.socket, reinterpret_cast<const char*>(effect.reply.data()), 2);

    const auto lead = frames::kelvaneLeadBytes(frame);
    traceLine(c.window, "from:%s   Recv %02x %02x\r\n", c.peerText.c_str(), lead[0], lead[1]);
    c.service.showPeerLabel(c.run.slot, connectedFromText(c.peerText), &c.run);
    c.service.enableOutputButtons(c.run);
}

void receiveUntilEnd(Connection& c) {
    frames::AssemblyWindow window;
    for (;;) {
        if (c.service.stopSeen(c.run)) return;
        char byte = 0;
        const int got = sock::recv(c.socket, &byte, 1);
        if (got == 0) {
            if (!c.service.stopSeen(c.run)) c.service.showPeerLabel(c.run.slot, "", &c.run);
            return;
        }
        if (got > 0) {
            if (const auto frame = frames::kelvaneFeed(window, static_cast<std::uint8_t>(byte))) {
                applyFrame(c, *frame);
            }
            continue;
        }
        const int error = sock::lastError();
        if (error != sock::wsaEWOULDBLOCK) {
            if (!c.service.stopSeen(c.run)) traceLine(c.window, "recv error: %d \r\n", error);
            return;
        }
        if (!c.service.waitReadable(c.run, c.socket)) return;
    }
}

}  // namespace

void serveKelvaneDevice(Service& service, ListenerRun& run, sock::Socket s,
                        const sock::SockAddrIn& peer) {
    const auto index = static_cast<std::size_t>(run.slot);
    Connection c{service,
                 service.window(),
                 run,
                 service.portSlots[index],
                 service.connSockGuards[index],
                 s,
                 peer.addr,
                 sock::inetNtoa(peer.addr)};
    sock::setNonBlocking(s, true);
    receiveUntilEnd(c);
}

}  // namespace net
