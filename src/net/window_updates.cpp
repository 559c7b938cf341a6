// Window updates shared by the listeners, the connections and the server
// button, and the connections' look at the stop request.
#include "net/service.h"
#include "platform/text.h"

namespace net {

bool stopSeen(const CMonitorDlg& dlg, const ListenerRun& run) {
    if (run.stopping.load()) return true;
    const std::int32_t state = dlg.portSlots[static_cast<std::size_t>(run.slot)].state.load();
    return state == StopRequested || state == Idle;
}

bool waitReadable(const CMonitorDlg& dlg, const ListenerRun& run, sock::Socket s) {
    if (stopSeen(dlg, run)) return false;
    // A failure counts as ready: the receive that follows reports it.
    return sock::waitReadableOrWoken(s, run.wakeUp) != sock::Wait::Woken;
}

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

void applyInputUpdate(CMonitorDlg& dlg, frames::InputUpdate update) {
    for (std::size_t k = 0; k < dlg.inputOn.size(); ++k) {
        if ((update.written >> k & 1u) != 0) dlg.inputOn[k].store(update.values >> k & 1);
    }
    // A repaint request is harmless whoever owns the window by now, and it
    // is handed over without waiting: a frame costs no trip to the window.
    for (std::size_t k = 0; k < dlg.inputControls.size(); ++k) {
        if ((update.written >> k & 1u) != 0) dlg.inputControls[k].lamp.invalidate();
    }
}

void showPeerLabel(CMonitorDlg& dlg, int slot, const std::string& text, const ListenerRun* run) {
    const auto index = static_cast<std::size_t>(slot);
    auto write = [&] {
        dlg.portSlots[index].peerLabel.setText(text);
        std::lock_guard lock(dlg.peerLabelGuard);
        dlg.peerLabelTexts[index] = text;
    };
    if (run == nullptr) {
        write();
        return;
    }
    {
        std::lock_guard lock(dlg.peerLabelGuard);
        if (dlg.peerLabelTexts[index] == text) return;
    }
    onWindowWhileRunning(dlg, *run, write);
}

std::string connectedFromText(const std::string& peerAddress) {
    return text::jp("接続元 : ") + peerAddress;
}

void enableOutputButtons(CMonitorDlg& dlg, const ListenerRun& run) {
    if (dlg.outputButtonsEnabled.load() != 0) return;
    onWindowWhileRunning(dlg, run, [&] {
        for (const OutputControls& output : dlg.outputControls) output.button.enable(true);
        dlg.outputButtonsEnabled.store(1);
    });
}

void disableOutputButtons(CMonitorDlg& dlg) {
    for (const OutputControls& output : dlg.outputControls) output.button.enable(false);
    dlg.outputButtonsEnabled.store(0);
}

}  // namespace net
