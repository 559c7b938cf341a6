// A connection thread: serves the device on the connection its listener
// accepted until the device closes, a receive fails, or the port stops.
#include "net/service.h"

namespace net {

void connectionThread(CMonitorDlg& dlg, const std::shared_ptr<ListenerRun>& run, sock::Socket s,
                      const sock::SockAddrIn& peer) {
    // Replies go out at once, not held back by delayed acknowledgements.
    sock::setNoDelay(s);
    if constexpr (variant::product == variant::Product::Kelvane) {
        serveKelvaneDevice(dlg, *run, s, peer);
    } else {
        serveSorrelDevice(dlg, *run, s, peer);
    }
    run->removeConnection(s);
    sock::closesocket(s);
    run->connectionThreadEnded();
}

}  // namespace net
