// Any bytes as one settings line, read with either program's keys: the
// reader must not crash, and what it returns must stay within its promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "store/settings_lines.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

void checkChange(const store::SettingChange& change, std::string_view line,
                 const store::SettingsKeySet& keys) {
    using T = store::SettingTarget;
    require(change.text.size() <= line.size());
    require(change.text.find_first_of("\r\n") == std::string::npos);
    switch (change.target) {
        case T::PortEdit:
            require(change.index >= 0 && change.index < 4);
            break;
        case T::DestPortEdit:
            require(keys.hasDestPort);
            break;
        case T::InputName:
            require(change.index >= 0 && change.index < keys.inputCount);
            require(change.text.size() <= store::maxSignalNameBytes);
            break;
        case T::OutputName:
            require(change.index >= 0 && change.index < keys.outputCount);
            require(change.text.size() <= store::maxSignalNameBytes);
            break;
        case T::LoggingCheck:
        case T::ServerStart:
            require(change.text.empty());
            break;
        case T::LogPath:
        case T::TitleText:
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr store::SettingsKeySet kelvaneKeys{3, 3, true};
    constexpr store::SettingsKeySet sorrelKeys{5, 0, false};
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    for (const auto& keys : {kelvaneKeys, sorrelKeys}) {
        const auto changes = store::readSettingsLine(line, keys);
        require(changes.size() <= 16);
        for (const auto& change : changes) checkChange(change, line, keys);
    }
    return 0;
}
