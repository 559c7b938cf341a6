// Files written whole as bytes, as the signal history saves its pictures.
#include "platform/fs_bytes.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace stdfs = std::filesystem;

class BytesFile : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = stdfs::temp_directory_path() /
                  (std::string("fs_bytes_test_") + info->name() + "_" + std::to_string(::getpid()));
        stdfs::remove_all(folder_);
        stdfs::create_directories(folder_);
    }
    void TearDown() override { stdfs::remove_all(folder_); }

    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    static std::string contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    stdfs::path folder_;
};

// A picture saved over an older, larger one: anything of the old file left
// past the new end would be read as part of the new picture.
TEST_F(BytesFile, AWriteOverALongerFileLeavesExactlyTheNewBytes) {
    const std::string older = "\x89PNG\r\n\x1a\n" + std::string(70000, '\xAA');
    std::ofstream(path("view.png"), std::ios::binary) << older;
    ASSERT_EQ(contents(path("view.png")), older);

    const std::string newer = std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + "IEND";
    EXPECT_TRUE(fs::writeBytes(path("view.png"), newer));
    // The sizes first: a whole old tail in the failure says nothing more.
    EXPECT_EQ(fs::fileSize(path("view.png")), static_cast<std::int64_t>(newer.size()));
    EXPECT_TRUE(contents(path("view.png")) == newer);
    EXPECT_TRUE(fs::readBytes(path("view.png"), 0, older.size()) == newer);

    // Nothing written over something leaves nothing.
    EXPECT_TRUE(fs::writeBytes(path("view.png"), ""));
    EXPECT_EQ(fs::fileSize(path("view.png")), 0);
}

}  // namespace
