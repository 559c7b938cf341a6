// A connection thread: serves the device on the connection its listener
// accepted until the device closes, a receive fails, or the port stops.
#include "net/service_threads.h"
#include "platform/text.h"

namespace net {

namespace {

// The end of a connection, on every way out of its thread, a throw
// included: the listener's clean-up waits for it, and the stop for that.
struct ConnectionEnd {
    Service& service;
    const std::shared_ptr<ListenerRun>& run;
    sock::Socket socket;
    ~ConnectionEnd() {
        service.endConnection(*run, socket);
        sock::closesocket(socket);
        run->connectionThreadEnded();
    }
};

}  // namespace

void connectionThread(Service& service, const std::shared_ptr<ListenerRun>& run, sock::Socket s,
                      const sock::SockAddrIn& peer) {
    const ConnectionEnd end{service, run, s};
    // Replies go out at once, not held back by delayed acknowledgements.
    sock::setNoDelay(s);
    if constexpr (variant::product == variant::Product::Kelvane) {
        serveKelvaneDevice(service, *run, s, peer);
    } else {
        serveSorrelDevice(service, *run, s, peer);
    }
}

std::string connectedFromText(const std::string& peerAddress) {
    return text::jp("接続元 : ") + peerAddress;
}

}  // namespace net
