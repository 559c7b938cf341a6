// The settings keys and the dialog texts of the program being built.
#pragma once

#include <string>

#include "store/settings_lines.h"
#include "variant_constants.h"

namespace store {

inline constexpr bool programHasDestPort = variant::product == variant::Product::Kelvane;

inline constexpr SettingsKeySet programSettingsKeys{variant::inputCount, variant::outputCount,
                                                    programHasDestPort};

// "kvx file (*.kvx)|*.kvx|all files(*.*)|*.*||" and the same for srx.
inline std::string settingsFileFilter() {
    const std::string extension = variant::settingsExtension;
    return extension + " file (*." + extension + ")|*." + extension + "|all files(*.*)|*.*||";
}

}  // namespace store
