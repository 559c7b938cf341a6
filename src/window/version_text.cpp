#include "window/version_text.h"

#include <cstdio>

std::string formatVersionText(const fs::FileVersion& version) {
    char buffer[64];
    if (version.revision != 0) {
        std::snprintf(buffer, sizeof buffer, "Version %d.%d%d%d", version.major, version.minor,
                      version.build, version.revision);
    } else {
        std::snprintf(buffer, sizeof buffer, "Version %d.%d%d", version.major, version.minor,
                      version.build);
    }
    return buffer;
}

fs::FileVersion programFileVersion() {
    return fs::readFileVersion(fs::modulePath()).value_or(fs::FileVersion{});
}
