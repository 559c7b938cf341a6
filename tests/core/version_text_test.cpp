#include "window/version_text.h"

#include <gtest/gtest.h>

#include "version.h"

namespace {

TEST(VersionText, NumbersAreWrittenAfterOneAnother) {
    EXPECT_EQ(formatVersionText({1, 0, 3, 0}), "Version 1.03");
    EXPECT_EQ(formatVersionText({1, 2, 3, 4}), "Version 1.234");
    EXPECT_EQ(formatVersionText({2, 10, 0, 0}), "Version 2.100");
    EXPECT_EQ(formatVersionText({0, 0, 0, 0}), "Version 0.00");
    EXPECT_EQ(formatVersionText({3, 0, 0, 12}), "Version 3.0012");
    EXPECT_EQ(formatVersionText({65535, 65535, 65535, 65535}), "Version 65535.655356553565535");
}

TEST(VersionText, TheProgramCarriesTheProjectVersion) {
    const fs::FileVersion version = programFileVersion();
    EXPECT_EQ(version.major, MONITOR_VERSION_MAJOR);
    EXPECT_EQ(version.minor, MONITOR_VERSION_MINOR);
    EXPECT_EQ(version.build, MONITOR_VERSION_BUILD);
    EXPECT_EQ(version.revision, MONITOR_VERSION_REVISION);
    EXPECT_EQ(formatVersionText(version), "Version 1.03");
}

}  // namespace
