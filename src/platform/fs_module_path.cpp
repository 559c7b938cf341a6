// The module's path, the folder of the program's files, and the stand-in
// path tests may set.
#include <mutex>
#include <string>
#include <string_view>

#include "platform/fs.h"
#include "platform/fs_native.h"
#include "platform/text.h"

namespace fs {

namespace {
std::mutex overrideMutex;
std::string overriddenModulePath;

detail::OwnPath currentModulePath() {
    {
        std::lock_guard lock(overrideMutex);
        if (!overriddenModulePath.empty()) return {overriddenModulePath, true};
    }
    return detail::ownModulePath();
}

}  // namespace

std::string modulePath() {
    return currentModulePath().cp932;
}

void overrideModulePathForTesting(std::string_view cp932Path) {
    std::lock_guard lock(overrideMutex);
    overriddenModulePath = cp932Path;
}

std::string dataFolder(std::string_view productName, std::size_t maxBytes) {
    // A folder that CP932 cannot name is no folder the program can use: a
    // replaced character would name another place.
    const detail::OwnPath own = currentModulePath();
    std::string folder = own.exact ? removeFileSpec(own.cp932) : std::string();
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
    if (folder.size() > maxBytes || !text::cp932ToUtf8Exact(folder)) return std::string();
    if (perUser) detail::makeFolders(folder);
    return folder;
}

}  // namespace fs
