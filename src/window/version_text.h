// The version text of the main window, from the program's file version.
#pragma once

#include <string>

#include "platform/fs.h"

// The four numbers written after one another: 1.0.3.0 gives "Version 1.03",
// 1.2.3.4 gives "Version 1.234"; the revision only when it is not 0.
std::string formatVersionText(const fs::FileVersion& version);

// The running program's file version; 0.0.0.0 when it has no readable
// version information.
fs::FileVersion programFileVersion();
