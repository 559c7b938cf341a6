// Rules of Windows paths held as CP932 bytes, apart from the Win32 calls so
// that every platform can test them. A path is scanned by characters, never
// by bytes: the second byte of a double-byte character may be 0x5C, the
// backslash, as in the folder name "表".
#pragma once

#include <string>
#include <string_view>

namespace winpath {

// The folder of a path by the shell's remove-file-spec rule: the last
// component and the backslash before it go, except where that backslash
// belongs to a root ("C:\", "\", the "\\" of a UNC name), which stays.
std::string removeFileSpec(std::string_view cp932Path);

}  // namespace winpath
