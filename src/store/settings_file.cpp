#include "store/settings_file.h"

#include <cstdint>

#include "platform/fs.h"

namespace store {

namespace {

// The whole file, line by line, within the bounds of a settings file.
std::optional<std::vector<std::string>> readBoundedLines(const std::string& path) {
    auto file = fs::TextFile::open(path, fs::OpenMode::Read);
    if (!file || file->size() > static_cast<std::int64_t>(maxSettingsFileBytes)) {
        return std::nullopt;
    }
    std::vector<std::string> lines;
    std::size_t bytes = 0;
    while (auto line = file->readLine(maxSettingsLineBytes)) {
        // A file that grows while it is read is bounded all the same.
        bytes += line->size() + 1;
        if (bytes > maxSettingsFileBytes) return std::nullopt;
        lines.push_back(std::move(*line));
    }
    if (!file->close()) return std::nullopt;
    return lines;
}

}  // namespace

std::optional<std::vector<SettingsFileLine>> readSettingsFile(const std::string& path,
                                                              const SettingsKeySet& keys) {
    auto lines = readBoundedLines(path);
    if (!lines) return std::nullopt;
    std::vector<SettingsFileLine> read;
    for (std::string& line : *lines) {
        auto changes = readSettingsLine(line, keys);
        read.push_back({std::move(line), std::move(changes)});
    }
    return read;
}

bool writeSettingsFile(const std::string& path, const SettingsSnapshot& snapshot) {
    return fs::replaceTextFile(path, settingsFileText(snapshot));
}

std::optional<std::string> readSettingsPointer(const std::string& pointerPath) {
    // Closed before the settings file is read, so that a pointer that names
    // itself is not held open against its own reading.
    const auto lines = readBoundedLines(pointerPath);
    if (!lines || lines->empty()) return std::nullopt;
    return lines->front();
}

bool writeSettingsPointer(const std::string& pointerPath, const std::string& settingsPath) {
    return fs::replaceTextFile(pointerPath, settingsPath);
}

}  // namespace store
