// A connection thread: accepts one connection on its listener's socket and
// serves the device on it until the device closes, a receive fails, or the
// port stops.
#include "net/service.h"

namespace net {

void connectionThread(CMonitorDlg& dlg, const std::shared_ptr<ListenerRun>& run) {
    sock::SockAddrIn peer;
    const sock::Socket s = sock::accept(run->listenSock, &peer);
    const bool served = s != sock::invalidSocket && run->addConnection(s);
    run->acceptPending.store(false);
    if (served) {
        // Replies go out at once, not held back by delayed acknowledgements.
        sock::setNoDelay(s);
        if constexpr (variant::product == variant::Product::Kelvane) {
            serveKelvaneDevice(dlg, *run, s, peer);
        } else {
            serveSorrelDevice(dlg, *run, s, peer);
        }
        run->removeConnection(s);
    }
    if (s != sock::invalidSocket) sock::closesocket(s);
    run->connectionThreadEnded();
}

}  // namespace net
