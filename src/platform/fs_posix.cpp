// Files on Linux: paths are CP932 inside the program and UTF-8 on the file
// system; exclusive use is an flock taken before anything is changed.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/text.h"
#include "version.h"

namespace fs {

const char pathSeparator[] = "/";

namespace {

std::mutex overrideMutex;
std::string overriddenModulePath;

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

class PosixTextFile final : public TextFile {
public:
    PosixTextFile(int fd, bool writable) : fd_(fd), writable_(writable) {}
    PosixTextFile(const PosixTextFile&) = delete;
    PosixTextFile& operator=(const PosixTextFile&) = delete;
    ~PosixTextFile() override { close(); }

    std::optional<std::string> readLine() override {
        if (fd_ < 0 || writable_) {
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
        if (fd_ < 0 || !writable_) {
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
            const ssize_t written = ::write(fd_, rest.data(), rest.size());
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) {
                failed_ = true;
                return false;
            }
            rest.remove_prefix(static_cast<std::size_t>(written));
        }
        return true;
    }

    std::int64_t size() override {
        struct stat status {};
        if (fd_ < 0 || ::fstat(fd_, &status) != 0) return -1;
        return static_cast<std::int64_t>(status.st_size);
    }

    bool failed() const override { return failed_; }

    bool close() override {
        if (fd_ < 0) return !failed_;
        // Closing the descriptor also gives up the lock.
        if (::close(fd_) != 0 && errno != EINTR) failed_ = true;
        fd_ = -1;
        return !failed_;
    }

private:
    bool fill() {
        for (;;) {
            const ssize_t got = ::read(fd_, buffer_, sizeof buffer_);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) failed_ = true;
            if (got <= 0) return false;
            readPos_ = 0;
            readEnd_ = static_cast<std::size_t>(got);
            return true;
        }
    }

    int fd_;
    bool writable_;
    bool failed_ = false;
    char buffer_[4096];
    std::size_t readPos_ = 0;
    std::size_t readEnd_ = 0;
};

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

}  // namespace

std::string modulePath() {
    {
        std::lock_guard lock(overrideMutex);
        if (!overriddenModulePath.empty()) return overriddenModulePath;
    }
    return text::utf8ToCp932(readOwnExecutablePath());
}

void overrideModulePathForTesting(std::string_view cp932Path) {
    std::lock_guard lock(overrideMutex);
    overriddenModulePath = cp932Path;
}

std::string removeFileSpec(std::string_view path) {
    const std::size_t last = path.rfind('/');
    if (last == std::string_view::npos) return std::string();
    if (last == 0) return std::string(pathSeparator);
    return std::string(path.substr(0, last));
}

std::string moduleFolder(std::size_t maxBytes) {
    std::string folder = removeFileSpec(modulePath());
    // A cut folder would name another place; an empty one makes every joined
    // path fail visibly instead.
    if (folder.size() > maxBytes) return std::string();
    return folder;
}

std::optional<FileVersion> readFileVersion(std::string_view cp932Path) {
    // A Linux executable has no version resource: the running program's own
    // file carries the version it was built with, every other file none.
    if (cp932Path.empty() || cp932Path != modulePath()) return std::nullopt;
    return FileVersion{MONITOR_VERSION_MAJOR, MONITOR_VERSION_MINOR, MONITOR_VERSION_BUILD,
                       MONITOR_VERSION_REVISION};
}

std::unique_ptr<TextFile> TextFile::open(std::string_view cp932Path, OpenMode mode) {
    const std::string path = text::cp932ToUtf8(cp932Path);
    if (path.empty()) return nullptr;
    int fd = ::open(path.c_str(), openFlags(mode), 0666);
    fd = moveAboveStandardStreams(fd);
    if (fd < 0) return nullptr;
    auto release = [fd] {
        ::close(fd);
        return nullptr;
    };
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return release();
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return release();
    if (mode == OpenMode::Truncate && ::ftruncate(fd, 0) != 0) return release();
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return release();
    return std::make_unique<PosixTextFile>(fd, mode != OpenMode::Read);
}

}  // namespace fs
