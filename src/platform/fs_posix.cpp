// Files on Linux: paths are CP932 inside the program and UTF-8 on the file
// system; exclusive use is a BSD and a POSIX lock, taken before anything is
// changed, and a replacement is a synced new file renamed over the old one.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/fs.h"
#include "platform/fs_native.h"
#include "platform/fs_text_file.h"
#include "platform/text.h"
#include "version.h"

namespace fs {

const char pathSeparator[] = "/";

namespace {

std::string readOwnExecutablePath() {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return std::string();
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

// Descriptors 0 to 2 stay with the standard streams even when the program was
// started with one of them closed.
int moveAboveStandardStreams(int fd) {
    if (fd < 0 || fd > 2) return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

class PosixTextFile final : public detail::BufferedTextFile {
public:
    PosixTextFile(int fd, bool writable) : BufferedTextFile(writable), fd_(fd) {}
    PosixTextFile(const PosixTextFile&) = delete;
    PosixTextFile& operator=(const PosixTextFile&) = delete;
    ~PosixTextFile() override { close(); }

    std::int64_t size() override {
        struct stat status {};
        if (fd_ < 0 || ::fstat(fd_, &status) != 0) return -1;
        return static_cast<std::int64_t>(status.st_size);
    }

    bool truncate(std::int64_t size) override {
        return fd_ >= 0 && size >= 0 && ::ftruncate(fd_, static_cast<off_t>(size)) == 0;
    }

    bool close() override {
        if (fd_ < 0) return !failed();
        // Closing the descriptor also gives up the lock.
        if (::close(fd_) != 0 && errno != EINTR) markFailed();
        fd_ = -1;
        return !failed();
    }

private:
    bool isOpen() const override { return fd_ >= 0; }

    std::optional<std::size_t> readSome(char* buffer, std::size_t capacity) override {
        for (;;) {
            const ssize_t got = ::read(fd_, buffer, capacity);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return std::nullopt;
            return static_cast<std::size_t>(got);
        }
    }

    std::size_t writeSome(std::string_view data) override {
        for (;;) {
            const ssize_t written = ::write(fd_, data.data(), data.size());
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) return 0;
            return static_cast<std::size_t>(written);
        }
    }

    int fd_;
};

// The file system's name of a CP932 path; nothing when no name is exactly
// that path (a byte that is no character, or a NUL that would end it early).
std::optional<std::string> nativePath(std::string_view cp932Path) {
    if (cp932Path.empty() || cp932Path.find('\0') != std::string_view::npos) return std::nullopt;
    return text::cp932ToUtf8Exact(cp932Path);
}

// A descriptor closed on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { close(); }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // False when the close reports that written data did not reach the file.
    bool close() {
        const int fd = std::exchange(fd_, -1);
        return fd < 0 || ::close(fd) == 0 || errno == EINTR;
    }

private:
    int fd_;
};

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// A symbolic link keeps its place: the file it leads to is the one replaced.
std::optional<std::string> fileBehind(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) return std::nullopt;
    std::string resolved(real);
    std::free(real);
    return resolved;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::atomic<unsigned> temporaryCount{0};

// A hidden file of its own beside the target, made for one replacement.
Descriptor createTemporary(const std::string& folder, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + "/.~" + std::to_string(::getpid()) + "-" +
               std::to_string(temporaryCount.fetch_add(1)) + ".tmp";
        const int fd =
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0 || errno != EEXIST) return Descriptor(fd);
    }
    return Descriptor(-1);
}

// The new name reaches the disk with its folder. A file system that cannot
// sync a folder (EINVAL) keeps the rename as it keeps every other.
bool syncFolder(const std::string& folder) {
    Descriptor handle(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return handle.valid() && (::fsync(handle.get()) == 0 || errno == EINVAL);
}

int openFlags(OpenMode mode) {
    // O_TRUNC waits until the lock is held: truncating first would destroy the
    // contents of a file that someone else holds.
    constexpr int common = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    switch (mode) {
        case OpenMode::Read:
            return O_RDONLY | common;
        case OpenMode::Truncate:
            return O_WRONLY | O_CREAT | common;
        case OpenMode::Append:
            return O_WRONLY | O_CREAT | O_APPEND | common;
    }
    return O_RDONLY | common;
}

// Both kinds of advisory lock, so that a program that honours either kind
// stays out. The POSIX lock is one of the open file description, so that
// closing another descriptor of the same file does not drop it.
bool lockWholeFile(int fd, OpenMode mode) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return false;
    struct flock range {};
    range.l_type = mode == OpenMode::Read ? F_RDLCK : F_WRLCK;
    range.l_whence = SEEK_SET;
    return ::fcntl(fd, F_OFD_SETLK, &range) == 0;
}

}  // namespace

detail::OwnPath detail::ownModulePath() {
    const std::string path = readOwnExecutablePath();
    if (std::optional<std::string> exact = text::utf8ToCp932Exact(path)) return {*exact, true};
    return {text::utf8ToCp932(path), false};
}

bool detail::folderIsWritable(const std::string& cp932Folder) {
    const std::optional<std::string> folder = nativePath(cp932Folder);
    struct stat status {};
    return folder && ::stat(folder->c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
           ::faccessat(AT_FDCWD, folder->c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string detail::perUserBase() {
    // A relative XDG_DATA_HOME is to be ignored, as the XDG rules say.
    const auto withoutEndSlashes = [](std::string path) {
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        if (path == "/") return std::string();
        return text::utf8ToCp932Exact(path).value_or(std::string());
    };
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') return withoutEndSlashes(dataHome);
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const passwd* user = ::getpwuid(::geteuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] != '/') return std::string();
    return withoutEndSlashes(home) + "/.local/share";
}

void detail::makeFolders(const std::string& cp932Folder) {
    const std::optional<std::string> named = nativePath(cp932Folder);
    if (!named) return;
    const std::string& folder = *named;
    for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        ::mkdir(folder.substr(0, end).c_str(), 0700);
        if (end == std::string::npos) return;
    }
}

std::string removeFileSpec(std::string_view path) {
    const std::size_t last = path.rfind('/');
    if (last == std::string_view::npos) return std::string();
    if (last == 0) return std::string(pathSeparator);
    return std::string(path.substr(0, last));
}

std::optional<FileVersion> readFileVersion(std::string_view cp932Path) {
    // A Linux executable has no version resource: the running program's own
    // file carries the version it was built with, every other file none.
    if (cp932Path.empty() || cp932Path != modulePath()) return std::nullopt;
    return FileVersion{MONITOR_VERSION_MAJOR, MONITOR_VERSION_MINOR, MONITOR_VERSION_BUILD,
                       MONITOR_VERSION_REVISION};
}

std::unique_ptr<TextFile> TextFile::open(std::string_view cp932Path, OpenMode mode) {
    const std::optional<std::string> path = nativePath(cp932Path);
    if (!path) return nullptr;
    int fd = ::open(path->c_str(), openFlags(mode), 0666);
    fd = moveAboveStandardStreams(fd);
    if (fd < 0) return nullptr;
    auto release = [fd] {
        ::close(fd);
        return nullptr;
    };
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return release();
    if (!lockWholeFile(fd, mode)) return release();
    if (mode == OpenMode::Truncate && ::ftruncate(fd, 0) != 0) return release();
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return release();
    return std::make_unique<PosixTextFile>(fd, mode != OpenMode::Read);
}

bool replaceTextFile(std::string_view cp932Path, std::string_view text) {
    const std::optional<std::string> named = nativePath(cp932Path);
    const std::optional<std::string> target = named ? fileBehind(*named) : std::nullopt;
    if (!target) return false;
    // The file being replaced must be one this process may write and nobody
    // holds; its lock is kept until the new file has its name.
    Descriptor current(::open(target->c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat status {};
    if (current.valid()) {
        if (::fstat(current.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
            !lockWholeFile(current.get(), OpenMode::Truncate)) {
            return false;
        }
    } else if (errno != ENOENT) {
        return false;
    }

    const std::string folder = folderOf(*target);
    std::string temporary;
    Descriptor fresh = createTemporary(folder, temporary);
    if (!fresh.valid()) return false;
    const bool written = writeAll(fresh.get(), detail::withCrLf(text)) &&
                         (!current.valid() || ::fchmod(fresh.get(), status.st_mode & 07777) == 0) &&
                         ::fsync(fresh.get()) == 0;
    if (!fresh.close() || !written || ::rename(temporary.c_str(), target->c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return syncFolder(folder);
}

}  // namespace fs
