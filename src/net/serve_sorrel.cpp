// Sorrel's connection: a non-blocking socket read one byte at a time
// through the frame reader. Bytes already there are taken without a wait,
// so that pipelined frames cost one receive a byte; only an empty socket
// waits until it is readable or the run is woken, and the stop is looked
// at before every byte, so that it ends the connection even in the middle
// of a frame.
#include "net/service_threads.h"

namespace net {

namespace {

struct Connection {
    Service& service;
    WindowPort& window;
    ListenerRun& run;
    sock::Socket socket;
    std::uint32_t peerAddr;
    std::string peerText;
};

void traceFrame(const Connection& c, const frames::Frame& frame) {
    if (frame.change) {
        traceLine(c.window, "from:%s   Recv : fc %02x %02x\r\n", c.peerText.c_str(), frame.value,
                  frame.mask);
    } else {
        traceLine(c.window, "from:%s   Recv : f0 %02x\r\n", c.peerText.c_str(), frame.value);
    }
}

void applyFrame(Connection& c, const frames::Frame& frame) {
    traceFrame(c, frame);
    std::optional<frames::FrameEffect> effect;
    // The frame's log line is made in the step that applies it: a frame
    // that is answered always has its line, even when the window closes next.
    if (!c.run.whileRunning([&] {
            effect = frames::sorrelEffect(frame, c.window.inputStates());
            if (!effect) return;
            c.window.showInputs(effect->update, {c.peerAddr, c.run.port});
            c.window.logFrame(c.peerText);
        })) {
        return;
    }
    if (!effect) return;
    c.service.showPeerLabel(c.run.slot, connectedFromText(c.peerText), &c.run);
    traceLine(c.window, "--to:%s   Send : %02x %02x\r\n", c.peerText.c_str(), effect->reply[0],
              effect->reply[1]);
    sock::send(c.socket, reinterpret_cast<const char*>(effect->reply.data()), 2);
}

// Receives until a frame is complete or the bytes so far start none; false
// when the connection ended (the peer closed or the receive failed).
bool receiveFrame(Connection& c, frames::SorrelReader& reader,
                  std::optional<frames::Frame>& frame) {
    do {
        if (c.service.stopSeen(c.run)) return false;
        char byte = 0;
        int got = 0;
        int error = 0;
        for (;;) {
            got = sock::recv(c.socket, &byte, 1);
            if (got >= 0) break;
            error = sock::lastError();
            if (error != sock::wsaEWOULDBLOCK) break;
            if (!c.service.waitReadable(c.run, c.socket)) return false;
        }
        if (got <= 0) {
            if (c.service.stopSeen(c.run)) return false;
            if (got == 0) {
                c.service.showPeerLabel(c.run.slot, "", &c.run);
            } else {
                traceLine(c.window, "recv error: %d \r\n", error);
            }
            return false;
        }
        frame = reader.feed(static_cast<std::uint8_t>(byte));
    } while (!frame && reader.midFrame());
    return true;
}

}  // namespace

void serveSorrelDevice(Service& service, ListenerRun& run, sock::Socket s,
                       const sock::SockAddrIn& peer) {
    Connection c{service, service.window(), run, s, peer.addr, sock::inetNtoa(peer.addr)};
    sock::setNonBlocking(s, true);
    frames::SorrelReader reader;
    for (;;) {
        if (service.stopSeen(run)) return;
        std::optional<frames::Frame> frame;
        if (!receiveFrame(c, reader, frame)) return;
        if (frame) applyFrame(c, *frame);
    }
}

}  // namespace net
