// The module's path and folder, with the stand-in path tests may set.
#include <mutex>
#include <string>
#include <string_view>

#include "platform/fs.h"
#include "platform/fs_native.h"

namespace fs {

namespace {
std::mutex overrideMutex;
std::string overriddenModulePath;
}  // namespace

std::string modulePath() {
    {
        std::lock_guard lock(overrideMutex);
        if (!overriddenModulePath.empty()) return overriddenModulePath;
    }
    return detail::ownModulePath();
}

void overrideModulePathForTesting(std::string_view cp932Path) {
    std::lock_guard lock(overrideMutex);
    overriddenModulePath = cp932Path;
}

std::string moduleFolder(std::size_t maxBytes) {
    std::string folder = removeFileSpec(modulePath());
    // A cut folder would name another place; an empty one makes every joined
    // path fail visibly instead.
    if (folder.size() > maxBytes) return std::string();
    return folder;
}

}  // namespace fs
