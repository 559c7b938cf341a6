// The server button and Kelvane's ON/OFF buttons: the window's side. The
// network service listens, stops and sends; the window reads the fields and
// shows the result.
#include "net/port_field.h"
#include "platform/text.h"
#include "window/monitor_dlg.h"

namespace {

// The ports of the fields that hold a valid one; an invalid field says so
// in its peer label, a blank one is skipped.
std::array<std::optional<std::uint16_t>, portSlotCount> readPortFields(CMonitorDlg& dlg) {
    std::array<std::optional<std::uint16_t>, portSlotCount> ports;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const net::PortField field = net::readPortField(dlg.portEdits[i].text());
        if (field.kind == net::PortField::Kind::Valid) {
            ports[i] = static_cast<std::uint16_t>(field.port);
        } else if (field.kind == net::PortField::Kind::Invalid) {
            dlg.service.showPeerLabel(static_cast<int>(i), text::jp("ポート番号エラー"), nullptr);
        }
    }
    return ports;
}

void showStartFailure(CMonitorDlg& dlg, const net::StartFailure& failure) {
    using Kind = net::StartFailure::Kind;
    if (failure.kind == Kind::DuplicatePorts) {
        dlg.ShowMessage(text::jp("ポート番号は重複できません。"));
    } else if (failure.kind == Kind::SocketCall) {
        dlg.ShowMessage(text::jp("ネットワークエラー:") + failure.step + " " +
                        std::to_string(failure.code) + "\r\n");
    }
}

}  // namespace

void CMonitorDlg::startServer() {
    const auto ports = readPortFields(*this);
    traceEdit.setText("");
    traceBytes = 0;
    if (const auto failure = service.start(ports)) {
        showStartFailure(*this, *failure);
        serverRunning.store(0);
        statusLabel.invalidate();
        return;
    }
    serverRunning.store(1);
    signalHistory.serverStarted();
    statusLabel.invalidate();
    // Lamps painted grey while stopped show the running colours now.
    for (const InputControls& input : inputControls) input.lamp.invalidate();
    serverButton.setText(text::jp("サーバ待機を終了する(&S)"));
    statusLabel.setText(text::jp("接続待機中"));
    for (const ui::Control& edit : portEdits) edit.enable(false);
    adapterCombo.enable(false);
}

void CMonitorDlg::stopServer() {
    adapterCombo.enable(true);
    for (const ui::Control& edit : portEdits) edit.enable(true);
    service.stop();
    if constexpr (variant::outputCount > 0) {
        // Outputs are the rows after the inputs.
        constexpr auto outputRows =
            static_cast<std::uint8_t>(((1u << variant::outputCount) - 1) << variant::inputCount);
        signalHistory.change({}, [&] {
            for (auto& output : outputOn) output.store(0);
            return history::RowWrite{outputRows, 0};
        });
        for (const OutputControls& output : outputControls) output.lamp.invalidate();
    }
    serverRunning.store(0);
    signalHistory.serverStopped();
    statusLabel.invalidate();
    // Stopped input lamps are grey whatever their state; a listener repaints
    // them when it ends, but without one nothing else would.
    for (const InputControls& input : inputControls) input.lamp.invalidate();
    showServerStopped();
}

void CMonitorDlg::OnServerButton() {
    if (serverRunning.load() == 0) {
        startServer();
    } else {
        stopServer();
    }
}

// A click flips one output and repaints its lamp at once; the service sends
// the frame with the state of all three without the window waiting.
void CMonitorDlg::toggleDigitalOut(int output) {
    const int port = net::atoiValue(destPortEdit.text());
    if (!net::isValidPort(port)) {
        ShowMessage(text::jp("このポート番号は指定できません"));
        return;
    }
    const auto index = static_cast<std::size_t>(output);
    signalHistory.change({}, [&] {
        const int on = outputOn[index].load() == 0 ? 1 : 0;
        outputOn[index].store(on);
        const int row = variant::inputCount + output;
        return history::RowWrite{static_cast<std::uint8_t>(1u << row),
                                 static_cast<std::uint8_t>(on << row)};
    });
    outputControls[index].lamp.invalidate();

    unsigned bits = 0;
    for (std::size_t k = 0; k < outputOn.size(); ++k) {
        if (outputOn[k].load() != 0) bits |= 1u << k;
    }
    service.sendOutputs(port, static_cast<std::uint8_t>(bits));
}
