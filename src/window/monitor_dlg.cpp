// Construction of the main window: control binding tables, program folder
// and version text, and the routing of control notifications to handlers.
#include "window/monitor_dlg.h"

#include "platform/wall_clock.h"
#include "window/history_dlg.h"
#include "window/version_text.h"

CMonitorDlg::CMonitorDlg()
    : ui::Dialog(variant::mainDialogLayout()),
      outputNameEdit3(this, ids::outputNameEdit3),
      outputNameEdit2(this, ids::outputNameEdit2),
      outputNameEdit1(this, ids::outputNameEdit1),
      outputLamp3(this, ids::outputLamp1 + 2),
      outputLamp2(this, ids::outputLamp1 + 1),
      outputLamp1(this, ids::outputLamp1),
      outputButton3(this, ids::outputButton3),
      outputButton2(this, ids::outputButton2),
      outputButton1(this, ids::outputButton1),
      destPortEdit(this, ids::destPortEdit),
      adapterCombo(this, ids::adapterCombo),
      serverButton(this, ids::serverButton),
      traceEdit(this, ids::traceEdit),
      statusLabel(this, ids::statusLabel),
      versionLabel(this, ids::versionLabel),
      logFileEdit(this, ids::logFileEdit),
      loggingCheck(this, ids::loggingCheck),
      inputLamp5(this, ids::inputLamp1 + 4),
      inputLamp4(this, ids::inputLamp1 + 3),
      inputLamp3(this, ids::inputLamp1 + 2),
      inputLamp2(this, ids::inputLamp1 + 1),
      inputLamp1(this, ids::inputLamp1),
      inputNameEdit5(this, ids::inputNameEdit1 + 4),
      inputNameEdit4(this, ids::inputNameEdit1 + 3),
      inputNameEdit3(this, ids::inputNameEdit1 + 2),
      inputNameEdit2(this, ids::inputNameEdit1 + 1),
      inputNameEdit1(this, ids::inputNameEdit1),
      peerLabel4(this, ids::peerLabel4),
      peerLabel3(this, ids::peerLabel3),
      peerLabel2(this, ids::peerLabel2),
      peerLabel1(this, ids::peerLabel1),
      portEdit4(this, ids::portEdit4),
      portEdit3(this, ids::portEdit3),
      portEdit2(this, ids::portEdit2),
      portEdit1(this, ids::portEdit1),
      signalHistory({variant::inputCount, variant::outputCount}, wallclock::localNowMs),
      service(*this),
      eventLog(
          [this](std::function<void()> body) { return StartWorkerLetGoAtClose(std::move(body)); },
          [this](std::function<void()> work) { PostToWindowThread(std::move(work)); }, *this) {
    appIcon = ids::appIcon;

    const ui::Control inputNames[] = {inputNameEdit1, inputNameEdit2, inputNameEdit3,
                                      inputNameEdit4, inputNameEdit5};
    const ui::Control inputLamps[] = {inputLamp1, inputLamp2, inputLamp3, inputLamp4, inputLamp5};
    for (int i = 0; i < variant::inputCount; ++i) {
        inputControls[i] = {inputNames[i], inputLamps[i]};
    }
    const OutputControls outputs[] = {{outputNameEdit1, outputLamp1, outputButton1},
                                      {outputNameEdit2, outputLamp2, outputButton2},
                                      {outputNameEdit3, outputLamp3, outputButton3}};
    for (int i = 0; i < variant::outputCount; ++i) outputControls[i] = outputs[i];

    const ui::Control labels[] = {peerLabel1, peerLabel2, peerLabel3, peerLabel4};
    const ui::Control edits[] = {portEdit1, portEdit2, portEdit3, portEdit4};
    for (int k = 0; k < portSlotCount; ++k) {
        peerLabels[k] = labels[k];
        portEdits[k] = edits[k];
    }

    exeFolder = fs::dataFolder(variant::productName);
    eventLog.setProgramFolder(exeFolder);
    fileVersion = programFileVersion();
    versionText = formatVersionText(fileVersion);
}

CMonitorDlg::~CMonitorDlg() = default;

bool CMonitorDlg::OnCommand(ui::Notification notification, int controlId) {
    using N = ui::Notification;
    using D = CMonitorDlg;
    static constexpr Route<D> common[] = {
        {N::Clicked, ids::serverButton, &D::OnServerButton},
        {N::Clicked, ids::loadSettingsButton, &D::OnLoadSettings},
        {N::Clicked, ids::saveSettingsButton, &D::OnSaveSettings},
        {N::Clicked, ids::titleBarButton, &D::OnChangeTitleBar},
        {N::Clicked, ids::browseLogButton, &D::OnBrowseLogFile},
        {N::Clicked, ids::loggingCheck, &D::OnLoggingClicked},
        {N::SelChange, ids::adapterCombo, &D::OnAdapterSelected},
        {N::Clicked, ids::historyButton, &D::OnSignalHistory},
    };
    static constexpr Route<D> kelvane[] = {
        {N::Changed, ids::outputNameEdit1, &D::OnSignalNameChanged},
        {N::Changed, ids::outputNameEdit2, &D::OnSignalNameChanged},
        {N::Changed, ids::outputNameEdit3, &D::OnSignalNameChanged},
        {N::Clicked, ids::outputButton1, &D::OnOutputButton1},
        {N::Clicked, ids::outputButton2, &D::OnOutputButton2},
        {N::Clicked, ids::outputButton3, &D::OnOutputButton3},
    };
    if (dispatch<D>(this, common, notification, controlId)) return true;
    if constexpr (variant::product == variant::Product::Kelvane) {
        if (dispatch<D>(this, kelvane, notification, controlId)) return true;
    }
    const int firstName = ids::inputNameEdit1;
    if (notification == N::Changed && controlId >= firstName &&
        controlId < firstName + variant::inputCount) {
        OnSignalNameChanged();
        return true;
    }
    return ui::Dialog::OnCommand(notification, controlId);
}
