// Saving and loading the set-up through the settings file, the reader that
// applies a file to the window, and the last-settings pointer.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "store/file_choice.h"
#include "store/program_keys.h"
#include "store/settings_lines.h"
#include "window/monitor_dlg.h"

namespace {

bool containsMarker(std::string_view text) {
    return text.find(store::settingsKeyMarker) != std::string_view::npos;
}

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

// The whole file, line by line, within the bounds of a settings file;
// nothing when it cannot be opened, a read fails or a bound is passed.
std::optional<std::vector<std::string>> readBoundedLines(const std::string& path) {
    auto file = fs::TextFile::open(path, fs::OpenMode::Read);
    if (!file || file->size() > static_cast<std::int64_t>(store::maxSettingsFileBytes)) {
        return std::nullopt;
    }
    std::vector<std::string> lines;
    std::size_t bytes = 0;
    while (auto line = file->readLine(store::maxSettingsLineBytes)) {
        // A file that grows while it is read is bounded all the same.
        bytes += line->size() + 1;
        if (bytes > store::maxSettingsFileBytes) return std::nullopt;
        lines.push_back(std::move(*line));
    }
    if (!file->close()) return std::nullopt;
    return lines;
}

std::string saveFailedMessage(const std::string& path) {
    return text::jp("設定ファイルを保存できませんでした。\r\n") + path;
}

std::string pointerFailedMessage(const std::string& path) {
    return text::jp("次回の起動で読み込む設定ファイルの名前を保存できませんでした。\r\n") + path;
}

}  // namespace

void CMonitorDlg::OnSaveSettings() {
    if (containsMarker(titleText)) {
        ShowMessage(titleMarkerMessage());
        return;
    }
    store::SettingsSnapshot snapshot;
    for (const auto& input : inputControls) {
        snapshot.inputNames.push_back(input.nameEdit.text());
        if (containsMarker(snapshot.inputNames.back())) {
            ShowMessage(nameMarkerMessage());
            return;
        }
    }
    for (const auto& output : outputControls) {
        snapshot.outputNames.push_back(output.nameEdit.text());
        if (containsMarker(snapshot.outputNames.back())) {
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
    if (!fs::replaceTextFile(settingsPath, store::settingsFileText(snapshot))) {
        ShowMessage(saveFailedMessage(settingsPath));
        return;
    }
    // Without a folder of its own the program keeps no pointer; start-up has
    // said so already.
    if (!iniPath.empty() && !fs::replaceTextFile(iniPath, settingsPath)) {
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
    const std::optional<std::vector<std::string>> lines = readBoundedLines(path);
    if (!lines) {
        traceLine(this, "%s", text::jp("cfgファイルが無かったからデフォルト\r\n").c_str());
        return 0;
    }
    traceLine(this, "%s", text::jp("cfgファイルが見つかったから処理する\r\n").c_str());
    traceLine(this, "----------\r\n");

    int result = 0;
    for (const std::string& line : *lines) {
        traceLine(this, "%s", line.c_str());
        traceLine(this, "\r\n");
        for (auto& change : store::readSettingsLine(line, store::programSettingsKeys)) {
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
                    eventLog.setPath(std::move(change.text));
                    break;
                case T::TitleText:
                    titleText = std::move(change.text);
                    break;
            }
        }
    }

    SetTitle(titleText);
    logFileEdit.setText(eventLog.path());
    traceLine(this, "----------\r\n");
    return result;
}

void CMonitorDlg::restoreLastSettings() {
    // Closed before the settings file is read, so that a pointer that names
    // itself is not held open against its own reading.
    const std::optional<std::vector<std::string>> pointer = readBoundedLines(iniPath);
    if (!pointer || pointer->empty()) return;
    settingsPath = pointer->front();
    if (ReadSettingsFile(settingsPath) != 0) OnServerButton();
}
