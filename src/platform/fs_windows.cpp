// Files on Windows: paths are CP932 inside the program and go to the system
// as UTF-16, so folders with Japanese names work on any Windows; exclusive
// use is a share mode of none.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/fs_native.h"
#include "platform/fs_text_file.h"
#include "platform/text.h"
#include "platform/win_path.h"

namespace fs {

const char pathSeparator[] = "\\";

namespace {

std::wstring widePath(std::string_view cp932Path) {
    const std::u16string units = text::cp932ToUtf16(cp932Path);
    return std::wstring(units.begin(), units.end());
}

class WindowsTextFile final : public detail::BufferedTextFile {
public:
    WindowsTextFile(HANDLE handle, bool writable) : BufferedTextFile(writable), handle_(handle) {}
    WindowsTextFile(const WindowsTextFile&) = delete;
    WindowsTextFile& operator=(const WindowsTextFile&) = delete;
    ~WindowsTextFile() override { close(); }

    std::int64_t size() override {
        LARGE_INTEGER size{};
        if (handle_ == INVALID_HANDLE_VALUE || !GetFileSizeEx(handle_, &size)) return -1;
        return size.QuadPart;
    }

    bool truncate(std::int64_t size) override {
        LARGE_INTEGER end{};
        end.QuadPart = size;
        return handle_ != INVALID_HANDLE_VALUE && size >= 0 &&
               SetFilePointerEx(handle_, end, nullptr, FILE_BEGIN) && SetEndOfFile(handle_);
    }

    bool close() override {
        if (handle_ == INVALID_HANDLE_VALUE) return !failed();
        if (!CloseHandle(handle_)) markFailed();
        handle_ = INVALID_HANDLE_VALUE;
        return !failed();
    }

private:
    bool isOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }

    std::optional<std::size_t> readSome(char* buffer, std::size_t capacity) override {
        DWORD got = 0;
        if (!ReadFile(handle_, buffer, static_cast<DWORD>(capacity), &got, nullptr)) {
            return std::nullopt;
        }
        return got;
    }

    std::size_t writeSome(std::string_view data) override {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 20));
        if (!WriteFile(handle_, data.data(), chunk, &written, nullptr)) return 0;
        return written;
    }

    HANDLE handle_;
};

}  // namespace

std::string detail::ownModulePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::string();
        if (length < buffer.size()) {
            const std::u16string units(buffer.begin(), buffer.begin() + length);
            return text::utf16ToCp932(units);
        }
        // The path was cut to the buffer: ask again with more room.
        if (buffer.size() >= 32768) return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

bool detail::folderIsWritable(const std::string& cp932Folder) {
    if (cp932Folder.empty()) return false;
    // Rights under Program Files come from access lists that only a try
    // answers: make a file that goes again when its handle closes.
    std::wstring probe = widePath(cp932Folder);
    if (probe.back() != L'\\') probe += L'\\';
    probe += L"~write-test-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    HANDLE handle = CreateFileW(
        probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    CloseHandle(handle);
    return true;
}

std::string detail::perUserBase() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer.data(),
                                                     static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::string();
        if (length < buffer.size()) {
            return text::utf16ToCp932(std::u16string(buffer.begin(), buffer.begin() + length));
        }
        buffer.resize(length);
    }
}

void detail::makeFolders(const std::string& cp932Folder) {
    // %LOCALAPPDATA% itself always exists; only the program's folder is new.
    CreateDirectoryW(widePath(cp932Folder).c_str(), nullptr);
}

std::string removeFileSpec(std::string_view path) {
    return winpath::removeFileSpec(path);
}

std::optional<FileVersion> readFileVersion(std::string_view cp932Path) {
    const std::wstring path = widePath(cp932Path);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<unsigned char> info(size + 1);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, info.data())) return std::nullopt;

    void* translations = nullptr;
    UINT translationBytes = 0;
    if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &translations,
                        &translationBytes) ||
        translationBytes == 0) {
        return std::nullopt;
    }
    void* root = nullptr;
    UINT rootBytes = 0;
    if (!VerQueryValueW(info.data(), L"\\", &root, &rootBytes) ||
        rootBytes < sizeof(VS_FIXEDFILEINFO)) {
        return std::nullopt;
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(root);
    return FileVersion{HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                       HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS)};
}

std::unique_ptr<TextFile> TextFile::open(std::string_view cp932Path, OpenMode mode) {
    if (cp932Path.empty()) return nullptr;
    const std::wstring path = widePath(cp932Path);
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    if (mode == OpenMode::Truncate) {
        access = GENERIC_WRITE;
        disposition = CREATE_ALWAYS;
    } else if (mode == OpenMode::Append) {
        access = GENERIC_WRITE;
        disposition = OPEN_ALWAYS;
    }
    // No sharing: while the file is open, every other opener fails.
    HANDLE handle =
        CreateFileW(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    // Device names such as CON or NUL open too, but are no files.
    LARGE_INTEGER end{};
    if (GetFileType(handle) != FILE_TYPE_DISK ||
        (mode == OpenMode::Append && !SetFilePointerEx(handle, end, nullptr, FILE_END))) {
        CloseHandle(handle);
        return nullptr;
    }
    return std::make_unique<WindowsTextFile>(handle, mode != OpenMode::Read);
}

}  // namespace fs
