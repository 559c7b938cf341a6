#include "store/settings_lines.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "platform/text.h"

namespace store {
namespace {

constexpr std::string_view portKeys[settingsPortCount] = {
    "#$PORT=", "#$PORT2=", "#$PORT3=", "#$PORT4="};
constexpr std::string_view destPortKey = "#$SEND=";
constexpr std::string_view loggingKey = "#$LOGGING=";
constexpr std::string_view serverKey = "#$SERVER=";
constexpr std::string_view logFileKey = "#$LOGFILENAME=";
constexpr std::string_view titleKey = "#$TITLEBAR=";

std::string inputKey(int index) {
    return "#$DI" + std::to_string(index + 1) + "=";
}
std::string outputKey(int index) {
    return "#$DO" + std::to_string(index + 1) + "=";
}

// Tests one key against the line as it stands and, on a match, cuts the
// key's length from the line's start; the rest is the value.
class LineCutter {
public:
    explicit LineCutter(std::string_view line) {
        line_.reserve(line.size());
        std::copy_if(line.begin(), line.end(), std::back_inserter(line_),
                     [](char c) { return c != '\r' && c != '\n'; });
    }

    std::optional<std::string> take(std::string_view key) {
        if (line_.find(key) == std::string::npos) return std::nullopt;
        line_.erase(0, key.size());
        return line_;
    }

private:
    std::string line_;
};

std::string signalName(std::string_view value) {
    if (value.size() <= maxSignalNameBytes) return std::string(value);
    return std::string(text::truncateCp932(value, maxSignalNameBytes));
}

void addText(std::vector<SettingChange>& changes, SettingTarget target, int index,
             std::string value) {
    changes.push_back(SettingChange{target, index, std::move(value), false});
}

}  // namespace

std::vector<SettingChange> readSettingsLine(std::string_view line, const SettingsKeySet& keys) {
    std::vector<SettingChange> changes;
    LineCutter cutter(line);
    for (int port = 0; port < settingsPortCount; ++port) {
        if (auto value = cutter.take(portKeys[port])) {
            addText(changes, SettingTarget::PortEdit, port, std::move(*value));
        }
    }
    if (keys.hasDestPort) {
        if (auto value = cutter.take(destPortKey)) {
            addText(changes, SettingTarget::DestPortEdit, 0, std::move(*value));
        }
    }
    for (int input = 0; input < keys.inputCount; ++input) {
        if (auto value = cutter.take(inputKey(input))) {
            addText(changes, SettingTarget::InputName, input, signalName(*value));
        }
    }
    for (int output = 0; output < keys.outputCount; ++output) {
        if (auto value = cutter.take(outputKey(output))) {
            addText(changes, SettingTarget::OutputName, output, signalName(*value));
        }
    }
    if (auto value = cutter.take(loggingKey)) {
        changes.push_back(
            SettingChange{SettingTarget::LoggingCheck, 0, {}, value->starts_with("ON")});
    }
    if (auto value = cutter.take(serverKey); value && value->starts_with("START")) {
        changes.push_back(SettingChange{SettingTarget::ServerStart, 0, {}, true});
    }
    if (auto value = cutter.take(logFileKey)) {
        addText(changes, SettingTarget::LogPath, 0, std::move(*value));
    }
    if (auto value = cutter.take(titleKey)) {
        addText(changes, SettingTarget::TitleText, 0, std::move(*value));
    }
    return changes;
}

std::string settingsFileText(const SettingsSnapshot& snapshot) {
    std::string out;
    auto line = [&out](std::string_view key, std::string_view value) {
        out.append(key).append(value).push_back('\n');
    };
    line(titleKey, snapshot.titleText);
    for (int port = 0; port < settingsPortCount; ++port) line(portKeys[port], snapshot.ports[port]);
    if (snapshot.destPort) line(destPortKey, *snapshot.destPort);
    for (std::size_t i = 0; i < snapshot.inputNames.size(); ++i) {
        line(inputKey(static_cast<int>(i)), snapshot.inputNames[i]);
    }
    for (std::size_t i = 0; i < snapshot.outputNames.size(); ++i) {
        line(outputKey(static_cast<int>(i)), snapshot.outputNames[i]);
    }
    line(loggingKey, snapshot.logging ? "ON" : "OFF");
    line(serverKey, snapshot.serverRunning ? "START" : "STOP");
    line(logFileKey, snapshot.logPath);
    return out;
}

}  // namespace store
