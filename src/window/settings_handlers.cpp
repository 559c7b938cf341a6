// The set-up between the window and the settings file: what a save takes
// from the controls, what a file read gives them, and the last settings
// restored at start-up.
#include <optional>
#include <string>

#include "platform/text.h"
#include "store/file_choice.h"
#include "store/program_keys.h"
#include "store/settings_file.h"
#include "window/monitor_dlg.h"

namespace {

std::string titleMarkerMessage() {
    if constexpr (variant::product == variant::Product::Kelvane) {
        return text::jp("タイトルバーに #$ が含まれていると保存できません");
    } else {
        return text::jp("タイトルバーに特殊な文字が含まれていると保存できません");
    }
}

std::string nameMarkerMessage() {
    if constexpr (variant::product == variant::Product::Kelvane) {
        return text::jp("信号名に #$ が含まれていると保存できません");
    } else {
        return text::jp("信号名に特殊な文字が含まれていると保存できません");
    }
}

ui::FileDialogRequest settingsDialogRequest(bool save, const std::string& initialPath) {
    ui::FileDialogRequest request;
    request.save = save;
    request.defaultExtension = variant::settingsExtension;
    request.initialPath = initialPath;
    request.filter = store::settingsFileFilter();
    request.overwritePrompt = true;
    request.hideReadOnly = true;
    return request;
}

std::string saveFailedMessage(const std::string& path) {
    return text::jp("設定ファイルを保存できませんでした。\r\n") + path;
}

std::string pointerFailedMessage(const std::string& path) {
    return text::jp("次回の起動で読み込む設定ファイルの名前を保存できませんでした。\r\n") + path;
}

}  // namespace

void CMonitorDlg::OnSaveSettings() {
    if (store::holdsSettingsKeyMarker(titleText)) {
        ShowMessage(titleMarkerMessage());
        return;
    }
    store::SettingsSnapshot snapshot;
    for (const auto& input : inputControls) {
        snapshot.inputNames.push_back(input.nameEdit.text());
        if (store::holdsSettingsKeyMarker(snapshot.inputNames.back())) {
            ShowMessage(nameMarkerMessage());
            return;
        }
    }
    for (const auto& output : outputControls) {
        snapshot.outputNames.push_back(output.nameEdit.text());
        if (store::holdsSettingsKeyMarker(snapshot.outputNames.back())) {
            ShowMessage(nameMarkerMessage());
            return;
        }
    }

    auto chosen = store::chooseFile(*this, settingsDialogRequest(true, settingsPath));
    if (!chosen) return;
    // The path chosen stays the dialogs' start even when the save fails, so
    // that it can be tried again at once.
    settingsPath = *chosen;

    snapshot.titleText = titleText;
    for (int k = 0; k < portSlotCount; ++k) snapshot.ports[k] = portEdits[k].text();
    if constexpr (store::programHasDestPort) snapshot.destPort = destPortEdit.text();
    snapshot.logging = loggingCheck.isChecked();
    snapshot.serverRunning = serverRunning.load() != 0;
    snapshot.logPath = eventLog.path();

    // The pointer moves only to a file that holds the set-up: after a failed
    // save it still names the file it named, and the next start loads that.
    if (!store::writeSettingsFile(settingsPath, snapshot)) {
        ShowMessage(saveFailedMessage(settingsPath));
        return;
    }
    // Without a folder of its own the program keeps no pointer; start-up has
    // said so already.
    if (!iniPath.empty() && !store::writeSettingsPointer(iniPath, settingsPath)) {
        ShowMessage(pointerFailedMessage(iniPath));
    }
}

void CMonitorDlg::OnLoadSettings() {
    auto chosen = store::chooseFile(*this, settingsDialogRequest(false, settingsPath));
    if (!chosen) return;
    settingsPath = *chosen;
    if (serverRunning.load() != 0) OnServerButton();
    initDone.store(0);
    if (ReadSettingsFile(settingsPath) == 1) OnServerButton();
    initDone.store(1);
}

int CMonitorDlg::ReadSettingsFile(std::string path) {
    // Read whole before anything changes: a file that cannot be read to its
    // end within the bounds changes nothing, like one that cannot be opened.
    const auto lines = store::readSettingsFile(path, store::programSettingsKeys);
    if (!lines) {
        net::traceLine(*this, "%s", text::jp("cfgファイルが無かったからデフォルト\r\n").c_str());
        return 0;
    }
    net::traceLine(*this, "%s", text::jp("cfgファイルが見つかったから処理する\r\n").c_str());
    net::traceLine(*this, "----------\r\n");

    int result = 0;
    for (const store::SettingsFileLine& line : *lines) {
        net::traceLine(*this, "%s", line.text.c_str());
        net::traceLine(*this, "\r\n");
        for (const store::SettingChange& change : line.changes) {
            using T = store::SettingTarget;
            switch (change.target) {
                case T::PortEdit:
                    portEdits[change.index].setText(change.text);
                    break;
                case T::DestPortEdit:
                    destPortEdit.setText(change.text);
                    break;
                case T::InputName:
                    inputControls[change.index].nameEdit.setText(change.text);
                    break;
                case T::OutputName:
                    if constexpr (variant::outputCount > 0) {
                        outputControls[change.index].nameEdit.setText(change.text);
                    }
                    break;
                case T::LoggingCheck:
                    loggingCheck.setChecked(change.on);
                    eventLog.setLogging(change.on);
                    break;
                case T::ServerStart:
                    result = 1;
                    break;
                case T::LogPath:
                    eventLog.setPath(change.text);
                    break;
                case T::TitleText:
                    titleText = change.text;
                    break;
            }
        }
    }

    SetTitle(titleText);
    logFileEdit.setText(eventLog.path());
    net::traceLine(*this, "----------\r\n");
    return result;
}

void CMonitorDlg::restoreLastSettings() {
    const std::optional<std::string> pointer = store::readSettingsPointer(iniPath);
    if (!pointer) return;
    settingsPath = *pointer;
    if (ReadSettingsFile(settingsPath) != 0) OnServerButton();
}
