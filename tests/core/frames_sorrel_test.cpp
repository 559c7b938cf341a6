#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "net/frames.h"

namespace {

using frames::Frame;
using frames::SorrelReader;
using Reply = std::array<std::uint8_t, 2>;

struct Session {
    std::uint8_t inputs = 0;
    int frames = 0;  // recognised, including those without a value
    std::vector<Reply> replies;
};

Session run(std::uint8_t inputs, const std::vector<std::uint8_t>& bytes) {
    Session session{inputs, 0, {}};
    SorrelReader reader;
    for (std::uint8_t byte : bytes) {
        const auto frame = reader.feed(byte);
        if (!frame) continue;
        ++session.frames;
        if (const auto effect = frames::sorrelEffect(*frame, session.inputs)) {
            session.inputs = frames::applyUpdate(session.inputs, effect->update);
            session.replies.push_back(effect->reply);
        }
    }
    return session;
}

TEST(SorrelFrames, ValueFramesSetAllFiveInputs) {
    const Session plain = run(0x00, {0xF0, 0x1F});
    EXPECT_EQ(plain.inputs, 0x1F);
    EXPECT_EQ(plain.replies, (std::vector<Reply>{{0xF0, 0x1F}}));

    const Session started = run(0x1C, {0xFA, 0xF0, 0x03});
    EXPECT_EQ(started.inputs, 0x03);
    EXPECT_EQ(started.replies, (std::vector<Reply>{{0xF0, 0x03}}));
}

TEST(SorrelFrames, FrameStartWithoutStateMarkerDropsBothBytes) {
    const Session s = run(0x00, {0xFA, 0x12});
    EXPECT_EQ(s.frames, 0);
    // The byte after FA is not looked at again, even when it starts a frame.
    EXPECT_EQ(run(0x00, {0xFA, 0xFC, 0x01, 0x01}).frames, 0);
    const Session after = run(0x00, {0xFA, 0x12, 0xF0, 0x04});
    EXPECT_EQ(after.replies, (std::vector<Reply>{{0xF0, 0x04}}));
}

TEST(SorrelFrames, ChangeFrameWithZeroMaskActsAsValueFrame) {
    const Session s = run(0x1E, {0xFC, 0x01, 0x00});
    EXPECT_EQ(s.inputs, 0x01);
    EXPECT_EQ(s.replies, (std::vector<Reply>{{0xF0, 0x01}}));
}

TEST(SorrelFrames, ChangeFrameWritesMaskedInputsAndRepliesWithAllStates) {
    const Session s = run(0x10, {0xFC, 0x01, 0x01});
    EXPECT_EQ(s.inputs, 0x11);
    EXPECT_EQ(s.replies, (std::vector<Reply>{{0xFC, 0x11}}));

    // Only mask bits 5 to 7: no input changes, answered FC s.
    const Session high = run(0x0A, {0xFC, 0x1F, 0xE0});
    EXPECT_EQ(high.inputs, 0x0A);
    EXPECT_EQ(high.replies, (std::vector<Reply>{{0xFC, 0x0A}}));
}

TEST(SorrelFrames, ValueFFMeansNothingAndIsDropped) {
    const Session value = run(0x05, {0xF0, 0xFF});
    EXPECT_EQ(value.frames, 1);
    EXPECT_EQ(value.inputs, 0x05);
    EXPECT_TRUE(value.replies.empty());

    const Session change = run(0x05, {0xFC, 0xFF, 0x01});
    EXPECT_EQ(change.frames, 1);
    EXPECT_EQ(change.inputs, 0x05);
    EXPECT_TRUE(change.replies.empty());

    EXPECT_TRUE(run(0x05, {0xFA, 0xF0, 0xFF}).replies.empty());
}

TEST(SorrelFrames, OtherBytesAreDroppedAndFramesFollowDirectly) {
    const Session s = run(0x00, {0x00, 0x12, 0xF1, 0xF0, 0x02, 0x77, 0xFC, 0x04, 0x04});
    EXPECT_EQ(s.inputs, 0x06);
    EXPECT_EQ(s.replies, (std::vector<Reply>{{0xF0, 0x02}, {0xFC, 0x06}}));
}

TEST(SorrelFrames, FrameBytesAreTakenWhateverTheirValue) {
    // Inside a frame, marker values are data.
    const Session s = run(0x00, {0xFC, 0xF0, 0xFC});
    EXPECT_EQ(s.frames, 1);
    EXPECT_EQ(s.inputs, 0x10);
    EXPECT_EQ(s.replies, (std::vector<Reply>{{0xFC, 0x10}}));
}

TEST(SorrelFrames, ReaderReportsWhenAFrameIsUnderway) {
    SorrelReader reader;
    EXPECT_FALSE(reader.midFrame());
    reader.feed(0xFC);
    EXPECT_TRUE(reader.midFrame());
    reader.feed(0x05);
    EXPECT_TRUE(reader.midFrame());
    EXPECT_TRUE(reader.feed(0x01).has_value());
    EXPECT_FALSE(reader.midFrame());
    reader.feed(0x33);
    EXPECT_FALSE(reader.midFrame());
}

}  // namespace
