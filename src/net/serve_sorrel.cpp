// Sorrel's connection: a non-blocking socket read for whatever it holds,
// waiting only when it holds nothing; the bytes go through the frame reader
// one by one, and the frames of one read are answered together with one
// send. The stop is looked at before every receive and every wait, so that
// it ends the connection even in the middle of a frame.
#include <algorithm>
#include <vector>

#include "net/connection_reads.h"
#include "net/service_threads.h"

namespace net {

namespace {

// The most a frame's two trace lines take: a read's older frames would
// only push its newer lines out of the trace box.
constexpr std::size_t traceBytesPerFrame = 80;
constexpr std::size_t tracedFramesPerRead = traceKeptBytes / traceBytesPerFrame;

struct Connection {
    Service& service;
    WindowPort& window;
    ListenerRun& run;
    sock::Socket socket;
    std::uint32_t peerAddr;
    std::string peerText;
    std::vector<frames::Frame> frames;
    std::vector<std::optional<frames::FrameEffect>> effects;
    std::string replies;
    std::string trace;
    std::string logLines;
};

void appendHexByte(std::string& line, std::uint8_t byte) {
    static constexpr char digits[] = "0123456789abcdef";
    line += digits[byte >> 4];
    line += digits[byte & 0x0f];
}

// Written out rather than formatted: a read of 64 frames makes 128 of these
// lines, and a printf-style call for each was most of a frame's work.
void traceFrame(Connection& c, const frames::Frame& frame,
                const std::optional<frames::FrameEffect>& effect) {
    std::string& trace = c.trace;
    trace += "from:";
    trace += c.peerText;
    trace += frame.change ? "   Recv : fc " : "   Recv : f0 ";
    appendHexByte(trace, frame.value);
    if (frame.change) {
        trace += ' ';
        appendHexByte(trace, frame.mask);
    }
    trace += "\r\n";
    if (effect) {
        trace += "--to:";
        trace += c.peerText;
        trace += "   Send : ";
        appendHexByte(trace, effect->reply[0]);
        trace += ' ';
        appendHexByte(trace, effect->reply[1]);
        trace += "\r\n";
    }
}

// False when the connection must end.
bool answerFrames(Connection& c) {
    c.replies.clear();
    c.effects.clear();
    std::uint8_t written = 0;
    const history::Source source{c.peerAddr, c.run.port};
    // Each frame's log line is made in the step that applies it: a frame
    // that is answered always has its line, even when the window closes next.
    if (!c.run.whileRunning([&] {
            for (const frames::Frame& frame : c.frames) {
                auto effect = frames::sorrelEffect(frame, c.window.inputStates());
                if (effect) {
                    c.window.applyInputs(effect->update, source);
                    written |= effect->update.written;
                    c.window.logFrame(c.peerText, c.logLines);
                    c.replies.append(reinterpret_cast<const char*>(effect->reply.data()), 2);
                }
                c.effects.push_back(effect);
            }
            c.window.logRead(c.logLines);
        })) {
        return false;
    }
    if (!c.replies.empty() && !sendWhole(c.service, c.run, c.socket, c.replies)) return false;

    c.trace.clear();
    const std::size_t count = c.frames.size();
    for (std::size_t i = count - std::min(count, tracedFramesPerRead); i < count; ++i) {
        traceFrame(c, c.frames[i], c.effects[i]);
    }
    c.window.traceText(c.trace);
    if (c.replies.empty()) return true;
    c.window.repaintInputs(written);
    c.service.showPeerLabel(c.run.slot, connectedFromText(c.peerText), &c.run);
    return true;
}

}  // namespace

void serveSorrelDevice(Service& service, ListenerRun& run, sock::Socket s,
                       const sock::SockAddrIn& peer) {
    Connection c{
        service, service.window(), run, s, peer.addr, sock::inetNtoa(peer.addr), {}, {}, {}, {},
        {}};
    sock::setNonBlocking(s, true);
    frames::SorrelReader reader;
    serveReads(
        service, run, s, c.frames, [&reader](std::uint8_t byte) { return reader.feed(byte); },
        [&c] { return answerFrames(c); });
}

}  // namespace net
