#include "support/port_claim.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

// Ports above the ranges the tests are given, so that no other test process
// holds them.
constexpr int first = 61000;

fs::path claimFolder(int port) {
    return fs::temp_directory_path() / "monitor-test-ports" / std::to_string(port);
}

TEST(PortClaims, APortClaimedByAnotherProcessIsSkippedUnlessItsClaimIsStale) {
    auto& claims = test_support::PortClaims::instance();
    for (int port = first; port < first + 3; ++port) {
        fs::remove(claimFolder(port));
        fs::create_directory(claimFolder(port));
    }
    EXPECT_EQ(claims.claim(first, 3), 0);

    fs::last_write_time(claimFolder(first + 1),
                        fs::file_time_type::clock::now() - std::chrono::hours(1));
    EXPECT_EQ(claims.claim(first, 3), first + 1);
    EXPECT_TRUE(fs::is_directory(claimFolder(first + 1)));
    EXPECT_EQ(claims.claim(first, 3), 0) << "a port is given out once";

    fs::remove(claimFolder(first));
    fs::remove(claimFolder(first + 2));
}

}  // namespace
