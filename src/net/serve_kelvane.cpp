// Kelvane's connection: a non-blocking socket read for whatever it holds,
// waiting only when it holds nothing; the bytes go through the assembly
// window one by one, and the frames of one read are answered together with
// one send. The slot's connSock names the connection the output sender uses.
#include <mutex>
#include <vector>

#include "net/connection_reads.h"
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
    std::vector<frames::Frame> frames;
    std::string replies;
    std::string logLines;
};

// The replies go out whole. While this connection is the one the output
// sender uses, the slot's guard is held for the send, so that an output
// frame never lands inside a half-sent reply; only that port's sender waits
// behind a device that reads nothing.
bool sendReplies(Connection& c) {
    std::unique_lock lock(c.guard, std::defer_lock);
    if (c.slot.connSock.load() == c.socket) lock.lock();
    return sendWhole(c.service, c.run, c.socket, c.replies);
}

// False when the connection must end.
bool answerFrames(Connection& c) {
    c.replies.clear();
    std::uint8_t written = 0;
    const history::Source source{c.peerAddr, c.run.port};
    // The slot names this connection before the replies go out, so that a
    // connection the device opens after seeing a reply is named after it.
    // Each frame's log line is made in the same step: a frame that is
    // answered always has its line, even when the window closes next.
    if (!c.run.whileRunning([&] {
            for (const frames::Frame& frame : c.frames) {
                const frames::FrameEffect effect =
                    frames::kelvaneEffect(frame, c.window.inputStates());
                c.window.applyInputs(effect.update, source);
                written |= effect.update.written;
                c.window.logFrame(c.peerText, c.logLines);
                c.replies.append(reinterpret_cast<const char*>(effect.reply.data()), 2);
            }
            c.window.logRead(c.logLines);
            std::lock_guard lock(c.guard);
            c.slot.peerAddr.store(c.peerAddr);
            c.slot.connSock.store(c.socket);
        })) {
        return false;
    }
    if (!sendReplies(c)) return false;
    c.window.repaintInputs(written);
    c.service.showPeerLabel(c.run.slot, connectedFromText(c.peerText), &c.run);
    c.service.enableOutputButtons(c.run);
    return true;
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
                 sock::inetNtoa(peer.addr),
                 {},
                 {},
                 {}};
    sock::setNonBlocking(s, true);
    frames::AssemblyWindow window;
    serveReads(
        service, run, s, c.frames,
        [&window](std::uint8_t byte) { return frames::kelvaneFeed(window, byte); },
        [&c] { return answerFrames(c); });
}

}  // namespace net
