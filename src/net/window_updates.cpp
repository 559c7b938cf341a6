// Window updates shared by the listeners, the connections and the server
// button.
#include "net/service_threads.h"
#include "platform/text.h"

namespace net {

void onWindowWhileRunning(CMonitorDlg& dlg, const ListenerRun& run,
                          const std::function<void()>& fn) {
    dlg.CallOnWindowThread([&] {
        if (!run.stopping.load()) fn();
    });
}

std::uint8_t inputBits(const CMonitorDlg& dlg) {
    unsigned bits = 0;
    for (std::size_t k = 0; k < dlg.inputOn.size(); ++k) {
        if (dlg.inputOn[k].load() != 0) bits |= 1u << k;
    }
    return static_cast<std::uint8_t>(bits);
}

void applyInputUpdate(CMonitorDlg& dlg, frames::InputUpdate update, history::Source source) {
    // The states and their history change together, so that the history
    // has them in the order the connections applied them.
    dlg.signalHistory.change(source, [&] {
        for (std::size_t k = 0; k < dlg.inputOn.size(); ++k) {
            if ((update.written >> k & 1u) != 0) dlg.inputOn[k].store(update.values >> k & 1);
        }
        return history::RowWrite{update.written, update.values};
    });
    // A repaint request is harmless whoever owns the window by now, and it
    // is handed over without waiting: a frame costs no trip to the window.
    for (std::size_t k = 0; k < dlg.inputControls.size(); ++k) {
        if ((update.written >> k & 1u) != 0) dlg.inputControls[k].lamp.invalidate();
    }
}

namespace {

// On the window thread: writes the texts the connections handed over, each
// only while its run is the slot's run and not stopping.
void writePendingPeerLabels(CMonitorDlg& dlg) {
    std::array<std::optional<std::string>, portSlotCount> writes;
    {
        std::lock_guard lock(dlg.service.peerLabelGuard);
        dlg.service.peerLabelWriteQueued = false;
        for (std::size_t i = 0; i < writes.size(); ++i) {
            auto& pending = dlg.service.pendingPeerLabels[i];
            if (!pending) continue;
            const bool current = dlg.service.listenerRuns[i].get() == pending->run &&
                                 !dlg.service.listenerRuns[i]->stopping.load();
            if (current && dlg.service.peerLabelTexts[i] != pending->text) {
                // Recorded before the write, so that a frame that wants
                // the text the write replaces hands it over again.
                dlg.service.peerLabelTexts[i] = pending->text;
                writes[i] = std::move(pending->text);
            }
            pending.reset();
        }
    }
    for (std::size_t i = 0; i < writes.size(); ++i) {
        if (writes[i]) dlg.peerLabels[i].setText(*writes[i]);
    }
}

}  // namespace

void showPeerLabel(CMonitorDlg& dlg, int slot, const std::string& text, const ListenerRun* run) {
    const auto index = static_cast<std::size_t>(slot);
    if (run == nullptr) {
        {
            std::lock_guard lock(dlg.service.peerLabelGuard);
            dlg.service.peerLabelTexts[index] = text;
            dlg.service.pendingPeerLabels[index].reset();
        }
        dlg.peerLabels[index].setText(text);
        return;
    }
    {
        std::lock_guard lock(dlg.service.peerLabelGuard);
        auto& pending = dlg.service.pendingPeerLabels[index];
        if (pending ? pending->text == text : dlg.service.peerLabelTexts[index] == text) return;
        pending = net::Service::PendingPeerLabel{text, run};
        if (dlg.service.peerLabelWriteQueued) return;
        dlg.service.peerLabelWriteQueued = true;
    }
    try {
        dlg.PostToWindowThread([&dlg] { writePendingPeerLabels(dlg); });
    } catch (...) {
        // Not handed over: the next text must be.
        std::lock_guard lock(dlg.service.peerLabelGuard);
        dlg.service.peerLabelWriteQueued = false;
        throw;
    }
}

std::string connectedFromText(const std::string& peerAddress) {
    return text::jp("接続元 : ") + peerAddress;
}

void enableOutputButtons(CMonitorDlg& dlg, const ListenerRun& run) {
    if (dlg.service.outputButtonsEnabled.load() != 0) return;
    onWindowWhileRunning(dlg, run, [&] {
        for (const OutputControls& output : dlg.outputControls) output.button.enable(true);
        dlg.service.outputButtonsEnabled.store(1);
    });
}

void disableOutputButtons(CMonitorDlg& dlg) {
    for (const OutputControls& output : dlg.outputControls) output.button.enable(false);
    dlg.service.outputButtonsEnabled.store(0);
}

}  // namespace net
