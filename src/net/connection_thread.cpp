// A connection thread: serves the device on the connection its listener
// accepted until the device closes, a receive fails, or the port stops.
#include "net/service_threads.h"

namespace net {

namespace {

// The end of a connection, on every way out of its thread, a throw
// included: the listener's clean-up waits for it, and the stop for that.
struct ConnectionEnd {
    CMonitorDlg& dlg;
    const std::shared_ptr<ListenerRun>& run;
    sock::Socket socket;
    ~ConnectionEnd() {
        dlg.service.endConnection(*run, socket);
        sock::closesocket(socket);
        run->connectionThreadEnded();
    }
};

}  // namespace

void connectionThread(CMonitorDlg& dlg, const std::shared_ptr<ListenerRun>& run, sock::Socket s,
                      const sock::SockAddrIn& peer) {
    const ConnectionEnd end{dlg, run, s};
    // Replies go out at once, not held back by delayed acknowledgements.
    sock::setNoDelay(s);
    if constexpr (variant::product == variant::Product::Kelvane) {
        serveKelvaneDevice(dlg, *run, s, peer);
    } else {
        serveSorrelDevice(dlg, *run, s, peer);
    }
}

}  // namespace net
