// Faults of the file system made to happen without touching the machine: a
// child process with a mount namespace of its own mounts a small tmpfs,
// fills it or makes it read-only, and runs the test's checks there. What
// the child's checks report is printed by the child and fails the test.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

namespace private_mounts {

inline constexpr int noNamespace = 77;

// Runs body in the child; skips the test where no namespace can be made.
inline void run(const std::function<void()>& body) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            ::_exit(noNamespace);
        }
        body();
        std::fflush(nullptr);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    if (WEXITSTATUS(status) == noNamespace) GTEST_SKIP() << "no mount namespace (needs root)";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the checks in the child failed (above)";
}

// A tmpfs of the given size over the folder, inside the child.
inline bool mountTmpfs(const std::string& folder, std::size_t bytes) {
    const std::string options = "size=" + std::to_string(bytes);
    return ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

// Writes a file until its file system has no room left.
inline bool fill(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const std::string block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    ::close(fd);
    return true;
}

// The folder can no longer be written, by root either.
inline bool makeReadOnly(const std::string& folder) {
    return ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
           ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) ==
               0;
}

}  // namespace private_mounts
