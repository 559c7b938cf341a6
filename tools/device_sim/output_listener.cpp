#include "device_sim/output_listener.h"

#include "device_sim/device_link.h"
#include "device_sim/incoming.h"

namespace devsim {
namespace {

constexpr long pollMicroseconds = 20'000;

}  // namespace

OutputListener::~OutputListener() {
    if (listener_ != sock::invalidSocket) sock::closesocket(listener_);
}

std::string OutputListener::open() {
    listener_ = sock::tcpSocket();
    if (listener_ == sock::invalidSocket) {
        return "socket failed: error " + std::to_string(sock::lastError());
    }
    sock::setReuseAddr(listener_);
    std::string where = (options_.bindAddress.empty() ? "0.0.0.0" : options_.bindAddress) + ":" +
                        std::to_string(options_.listenPort);
    if (sock::bind(listener_, socketAddress(options_.bindAddress, options_.listenPort)) ==
        sock::socketError) {
        return "bind to " + where + " failed: error " + std::to_string(sock::lastError());
    }
    if (sock::listen(listener_, 5) == sock::socketError) {
        return "listen on " + where + " failed: error " + std::to_string(sock::lastError());
    }
    printer_.event("listening for output frames on " + where);
    return {};
}

bool OutputListener::reachedWantedFrames() const {
    return options_.outputFrames > 0 && frames_.load() >= options_.outputFrames;
}

bool OutputListener::finished(const std::atomic<bool>& stop) const {
    return stop.load() || reachedWantedFrames();
}

void OutputListener::run(const std::atomic<bool>& stop) {
    while (!finished(stop)) {
        if (sock::selectReadable(listener_, pollMicroseconds) != 1) continue;
        sock::SockAddrIn peer;
        sock::Socket connection = sock::accept(listener_, &peer);
        if (connection == sock::invalidSocket) continue;
        std::string from = sock::inetNtoa(peer.addr) + ":" + std::to_string(sock::ntohs(peer.port));
        printer_.event("output sender connected from " + from);
        serve(connection, from, stop);
        sock::closesocket(connection);
    }
}

void OutputListener::serve(sock::Socket connection, const std::string& peer,
                           const std::atomic<bool>& stop) {
    IncomingParser parser;
    char buffer[256];
    while (!stop.load()) {
        int ready = sock::selectReadable(connection, pollMicroseconds);
        if (ready == 0) continue;
        int got = ready == 1 ? sock::recv(connection, buffer, sizeof buffer) : sock::socketError;
        if (got <= 0) {
            printer_.event(got == 0 ? "output sender " + peer + " closed"
                                    : "output sender " + peer + " failed: error " +
                                          std::to_string(sock::lastError()));
            return;
        }
        for (int i = 0; i < got; ++i) {
            auto message = parser.feed(static_cast<std::uint8_t>(buffer[i]));
            if (!message) continue;
            if (message->kind == Incoming::Kind::OutputFrame) {
                ++frames_;
                printer_.event("<- " + formatHex(message->bytes) + "  output frame from " + peer);
            } else {
                stray_ = true;
                printer_.event("<- " + formatHex(message->bytes) + "  stray, not an output frame");
            }
        }
    }
}

}  // namespace devsim
