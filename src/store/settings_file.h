// The settings file and the last-settings pointer as files: read into a
// plain value, written from one. What a value means for the window is the
// window's business.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/settings_lines.h"

namespace store {

// One line of a settings file as the file gives it, and what it changes.
struct SettingsFileLine {
    std::string text;
    std::vector<SettingChange> changes;
    bool operator==(const SettingsFileLine&) const = default;
};

// Every line of the file, in the file's order. Read whole within the bounds
// of a settings file: nothing when the file cannot be opened, a read fails
// or a bound is passed, so that such a file changes nothing.
std::optional<std::vector<SettingsFileLine>> readSettingsFile(const std::string& path,
                                                              const SettingsKeySet& keys);

// Replaces the file with the snapshot's lines; false when it could not.
bool writeSettingsFile(const std::string& path, const SettingsSnapshot& snapshot);

// The settings file the last save named: the pointer's first line; nothing
// when the pointer is missing, empty or beyond the bounds.
std::optional<std::string> readSettingsPointer(const std::string& pointerPath);
bool writeSettingsPointer(const std::string& pointerPath, const std::string& settingsPath);

// A title or signal name holding this could not be read back as written.
inline bool holdsSettingsKeyMarker(std::string_view text) {
    return text.find(settingsKeyMarker) != std::string_view::npos;
}

}  // namespace store
