#include "platform/fs_text_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

namespace {

constexpr std::size_t anyLine = 1000;

// A file in memory whose reads and writes come in pieces of a chosen size
// and can be made to fail, as a disk or a pipe may do.
class MemoryTextFile final : public fs::detail::BufferedTextFile {
public:
    MemoryTextFile(bool writable, std::string contents = {})
        : BufferedTextFile(writable), contents_(std::move(contents)) {}

    std::size_t piece = 1 << 20;
    std::optional<std::size_t> failReadsAfter;
    std::optional<std::size_t> failWritesAfter;
    const std::string& written() const { return written_; }

    std::int64_t size() override { return static_cast<std::int64_t>(written_.size()); }
    bool truncate(std::int64_t size) override {
        written_.resize(static_cast<std::size_t>(size));
        return true;
    }
    bool close() override {
        open_ = false;
        return !failed();
    }

private:
    bool isOpen() const override { return open_; }
    std::optional<std::size_t> readSome(char* buffer, std::size_t capacity) override {
        if (failReadsAfter && readAt_ >= *failReadsAfter) return std::nullopt;
        const std::size_t count = std::min({capacity, piece, contents_.size() - readAt_});
        std::memcpy(buffer, contents_.data() + readAt_, count);
        readAt_ += count;
        return count;
    }
    std::size_t writeSome(std::string_view data) override {
        if (failWritesAfter && written_.size() >= *failWritesAfter) return 0;
        const std::size_t count = std::min(data.size(), piece);
        written_.append(data.substr(0, count));
        return count;
    }

    bool open_ = true;
    std::string contents_;
    std::size_t readAt_ = 0;
    std::string written_;
};

TEST(BufferedTextFile, WritesInPiecesAddCrBeforeEveryLineFeed) {
    MemoryTextFile file(true);
    file.piece = 3;
    EXPECT_TRUE(file.write("a,b\n\nc"));
    EXPECT_TRUE(file.write("\r\n"));
    EXPECT_EQ(file.written(), "a,b\r\n\r\nc\r\r\n");
    EXPECT_FALSE(file.failed());
}

TEST(BufferedTextFile, AWriteThatStopsTakingBytesFailsAndStaysFailed) {
    MemoryTextFile file(true);
    file.piece = 2;
    file.failWritesAfter = 4;
    EXPECT_FALSE(file.write("abcdef\n"));
    EXPECT_EQ(file.written(), "abcd");
    EXPECT_TRUE(file.failed());
    EXPECT_FALSE(file.close());
}

TEST(BufferedTextFile, LinesSplitAcrossReadsComeWhole) {
    MemoryTextFile file(false, "one\r\ntwo\n\r\nlast");
    file.piece = 1;
    EXPECT_EQ(file.readLine(anyLine), "one");
    EXPECT_EQ(file.readLine(anyLine), "two");
    EXPECT_EQ(file.readLine(anyLine), "");
    EXPECT_EQ(file.readLine(anyLine), "last");
    EXPECT_EQ(file.readLine(anyLine), std::nullopt);
    EXPECT_FALSE(file.failed());
}

TEST(BufferedTextFile, AReadErrorEndsTheLinesAndMarksTheFile) {
    MemoryTextFile file(false, "whole\npart of a line");
    file.piece = 4;
    file.failReadsAfter = 12;
    EXPECT_EQ(file.readLine(anyLine), "whole");
    EXPECT_EQ(file.readLine(anyLine), "part o");
    EXPECT_TRUE(file.failed());
    EXPECT_EQ(file.readLine(anyLine), std::nullopt);
}

TEST(BufferedTextFile, ALineLongerThanTheBoundIsReadNoFurtherAndFails) {
    // Four bytes pass with either line end and at the end of the file.
    MemoryTextFile fits(false, "abcd\r\nefgh\nijk\r\r\nlmno");
    fits.piece = 3;
    EXPECT_EQ(fits.readLine(4), "abcd");
    EXPECT_EQ(fits.readLine(4), "efgh");
    EXPECT_EQ(fits.readLine(4), "ijk\r");
    EXPECT_EQ(fits.readLine(4), "lmno");
    EXPECT_EQ(fits.readLine(4), std::nullopt);
    EXPECT_FALSE(fits.failed());

    for (const std::string contents : {"abcde\r\nnext\n", "abcd\re\n", "abcde"}) {
        MemoryTextFile tooLong(false, contents + std::string(1 << 20, 'x'));
        EXPECT_EQ(tooLong.readLine(4), std::nullopt) << contents;
        EXPECT_TRUE(tooLong.failed()) << contents;
        EXPECT_EQ(tooLong.readLine(4), std::nullopt) << contents;
    }
}

TEST(BufferedTextFile, AClosedOrWrongWayFileRefusesAndFails) {
    MemoryTextFile reader(false, "x\n");
    EXPECT_FALSE(reader.write("y\n"));
    EXPECT_TRUE(reader.failed());

    MemoryTextFile writer(true);
    EXPECT_EQ(writer.readLine(anyLine), std::nullopt);
    EXPECT_TRUE(writer.failed());

    MemoryTextFile closed(true);
    closed.close();
    EXPECT_FALSE(closed.write("z"));
    EXPECT_TRUE(closed.failed());
}

}  // namespace
