// The listen thread of one port: polls the listening socket, starts one
// connection thread per pending connection, and cleans up on a stop.
#include <thread>

#include "net/service.h"
#include "platform/text.h"

namespace net {

namespace {

// A connection no thread can serve is taken off the queue and closed, so
// that the port is not reported ready again and again.
void refuseConnection(const ListenerRun& run) {
    sock::setNonBlocking(run.listenSock, true);
    const sock::Socket s = sock::accept(run.listenSock, nullptr);
    if (s != sock::invalidSocket) sock::closesocket(s);
    sock::setNonBlocking(run.listenSock, false);
}

// Starts a connection thread and waits until it has accepted, so that one
// readiness report never starts a second thread for the same connection.
void handOffConnection(CMonitorDlg& dlg, const std::shared_ptr<ListenerRun>& run) {
    const PortSlot& slot = dlg.portSlots[static_cast<std::size_t>(run->slot)];
    run->acceptPending.store(true);
    run->connectionThreadStarting();
    if (!dlg.StartWorker([&dlg, run] { connectionThread(dlg, run); })) {
        run->acceptPending.store(false);
        run->connectionThreadEnded();
        refuseConnection(*run);
        return;
    }
    while (run->acceptPending.load()) {
        if (slot.state.load() == StopRequested) return;
        std::this_thread::yield();
    }
}

void clearInputs(CMonitorDlg& dlg) {
    for (std::size_t k = 0; k < dlg.inputOn.size(); ++k) {
        dlg.inputOn[k].store(0);
        dlg.inputControls[k].lamp.invalidate();
    }
}

void cleanUp(CMonitorDlg& dlg, const std::shared_ptr<ListenerRun>& run) {
    PortSlot& slot = dlg.portSlots[static_cast<std::size_t>(run->slot)];
    run->stop();
    // The listening socket stays open until no thread is inside accept on
    // it: its descriptor must not be reused under that thread. It is closed
    // before the slot is Idle, so that a start right after the stop finds
    // the port free.
    sock::shutdownBoth(run->listenSock);
    while (run->acceptPending.load()) std::this_thread::yield();
    sock::closesocket(run->listenSock);
    // Cleared before the slot is Idle, so that a start right after the stop
    // (a settings load) never shows the inputs of the devices it ended.
    clearInputs(dlg);
    slot.state.store(Idle);
    run->waitForConnectionThreads();

    dlg.CallOnWindowThread([&] {
        const bool current = dlg.serverGeneration.load() == run->generation;
        if (current) {
            clearInputs(dlg);
            if constexpr (variant::outputCount > 0) disableOutputButtons(dlg);
            dlg.serverButton.setText(text::jp("サーバ待機を開始する(&S)"));
            dlg.statusLabel.setText(text::jp("停止中"));
        }
        traceLine(&dlg, "server stop.\r\n");
        if (current) showPeerLabel(dlg, run->slot, "", nullptr);
    });
}

}  // namespace

void listenThread(CMonitorDlg& dlg, const std::shared_ptr<ListenerRun>& run) {
    PortSlot& slot = dlg.portSlots[static_cast<std::size_t>(run->slot)];
    slot.state.store(Listening);
    for (;;) {
        if (slot.state.load() == StopRequested) break;
        const int ready = sock::selectReadable(run->listenSock, pollMicroseconds);
        if (ready == sock::socketError) {
            std::this_thread::sleep_for(std::chrono::microseconds(pollMicroseconds));
            continue;
        }
        if (ready == 0) continue;
        traceLine(&dlg, "select.\r\n");
        if (slot.state.load() == StopRequested) break;
        handOffConnection(dlg, run);
    }
    cleanUp(dlg, run);
}

}  // namespace net
