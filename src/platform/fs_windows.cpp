// Files on Windows: paths are CP932 inside the program and go to the system
// as UTF-16, so folders with Japanese names work on any Windows; exclusive
// use is a share mode of none, and a replacement is a flushed new file moved
// over the old one.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <optional>
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

// The system's name of a CP932 path; nothing when no name is exactly that
// path (a byte that is no character, or a NUL that would end it early).
std::optional<std::wstring> widePath(std::string_view cp932Path) {
    if (cp932Path.empty() || cp932Path.find('\0') != std::string_view::npos) return std::nullopt;
    const std::optional<std::u16string> units = text::cp932ToUtf16Exact(cp932Path);
    if (!units) return std::nullopt;
    return std::wstring(units->begin(), units->end());
}

// No other opener holds the file and this process may write it; the share
// mode of none that every open of the program uses refuses a held file here
// too. A file that is not there yet is free.
bool canBeReplaced(const std::wstring& target) {
    HANDLE handle = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    const bool isFile = GetFileType(handle) == FILE_TYPE_DISK;
    CloseHandle(handle);
    return isFile;
}

std::atomic<unsigned> temporaryCount{0};

// A file of its own beside the target, made for one replacement.
HANDLE createTemporary(const std::wstring& target, std::wstring& name) {
    const std::wstring folder = target.substr(0, target.find_last_of(L"\\/:") + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + L"~" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(temporaryCount.fetch_add(1)) + L".tmp";
        HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return handle;
    }
    return INVALID_HANDLE_VALUE;
}

bool writeAll(HANDLE handle, std::string_view data) {
    while (!data.empty()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 20));
        if (!WriteFile(handle, data.data(), chunk, &written, nullptr) || written == 0) return false;
        data.remove_prefix(written);
    }
    return true;
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

detail::OwnPath detail::ownModulePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            const std::u16string units(buffer.begin(), buffer.begin() + length);
            if (std::optional<std::string> exact = text::utf16ToCp932Exact(units)) {
                return {*exact, true};
            }
            return {text::utf16ToCp932(units), false};
        }
        // The path was cut to the buffer: ask again with more room.
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

bool detail::folderIsWritable(const std::string& cp932Folder) {
    const std::optional<std::wstring> folder = widePath(cp932Folder);
    if (!folder) return false;
    // Rights under Program Files come from access lists that only a try
    // answers: make a file that goes again when its handle closes.
    std::wstring probe = *folder;
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
            const std::u16string units(buffer.begin(), buffer.begin() + length);
            return text::utf16ToCp932Exact(units).value_or(std::string());
        }
        buffer.resize(length);
    }
}

void detail::makeFolders(const std::string& cp932Folder) {
    // %LOCALAPPDATA% itself always exists; only the program's folder is new.
    if (const std::optional<std::wstring> folder = widePath(cp932Folder)) {
        CreateDirectoryW(folder->c_str(), nullptr);
    }
}

std::string removeFileSpec(std::string_view path) {
    return winpath::removeFileSpec(path);
}

std::optional<FileVersion> readFileVersion(std::string_view cp932Path) {
    const std::optional<std::wstring> wide = widePath(cp932Path);
    if (!wide) return std::nullopt;
    const std::wstring& path = *wide;
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
    const std::optional<std::wstring> path = widePath(cp932Path);
    if (!path) return nullptr;
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
        CreateFileW(path->c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
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

bool replaceTextFile(std::string_view cp932Path, std::string_view text) {
    const std::optional<std::wstring> target = widePath(cp932Path);
    if (!target || !canBeReplaced(*target)) return false;
    std::wstring temporary;
    HANDLE fresh = createTemporary(*target, temporary);
    if (fresh == INVALID_HANDLE_VALUE) return false;
    const bool written = writeAll(fresh, detail::withCrLf(text)) && FlushFileBuffers(fresh);
    const bool closed = CloseHandle(fresh) != 0;
    // The move replaces the old file whole or not at all, and returns only
    // once it has reached the disk.
    if (!written || !closed ||
        !MoveFileExW(temporary.c_str(), target->c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace fs
