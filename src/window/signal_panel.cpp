// The lamps' and the status text's colours, and the notice of edited names.
#include "store/csv_lines.h"
#include "window/monitor_dlg.h"

namespace {
constexpr ui::Color white = ui::rgb(255, 255, 255);
}

const ui::Brush* CMonitorDlg::OnCtlColor(ui::CtlColorRequest& request) {
    const ui::Brush* result = ui::Dialog::OnCtlColor(request);
    if (request.kind != ui::CtlKind::Static) return result;

    const bool running = serverRunning.load() != 0;
    for (int i = 0; i < variant::inputCount; ++i) {
        if (request.controlId == inputControls[i].lamp.id()) {
            if (!running) {
                result = &greyBrush;
            } else {
                result = inputOn[i].load() != 0 ? &redBrush : &blackBrush;
            }
        }
    }
    for (int i = 0; i < variant::outputCount; ++i) {
        if (request.controlId == outputControls[i].lamp.id()) {
            result = outputOn[i].load() != 0 ? &redBrush : &blackBrush;
        }
    }
    if (request.controlId == statusLabel.id()) {
        const ui::Brush& face = running ? redBrush : greyBrush;
        request.textBackground = face.color();
        request.textColor = white;
        return &face;
    }
    return result;
}

void CMonitorDlg::OnSignalNameChanged() {
    std::vector<std::string> inputs;
    for (const auto& input : inputControls) inputs.push_back(input.nameEdit.text());
    std::vector<std::string> outputs;
    for (const auto& output : outputControls) outputs.push_back(output.nameEdit.text());
    eventLog.setSignalNames(inputs, outputs, initDone.load() != 0);
}
