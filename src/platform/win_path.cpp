#include "platform/win_path.h"

#include "platform/text.h"

namespace winpath {
namespace {

bool isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Length of the root that a cut never removes.
std::size_t rootLength(std::string_view path) {
    if (path.starts_with("\\\\")) return 2;
    if (path.starts_with("\\")) return 1;
    if (path.size() >= 2 && isAsciiLetter(path[0]) && path[1] == ':') {
        return path.size() >= 3 && path[2] == '\\' ? 3 : 2;
    }
    return 0;
}

}  // namespace

std::string removeFileSpec(std::string_view cp932Path) {
    const std::size_t root = rootLength(cp932Path);
    std::size_t cut = root;
    for (std::size_t i = 0; i < cp932Path.size();) {
        const auto byte = static_cast<unsigned char>(cp932Path[i]);
        if (byte == '\\' && i >= root) cut = i;
        i += text::isLeadByte(byte) && i + 1 < cp932Path.size() ? 2 : 1;
    }
    return std::string(cp932Path.substr(0, cut));
}

}  // namespace winpath
