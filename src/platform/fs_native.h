// What each platform's file layer gives the part shared by all platforms.
#pragma once

#include <string>

namespace fs::detail {

// The running program's own path as the system reports it, in CP932, and
// whether CP932 names it exactly (else a character was replaced).
struct OwnPath {
    std::string cp932;
    bool exact = false;
};
OwnPath ownModulePath();
// Whether files can be made in the folder by this process.
bool folderIsWritable(const std::string& cp932Folder);
// The folder that holds every program's per-user files; empty if unknown
// or if CP932 cannot name it exactly.
std::string perUserBase();
// Makes the folder, and on Linux its missing parents, for this user only.
void makeFolders(const std::string& cp932Folder);

}  // namespace fs::detail
