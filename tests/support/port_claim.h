// A TCP port for one test process alone. ctest runs two test processes at
// once, and a port found free by one of them can be found free again by the
// other while the first has stopped its server to start it again; a device
// of the first then reaches the second's server. So a port is claimed on
// the machine for the whole process, by a folder in the temporary folder
// that only one process can create, before it is checked to be free.
#pragma once

#include <chrono>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "platform/sock.h"

namespace test_support {

class PortClaims {
public:
    static PortClaims& instance() {
        static PortClaims claims;
        return claims;
    }

    PortClaims(const PortClaims&) = delete;
    PortClaims& operator=(const PortClaims&) = delete;

    ~PortClaims() {
        std::error_code ignored;
        for (const auto& folder : held_) std::filesystem::remove(folder, ignored);
    }

    // A port in [first, first + count) that this process alone holds and
    // nothing listens on; 0 when every one is taken. Each process starts
    // its search at a place of its own, so that they seldom meet.
    int claim(int first, int count) {
        const std::lock_guard lock(mutex_);
        for (int step = 0; step < count; ++step) {
            const int port = first + static_cast<int>((start_ + step) % count);
            if (!take(port)) continue;
            if (isFree(port)) return port;
            release(port);
        }
        return 0;
    }

private:
    PortClaims() {
        std::error_code ignored;
        std::filesystem::create_directories(root(), ignored);
    }

    static std::filesystem::path root() {
        return std::filesystem::temp_directory_path() / "monitor-test-ports";
    }

    bool take(int port) {
        const auto folder = root() / std::to_string(port);
        std::error_code error;
        if (!std::filesystem::create_directory(folder, error) && !takeOverStale(folder)) {
            return false;
        }
        held_.push_back(folder);
        return true;
    }

    // A claim outlives a process that crashed; no test process runs this long.
    static bool takeOverStale(const std::filesystem::path& folder) {
        std::error_code error;
        const auto made = std::filesystem::last_write_time(folder, error);
        if (error) return false;
        if (std::filesystem::file_time_type::clock::now() - made < std::chrono::minutes(30)) {
            return false;
        }
        std::filesystem::remove(folder, error);
        return std::filesystem::create_directory(folder, error);
    }

    void release(int port) {
        const auto folder = root() / std::to_string(port);
        std::error_code ignored;
        std::filesystem::remove(folder, ignored);
        std::erase(held_, folder);
    }

    static bool isFree(int port) {
        const sock::Socket probe = sock::tcpSocket();
        if (probe == sock::invalidSocket) return false;
        sock::SockAddrIn address;
        address.port = sock::htons(static_cast<std::uint16_t>(port));
        const bool free = sock::bind(probe, address) == 0;
        sock::closesocket(probe);
        return free;
    }

    const unsigned start_ = std::random_device{}();
    std::mutex mutex_;
    std::vector<std::filesystem::path> held_;
};

}  // namespace test_support
