#include <windows.h>

#include <algorithm>

#include "platform/fs_bytes.h"
#include "platform/text.h"

namespace fs {

namespace {

std::wstring widePath(std::string_view cp932Path) {
    const std::u16string units = text::cp932ToUtf16(cp932Path);
    return std::wstring(units.begin(), units.end());
}

// Device names such as CON or NUL open too, but are no files.
HANDLE openDiskFile(std::string_view cp932Path, DWORD access, DWORD share, DWORD disposition) {
    if (cp932Path.empty()) return INVALID_HANDLE_VALUE;
    HANDLE handle = CreateFileW(widePath(cp932Path).c_str(), access, share, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

std::optional<std::int64_t> fileSize(std::string_view cp932Path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (cp932Path.empty() ||
        !GetFileAttributesExW(widePath(cp932Path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::optional<std::string> readBytes(std::string_view cp932Path, std::int64_t offset,
                                     std::size_t maxBytes) {
    HANDLE handle = openDiskFile(cp932Path, GENERIC_READ, shareAll, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    LARGE_INTEGER position{};
    position.QuadPart = offset;
    std::string bytes(maxBytes, '\0');
    std::size_t got = 0;
    bool ok = SetFilePointerEx(handle, position, nullptr, FILE_BEGIN) != FALSE;
    while (ok && got < maxBytes) {
        DWORD n = 0;
        const auto want = static_cast<DWORD>(std::min<std::size_t>(maxBytes - got, 1u << 20));
        ok = ReadFile(handle, bytes.data() + got, want, &n, nullptr) != FALSE;
        if (!ok || n == 0) break;
        got += n;
    }
    CloseHandle(handle);
    if (!ok) return std::nullopt;
    bytes.resize(got);
    return bytes;
}

bool writeBytes(std::string_view cp932Path, std::string_view bytes) {
    // No sharing: while the file is written, every other opener fails.
    HANDLE handle = openDiskFile(cp932Path, GENERIC_WRITE, 0, CREATE_ALWAYS);
    if (handle == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    std::size_t written = 0;
    while (ok && written < bytes.size()) {
        DWORD n = 0;
        const auto want =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 20));
        ok = WriteFile(handle, bytes.data() + written, want, &n, nullptr) != FALSE && n > 0;
        written += n;
    }
    if (!CloseHandle(handle)) ok = false;
    return ok;
}

}  // namespace fs
