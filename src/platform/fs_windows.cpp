// Files on Windows: paths are CP932 inside the program and go to the system
// as UTF-16, so folders with Japanese names work on any Windows; exclusive
// use is a share mode of none.
#include <windows.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/text.h"
#include "platform/win_path.h"

namespace fs {

const char pathSeparator[] = "\\";

namespace {

std::mutex overrideMutex;
std::string overriddenModulePath;

std::wstring widePath(std::string_view cp932Path) {
    const std::u16string units = text::cp932ToUtf16(cp932Path);
    return std::wstring(units.begin(), units.end());
}

std::string ownModulePath() {
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

class WindowsTextFile final : public TextFile {
public:
    WindowsTextFile(HANDLE handle, bool writable) : handle_(handle), writable_(writable) {}
    WindowsTextFile(const WindowsTextFile&) = delete;
    WindowsTextFile& operator=(const WindowsTextFile&) = delete;
    ~WindowsTextFile() override { close(); }

    std::optional<std::string> readLine() override {
        if (handle_ == INVALID_HANDLE_VALUE || writable_) {
            failed_ = true;
            return std::nullopt;
        }
        std::string line;
        bool any = false;
        for (;;) {
            if (readPos_ == readEnd_ && !fill()) break;
            any = true;
            const char c = buffer_[readPos_++];
            if (c == '\n') {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                return line;
            }
            line.push_back(c);
        }
        if (!any) return std::nullopt;
        return line;
    }

    bool write(std::string_view text) override {
        if (handle_ == INVALID_HANDLE_VALUE || !writable_) {
            failed_ = true;
            return false;
        }
        std::string translated;
        translated.reserve(text.size() + text.size() / 16 + 2);
        for (const char c : text) {
            if (c == '\n') translated.push_back('\r');
            translated.push_back(c);
        }
        std::string_view rest = translated;
        while (!rest.empty()) {
            DWORD written = 0;
            const auto chunk = static_cast<DWORD>(std::min<std::size_t>(rest.size(), 1u << 20));
            if (!WriteFile(handle_, rest.data(), chunk, &written, nullptr) || written == 0) {
                failed_ = true;
                return false;
            }
            rest.remove_prefix(written);
        }
        return true;
    }

    std::int64_t size() override {
        LARGE_INTEGER size{};
        if (handle_ == INVALID_HANDLE_VALUE || !GetFileSizeEx(handle_, &size)) return -1;
        return size.QuadPart;
    }

    bool failed() const override { return failed_; }

    bool close() override {
        if (handle_ == INVALID_HANDLE_VALUE) return !failed_;
        if (!CloseHandle(handle_)) failed_ = true;
        handle_ = INVALID_HANDLE_VALUE;
        return !failed_;
    }

private:
    bool fill() {
        DWORD got = 0;
        if (!ReadFile(handle_, buffer_, sizeof buffer_, &got, nullptr)) {
            failed_ = true;
            return false;
        }
        if (got == 0) return false;
        readPos_ = 0;
        readEnd_ = got;
        return true;
    }

    HANDLE handle_;
    bool writable_;
    bool failed_ = false;
    char buffer_[4096];
    std::size_t readPos_ = 0;
    std::size_t readEnd_ = 0;
};

}  // namespace

std::string modulePath() {
    {
        std::lock_guard lock(overrideMutex);
        if (!overriddenModulePath.empty()) return overriddenModulePath;
    }
    return ownModulePath();
}

void overrideModulePathForTesting(std::string_view cp932Path) {
    std::lock_guard lock(overrideMutex);
    overriddenModulePath = cp932Path;
}

std::string removeFileSpec(std::string_view path) {
    return winpath::removeFileSpec(path);
}

std::string moduleFolder(std::size_t maxBytes) {
    std::string folder = removeFileSpec(modulePath());
    // A cut folder would name another place; an empty one makes every joined
    // path fail visibly instead.
    if (folder.size() > maxBytes) return std::string();
    return folder;
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
