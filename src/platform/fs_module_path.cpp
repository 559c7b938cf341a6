// The module's path, the folder of the program's files, and the stand-in
// path tests may set.
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

std::string dataFolder(std::string_view productName, std::size_t maxBytes) {
    std::string folder = removeFileSpec(modulePath());
    // An installed program's folder belongs to the system. Without a base for
    // the per-user folder the files stay where their opens fail visibly.
    bool perUser = false;
    if (!detail::folderIsWritable(folder)) {
        const std::string base = detail::perUserBase();
        if (!base.empty()) {
            folder = base + pathSeparator + std::string(productName);
            perUser = true;
        }
    }
    if (folder.size() > maxBytes) return std::string();
    if (perUser) detail::makeFolders(folder);
    return folder;
}

}  // namespace fs
