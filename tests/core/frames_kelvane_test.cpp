#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "net/frames.h"

namespace {

using frames::AssemblyWindow;
using frames::Frame;

std::vector<Frame> feedAll(AssemblyWindow& window, const std::vector<std::uint8_t>& bytes) {
    std::vector<Frame> found;
    for (std::uint8_t byte : bytes) {
        if (auto frame = frames::kelvaneFeed(window, byte)) found.push_back(*frame);
    }
    return found;
}

std::vector<Frame> feedAll(const std::vector<std::uint8_t>& bytes) {
    AssemblyWindow window;
    return feedAll(window, bytes);
}

// Runs the bytes through recognition and effects, starting from `inputs`;
// returns the inputs afterwards and every reply.
struct Session {
    std::uint8_t inputs = 0;
    std::vector<std::array<std::uint8_t, 2>> replies;
};
Session run(std::uint8_t inputs, const std::vector<std::uint8_t>& bytes) {
    Session session{inputs, {}};
    for (const Frame& frame : feedAll(bytes)) {
        const auto effect = frames::kelvaneEffect(frame, session.inputs);
        session.inputs = frames::applyUpdate(session.inputs, effect.update);
        session.replies.push_back(effect.reply);
    }
    return session;
}

using Reply = std::array<std::uint8_t, 2>;

TEST(KelvaneFrames, StateFrameSetsAllThreeInputsAndEchoesTheValue) {
    const Session a = run(0x02, {0xFA, 0xF0, 0x05});
    EXPECT_EQ(a.inputs, 0x05);
    ASSERT_EQ(a.replies.size(), 1u);
    EXPECT_EQ(a.replies[0], (Reply{0xF0, 0x05}));

    // High bits have no effect on the inputs but are echoed unchanged.
    const Session b = run(0x02, {0xFA, 0xF0, 0xFD});
    EXPECT_EQ(b.inputs, 0x05);
    EXPECT_EQ(b.replies, (std::vector<Reply>{{0xF0, 0xFD}}));
}

TEST(KelvaneFrames, ChangeFrameWritesOnlyMaskedInputsAndRepliesWithAllStates) {
    const Session set2 = run(0x05, {0xFC, 0x02, 0x02});
    EXPECT_EQ(set2.inputs, 0x07);
    EXPECT_EQ(set2.replies, (std::vector<Reply>{{0xFC, 0x07}}));

    const Session clear1 = run(0x05, {0xFC, 0x00, 0x01});
    EXPECT_EQ(clear1.inputs, 0x04);
    EXPECT_EQ(clear1.replies, (std::vector<Reply>{{0xFC, 0x04}}));

    const Session nothing = run(0x03, {0xFC, 0x00, 0x00});
    EXPECT_EQ(nothing.inputs, 0x03);
    EXPECT_EQ(nothing.replies, (std::vector<Reply>{{0xFC, 0x03}}));

    // Mask bits above input 3 write nothing; reply bits 3 to 7 stay 0.
    const Session high = run(0x01, {0xFC, 0xFF, 0xF8});
    EXPECT_EQ(high.inputs, 0x01);
    EXPECT_EQ(high.replies, (std::vector<Reply>{{0xFC, 0x01}}));
}

TEST(KelvaneFrames, GarbageInFrontCostsOneByteEach) {
    const auto change = feedAll({0x00, 0xFC, 0x01, 0x01});
    ASSERT_EQ(change.size(), 1u);
    EXPECT_TRUE(change[0].change);
    EXPECT_EQ(change[0].value, 0x01);
    EXPECT_EQ(change[0].mask, 0x01);

    const auto state = feedAll({0x12, 0xFA, 0xF0, 0x03});
    ASSERT_EQ(state.size(), 1u);
    EXPECT_FALSE(state[0].change);
    EXPECT_EQ(state[0].value, 0x03);

    EXPECT_EQ(feedAll({0x11, 0x22, 0x33, 0x44, 0xFA, 0xF0, 0x01}).size(), 1u);
}

TEST(KelvaneFrames, TwoByteValueFrameIsNoFrame) {
    EXPECT_TRUE(feedAll({0xF0, 0x05}).empty());
    EXPECT_TRUE(feedAll({0xF0, 0x05, 0xF0, 0x05, 0xF0}).empty());
    EXPECT_TRUE(feedAll({0xFA, 0xF1, 0x05}).empty());
}

TEST(KelvaneFrames, WindowIsEmptiedByAFrameAndKeepsTheNewestBytesOtherwise) {
    AssemblyWindow window;
    EXPECT_EQ(feedAll(window, {0xFC, 0x01, 0x01}).size(), 1u);
    EXPECT_EQ(window.count, 0);

    // A frame's bytes are used up: FC 01 01 followed by 01 01 is one frame.
    EXPECT_EQ(feedAll({0xFC, 0x01, 0x01, 0x01, 0x01}).size(), 1u);

    AssemblyWindow partial;
    feedAll(partial, {0x10, 0x20, 0x30, 0xFA});
    EXPECT_EQ(partial.count, 2);
    EXPECT_EQ(partial.bytes[0], 0x30);
    EXPECT_EQ(partial.bytes[1], 0xFA);

    // A state frame whose value is the change marker is still a state frame.
    const auto frames = feedAll({0xFA, 0xF0, 0xFC, 0x01, 0x01});
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_FALSE(frames[0].change);
    EXPECT_EQ(frames[0].value, 0xFC);
}

TEST(KelvaneFrames, BackToBackFramesAreAllFound) {
    const Session s = run(0, {0xFA, 0xF0, 0x07, 0xFC, 0x00, 0x02, 0xFC, 0x00, 0x01});
    EXPECT_EQ(s.inputs, 0x04);
    EXPECT_EQ(s.replies, (std::vector<Reply>{{0xF0, 0x07}, {0xFC, 0x05}, {0xFC, 0x04}}));
}

TEST(KelvaneFrames, LeadBytesAreTheFramesFirstTwoBytes) {
    EXPECT_EQ(frames::kelvaneLeadBytes(Frame{false, 0x05, 0}), (Reply{0xFA, 0xF0}));
    EXPECT_EQ(frames::kelvaneLeadBytes(Frame{true, 0x02, 0x02}), (Reply{0xFC, 0x02}));
}

}  // namespace
