// The settings file as bytes: the lines a save writes and what one line read
// back changes. No file or window access here.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace store {

// Every settings key starts with these two bytes, so a title or signal name
// that holds them could not be read back as written.
inline constexpr std::string_view settingsKeyMarker = "#$";
// Signal names read from a file are cut to the byte limit of the name edits.
inline constexpr std::size_t maxSignalNameBytes = 20;
inline constexpr int settingsPortCount = 4;
// What the reader takes from a file at most: far beyond the longest key and
// value that the window's edits can hold (some ten thousand bytes) and the
// longest set-up made of such lines, so that no file, whatever its size,
// can take the program's memory or time. A file beyond them is refused.
inline constexpr std::size_t maxSettingsLineBytes = std::size_t{1} << 20;
inline constexpr std::size_t maxSettingsFileBytes = std::size_t{16} << 20;

// The keys a program knows: the other program's extra keys are ignored.
struct SettingsKeySet {
    int inputCount = 0;
    int outputCount = 0;
    bool hasDestPort = false;
};

enum class SettingTarget {
    PortEdit,  // index: port 0 to 3
    DestPortEdit,
    InputName,     // index: input from 0
    OutputName,    // index: output from 0
    LoggingCheck,  // on: ticked
    ServerStart,   // only ever a request to start; nothing cancels it
    LogPath,
    TitleText,
};

struct SettingChange {
    SettingTarget target = SettingTarget::TitleText;
    int index = 0;
    std::string text;
    bool on = false;
    bool operator==(const SettingChange&) const = default;
};

// What one line of a settings file changes, in the order the keys are tested.
// A key matches anywhere in the line; its value is what is left after as many
// bytes as the key has are removed from the line's start, and later keys are
// tested against that shortened line. CR and LF bytes are dropped first.
std::vector<SettingChange> readSettingsLine(std::string_view line, const SettingsKeySet& keys);

// The set-up a save writes. Without a destination port there is no SEND line.
struct SettingsSnapshot {
    std::string titleText;
    std::array<std::string, settingsPortCount> ports;
    std::optional<std::string> destPort;
    std::vector<std::string> inputNames;
    std::vector<std::string> outputNames;
    bool logging = false;
    bool serverRunning = false;
    std::string logPath;
};

// The whole file, one "\n"-ended line per setting (the text file writes CR LF).
std::string settingsFileText(const SettingsSnapshot& snapshot);

}  // namespace store
