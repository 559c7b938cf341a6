// The server button: starts the listeners on the valid port fields, or
// stops every listener and returns the window to its stopped look.
#include <thread>

#include "net/port_field.h"
#include "net/service_threads.h"
#include "platform/text.h"

namespace {

constexpr int listenBacklog = 5;

void showNetworkError(CMonitorDlg& dlg, const char* step, int code) {
    dlg.ShowMessage(text::jp("ネットワークエラー:") + step + " " + std::to_string(code) + "\r\n");
}

bool isKelvane() {
    return variant::product == variant::Product::Kelvane;
}

// Asks the listeners that are running to stop, wakes them, and waits until
// they are Idle. The window thread only spins here: the listeners reach
// Idle before they touch the window.
void stopListeners(CMonitorDlg& dlg) {
    std::array<bool, portSlotCount> stopping{};
    for (std::size_t i = 0; i < dlg.service.portSlots.size(); ++i) {
        std::int32_t state = Listening;
        dlg.service.portSlots[i].state.compare_exchange_strong(state, StopRequested);
        stopping[i] = state == Listening || state == StopRequested;
        if (stopping[i] && dlg.service.listenerRuns[i])
            dlg.service.listenerRuns[i]->wakeUp.signal();
    }
    for (std::size_t i = 0; i < dlg.service.portSlots.size(); ++i) {
        if (!stopping[i]) continue;
        while (dlg.service.portSlots[i].state.load() != Idle) std::this_thread::yield();
    }
}

void closeAll(std::array<sock::Socket, portSlotCount>& sockets) {
    for (sock::Socket& s : sockets) {
        if (s != sock::invalidSocket) sock::closesocket(s);
        s = sock::invalidSocket;
    }
}

}  // namespace

int CMonitorDlg::openListenSockets() {
    std::array<sock::Socket, portSlotCount> created;
    created.fill(sock::invalidSocket);
    std::array<std::shared_ptr<net::ListenerRun>, portSlotCount> runs;
    const std::uint32_t generation = service.serverGeneration.load() + 1;
    for (std::size_t i = 0; i < service.portSlots.size(); ++i) {
        PortSlot& slot = service.portSlots[i];
        if (slot.state.load() != Starting) continue;
        const sock::Socket s = sock::tcpSocket();
        if (s == sock::invalidSocket) {
            showNetworkError(*this, "S", sock::lastError());
            closeAll(created);
            return -1;
        }
        created[i] = s;
        slot.listenSock = s;
        if constexpr (variant::product == variant::Product::Kelvane) sock::setReuseAddr(s);
        const std::uint32_t address = isKelvane() ? bindAddress.load() : 0;
        const auto port = static_cast<std::uint16_t>(slot.port);
        if (sock::bind(s, {sock::htons(port), address}) != 0) {
            showNetworkError(*this, "B", sock::lastError());
            closeAll(created);
            return -1;
        }
        if (sock::listen(s, listenBacklog) != 0) {
            showNetworkError(*this, "L", sock::lastError());
            closeAll(created);
            return -1;
        }
        // The listener accepts only once a connection is pending, and a
        // connection that went away meanwhile must not block it.
        sock::setNonBlocking(s, true);
        runs[i] = std::make_shared<net::ListenerRun>(static_cast<int>(i), s, generation, port);
        // The run's wake-up is a handle of the socket layer too.
        if (!runs[i]->wakeUp.valid()) {
            showNetworkError(*this, "S", runs[i]->wakeUp.error());
            closeAll(created);
            return -1;
        }
    }

    service.serverGeneration.store(generation);
    for (std::size_t i = 0; i < service.portSlots.size(); ++i) {
        PortSlot& slot = service.portSlots[i];
        if (slot.state.load() != Starting) continue;
        traceLine(this, "server start.\r\n");
        auto run = runs[i];
        service.listenerRuns[i] = run;
        if (!StartWorker([this, run] { net::listenThread(*this, run); })) {
            // The sockets of listeners already running are theirs to close.
            for (std::size_t j = 0; j < i; ++j) created[j] = sock::invalidSocket;
            closeAll(created);
            stopListeners(*this);
            return -1;
        }
        while (slot.state.load() == Starting) std::this_thread::yield();
    }
    return 0;
}

namespace {

// Marks the slots whose port field holds a valid port Starting; an invalid
// field says so in its peer label, a blank one is skipped.
void readPortFields(CMonitorDlg& dlg) {
    for (std::size_t i = 0; i < dlg.service.portSlots.size(); ++i) {
        PortSlot& slot = dlg.service.portSlots[i];
        const net::PortField field = net::readPortField(dlg.portEdits[i].text());
        if (field.kind == net::PortField::Kind::Valid) {
            slot.port = field.port;
            slot.state.store(Starting);
        } else if (field.kind == net::PortField::Kind::Invalid) {
            net::showPeerLabel(dlg, static_cast<int>(i), text::jp("ポート番号エラー"), nullptr);
        }
    }
}

bool hasDuplicatePorts(const CMonitorDlg& dlg) {
    const auto& slots = dlg.service.portSlots;
    for (std::size_t i = 0; i + 1 < slots.size(); ++i) {
        for (std::size_t j = i + 1; j < slots.size(); ++j) {
            if (slots[i].state.load() == Starting && slots[j].state.load() == Starting &&
                slots[i].port == slots[j].port) {
                return true;
            }
        }
    }
    return false;
}

void startServer(CMonitorDlg& dlg) {
    readPortFields(dlg);
    dlg.traceEdit.setText("");
    dlg.traceBytes = 0;

    bool started = false;
    if (hasDuplicatePorts(dlg)) {
        dlg.ShowMessage(text::jp("ポート番号は重複できません。"));
    } else {
        started = dlg.openListenSockets() == 0;
    }

    if (!started) {
        for (PortSlot& slot : dlg.service.portSlots) {
            std::int32_t starting = Starting;
            slot.state.compare_exchange_strong(starting, Idle);
        }
        dlg.serverRunning.store(0);
        dlg.statusLabel.invalidate();
        return;
    }
    dlg.serverRunning.store(1);
    dlg.signalHistory.serverStarted();
    dlg.statusLabel.invalidate();
    // Lamps painted grey while stopped show the running colours now.
    for (const InputControls& input : dlg.inputControls) input.lamp.invalidate();
    dlg.serverButton.setText(text::jp("サーバ待機を終了する(&S)"));
    dlg.statusLabel.setText(text::jp("接続待機中"));
    for (const ui::Control& edit : dlg.portEdits) edit.enable(false);
    dlg.adapterCombo.enable(false);
}

void stopServer(CMonitorDlg& dlg) {
    dlg.adapterCombo.enable(true);
    for (std::size_t i = 0; i < dlg.service.portSlots.size(); ++i) {
        PortSlot& slot = dlg.service.portSlots[i];
        std::int32_t listening = Listening;
        slot.state.compare_exchange_strong(listening, StopRequested);
        dlg.portEdits[i].enable(true);
        net::showPeerLabel(dlg, static_cast<int>(i), "", nullptr);
    }
    stopListeners(dlg);
    if constexpr (variant::outputCount > 0) {
        dlg.service.stopOutputSenders(true);
        // Outputs are the rows after the inputs.
        constexpr auto outputRows =
            static_cast<std::uint8_t>(((1u << variant::outputCount) - 1) << variant::inputCount);
        dlg.signalHistory.change({}, [&] {
            for (auto& output : dlg.outputOn) output.store(0);
            return history::RowWrite{outputRows, 0};
        });
        for (const OutputControls& output : dlg.outputControls) output.lamp.invalidate();
        net::disableOutputButtons(dlg);
    }
    dlg.serverRunning.store(0);
    dlg.signalHistory.serverStopped();
    dlg.statusLabel.invalidate();
    // Stopped input lamps are grey whatever their state; a listener repaints
    // them when it ends, but without one nothing else would.
    for (const InputControls& input : dlg.inputControls) input.lamp.invalidate();
    dlg.serverButton.setText(text::jp("サーバ待機を開始する(&S)"));
    dlg.statusLabel.setText(text::jp("停止中"));
}

}  // namespace

void CMonitorDlg::OnServerButton() {
    if (serverRunning.load() == 0) {
        startServer(*this);
    } else {
        stopServer(*this);
    }
}
