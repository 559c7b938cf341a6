// What the network service shows in the window: the inputs its devices
// report, the peer labels, Kelvane's ON/OFF buttons and the stopped look.
#include "platform/text.h"
#include "window/monitor_dlg.h"

std::uint8_t CMonitorDlg::inputStates() const {
    unsigned bits = 0;
    for (std::size_t k = 0; k < inputOn.size(); ++k) {
        if (inputOn[k].load() != 0) bits |= 1u << k;
    }
    return static_cast<std::uint8_t>(bits);
}

void CMonitorDlg::applyInputs(frames::InputUpdate update, history::Source source) {
    // The states and their history change together, so that the history
    // has them in the order the connections applied them.
    signalHistory.change(source, [&] {
        for (std::size_t k = 0; k < inputOn.size(); ++k) {
            if ((update.written >> k & 1u) != 0) inputOn[k].store(update.values >> k & 1);
        }
        return history::RowWrite{update.written, update.values};
    });
}

void CMonitorDlg::repaintInputs(std::uint8_t inputs) {
    // A repaint request is harmless whoever owns the window by now, and it
    // is handed over without waiting: a frame costs no trip to the window.
    for (std::size_t k = 0; k < inputControls.size(); ++k) {
        if ((inputs >> k & 1u) != 0) inputControls[k].lamp.invalidate();
    }
}

void CMonitorDlg::clearInputs() {
    signalHistory.change({}, [&] {
        for (auto& input : inputOn) input.store(0);
        return history::RowWrite{static_cast<std::uint8_t>((1u << inputOn.size()) - 1), 0};
    });
    for (const InputControls& input : inputControls) input.lamp.invalidate();
}

void CMonitorDlg::showPeerLabel(int slot, const std::string& text) {
    peerLabels[static_cast<std::size_t>(slot)].setText(text);
}

void CMonitorDlg::enableOutputButtons(bool enable) {
    for (const OutputControls& output : outputControls) output.button.enable(enable);
}

void CMonitorDlg::showServerStopped() {
    serverButton.setText(text::jp("サーバ待機を開始する(&S)"));
    statusLabel.setText(text::jp("停止中"));
}
