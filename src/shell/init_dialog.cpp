// The main window's start-up: every control and member to its start state,
// the adapter list, the default paths, and the last settings restored.
#include <cstdio>

#include "platform/text.h"
#include "window/monitor_dlg.h"

namespace {
constexpr int signalNameLimit = 20;
constexpr int noAdapterEndCode = -1;

std::string numbered(const char* prefix, int number) {
    return prefix + std::to_string(number);
}
}  // namespace

bool CMonitorDlg::OnInitDialog() {
    SetIcon(appIcon, true);
    SetIcon(appIcon, false);
    versionLabel.setText(versionText);

    EnumerateAdapters();
    if (adapterCount == 0) {
        ShowMessage(text::jp("ネットワークデバイスが見つかりませんでした。"));
        EndDialog(noAdapterEndCode);
        return false;
    }
    applyAdapterList();

    serverButton.setText(text::jp("サーバ待機を開始する(&S)"));
    statusLabel.setText(text::jp("停止中"));
    net::traceLine(
        *this, "%s",
        text::jp("ここの部分は開発中のみ表示してるがリリースの時には枠ごと消す\r\n").c_str());
    initDone.store(0);
    eventLog.forgetNameEdits();
    serverRunning.store(0);

    statusFont.createPointFont(180, "ＭＳ ゴシック");
    statusLabel.setFont(statusFont);
    redBrush.createSolid(ui::rgb(255, 0, 0));
    blackBrush.createSolid(ui::rgb(0, 0, 0));
    greyBrush.createSolid(ui::rgb(127, 127, 127));

    setDefaultTexts();

    titleText = variant::productName;
    if (exeFolder.empty()) {
        // Joined to an empty folder the default files would lie at the root
        // of the file system: they stay unnamed, and the user is told why.
        ShowMessage(
            text::jp("設定とログを置くフォルダのパスが255バイトを超えるため、"
                     "既定のファイルを使えません。"));
    } else {
        const std::string folderPrefix = exeFolder + fs::pathSeparator + variant::productName;
        eventLog.setPath(folderPrefix + ".csv");
        iniPath = folderPrefix + ".ini";
        settingsPath = folderPrefix + "." + variant::settingsExtension;
    }
    logFileEdit.setText(eventLog.path());

    restoreLastSettings();
    net::traceLine(*this, "cfg : %s\r\n", settingsPath.c_str());
    initDone.store(1);
    traceEdit.show(false);
    return true;
}

void CMonitorDlg::applyAdapterList() {
    for (int i = 0; i < adapterCount; ++i) {
        const AdapterEntry& row = adapters[i];
        adapterCombo.addString(sock::inetNtoa(row.address) + " (" + row.friendlyName + ")");
    }
    adapterCombo.setCurSel(0);
    if constexpr (variant::product == variant::Product::Kelvane) OnAdapterSelected();
}

void CMonitorDlg::setDefaultTexts() {
    for (int i = 0; i < variant::inputCount; ++i) {
        inputOn[i].store(0);
        inputControls[i].nameEdit.setText(numbered("DI", i + 1));
        inputControls[i].nameEdit.limitText(signalNameLimit);
    }
    for (int i = 0; i < variant::outputCount; ++i) {
        outputOn[i].store(0);
        outputControls[i].nameEdit.setText(numbered("DO", i + 1));
        outputControls[i].nameEdit.limitText(signalNameLimit);
        outputControls[i].button.enable(false);
    }
    portEdit1.setText("10003");
    if constexpr (variant::product == variant::Product::Kelvane) destPortEdit.setText("10003");
    for (const ui::Control& label : peerLabels) label.setText("");
}
