// What each platform's file layer gives the part shared by all platforms.
#pragma once

#include <string>

namespace fs::detail {

// The running program's own path as the system reports it, CP932.
std::string ownModulePath();

}  // namespace fs::detail
