#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fs_bytes.h"
#include "platform/text.h"

namespace fs {

namespace {

// Opens a regular file only, so that a FIFO or device named by the user
// never blocks the program.
int openRegular(std::string_view cp932Path, int flags) {
    const std::string path = text::cp932ToUtf8(cp932Path);
    if (path.empty()) return -1;
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
    if (fd < 0) return -1;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::optional<std::int64_t> fileSize(std::string_view cp932Path) {
    struct stat status {};
    const std::string path = text::cp932ToUtf8(cp932Path);
    if (path.empty() || ::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(status.st_size);
}

std::optional<std::string> readBytes(std::string_view cp932Path, std::int64_t offset,
                                     std::size_t maxBytes) {
    const int fd = openRegular(cp932Path, O_RDONLY);
    if (fd < 0) return std::nullopt;
    std::string bytes(maxBytes, '\0');
    std::size_t got = 0;
    bool failed = false;
    while (got < maxBytes) {
        const ssize_t n = ::pread(fd, bytes.data() + got, maxBytes - got,
                                  static_cast<off_t>(offset) + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failed = true;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (failed) return std::nullopt;
    bytes.resize(got);
    return bytes;
}

bool writeBytes(std::string_view cp932Path, std::string_view bytes) {
    const int fd = openRegular(cp932Path, O_WRONLY | O_CREAT);
    if (fd < 0) return false;
    bool ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::ftruncate(fd, 0) == 0;
    const int flags = ::fcntl(fd, F_GETFL);
    ok = ok && flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
    std::size_t written = 0;
    while (ok && written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        if (n > 0) written += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 && errno != EINTR) ok = false;
    return ok;
}

}  // namespace fs
