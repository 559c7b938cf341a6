// The simulator's model of the monitors' frame tables, against which it
// checks every reply, and its reading of what a monitor sends.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "device_sim/incoming.h"
#include "device_sim/reply_model.h"

namespace {

using devsim::Bytes;
using devsim::ExpectedReply;
using devsim::Incoming;
using devsim::IncomingParser;
using devsim::ReplyModel;
using devsim::Variant;

std::vector<ExpectedReply> feedAll(ReplyModel& model, const Bytes& bytes) {
    std::vector<ExpectedReply> replies;
    for (std::uint8_t b : bytes) {
        if (auto reply = model.feed(b)) replies.push_back(*reply);
    }
    return replies;
}

// The replies the model asks for, as fully known byte pairs; a partly known
// reply fails the test.
std::vector<Bytes> knownReplies(Variant variant, const Bytes& bytes) {
    ReplyModel model(variant);
    std::vector<Bytes> out;
    for (const auto& reply : feedAll(model, bytes)) {
        EXPECT_EQ(reply.knownBits, 0xFF) << "reply only partly known";
        out.push_back(Bytes{reply.kind, reply.value});
    }
    return out;
}

TEST(DeviceSimKelvaneModel, StateFramesEchoTheWholeValue) {
    EXPECT_EQ(knownReplies(Variant::Kelvane, {0xFA, 0xF0, 0x05}),
              (std::vector<Bytes>{{0xF0, 0x05}}));
    EXPECT_EQ(knownReplies(Variant::Kelvane, {0xFA, 0xF0, 0xFD}),
              (std::vector<Bytes>{{0xF0, 0xFD}}));

    ReplyModel model(Variant::Kelvane);
    feedAll(model, {0xFA, 0xF0, 0xFD});
    EXPECT_EQ(model.knownInputs(), 0x07);
    EXPECT_EQ(model.inputStates(), 0x05);
}

TEST(DeviceSimKelvaneModel, ChangeFrameRepliesWithAllThreeStates) {
    // Inputs 1 and 3 on, then input 2 on: FC 07; then input 1 off with
    // bits of v outside the mask ignored: FC 06.
    EXPECT_EQ(
        knownReplies(Variant::Kelvane, {0xFA, 0xF0, 0x05, 0xFC, 0x02, 0x02, 0xFC, 0xFE, 0x01}),
        (std::vector<Bytes>{{0xF0, 0x05}, {0xFC, 0x07}, {0xFC, 0x06}}));
    // A mask of nothing changes nothing and is still answered.
    EXPECT_EQ(knownReplies(Variant::Kelvane, {0xFA, 0xF0, 0x03, 0xFC, 0x00, 0x00}),
              (std::vector<Bytes>{{0xF0, 0x03}, {0xFC, 0x03}}));
}

TEST(DeviceSimKelvaneModel, ChangeReplyOfUnknownInputsChecksOnlyWhatIsKnown) {
    ReplyModel model(Variant::Kelvane);
    auto replies = feedAll(model, {0xFC, 0x02, 0x02});
    ASSERT_EQ(replies.size(), 1u);
    const ExpectedReply& reply = replies[0];
    EXPECT_TRUE(reply.matches(0xFC, 0x02));
    EXPECT_TRUE(reply.matches(0xFC, 0x07));   // inputs 1 and 3 may be on
    EXPECT_FALSE(reply.matches(0xFC, 0x05));  // input 2 was set on
    EXPECT_FALSE(reply.matches(0xFC, 0x0A));  // bits 3 to 7 are always 0
    EXPECT_FALSE(reply.matches(0xF0, 0x02));
}

TEST(DeviceSimKelvaneModel, FindsFramesBehindGarbageAndNoValueFrame) {
    EXPECT_TRUE(knownReplies(Variant::Kelvane, {0xF0, 0x05}).empty());
    EXPECT_EQ(knownReplies(Variant::Kelvane, {0x12, 0xFA, 0xF0, 0x03}),
              (std::vector<Bytes>{{0xF0, 0x03}}));

    ReplyModel model(Variant::Kelvane);
    auto replies = feedAll(model, {0x00, 0xFC, 0x01, 0x01});
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_TRUE(replies[0].matches(0xFC, 0x01));
    EXPECT_FALSE(replies[0].matches(0xFC, 0x00));
}

TEST(DeviceSimKelvaneModel, ChangeMarkerInFrontSwallowsTheNextTwoBytes) {
    // FC FA F0 is a change frame with mask F0 (no input bit): the state
    // frame behind it is lost, and its last byte starts a new window.
    ReplyModel model(Variant::Kelvane);
    feedAll(model, {0xFA, 0xF0, 0x01});
    auto replies = feedAll(model, {0xFC, 0xFA, 0xF0, 0x05});
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].kind, 0xFC);
    EXPECT_EQ(replies[0].value, 0x01);
}

TEST(DeviceSimKelvaneModel, LearnsFromChangeRepliesWhatNoLaterFrameSet) {
    ReplyModel model(Variant::Kelvane);
    feedAll(model, {0xFC, 0x02, 0x02});  // input 2 on
    feedAll(model, {0xFC, 0x00, 0x01});  // input 1 off
    model.learn(0xF0, 0x07);             // a state reply tells nothing
    EXPECT_EQ(model.knownInputs(), 0x03);
    model.learn(0xFC, 0x07);  // reply to the first frame: 1, 2 and 3 were on
    EXPECT_EQ(model.knownInputs(), 0x07);
    EXPECT_EQ(model.inputStates(), 0x06);
}

TEST(DeviceSimSorrelModel, ValueFramesInBothForms) {
    EXPECT_EQ(knownReplies(Variant::Sorrel, {0xF0, 0x1F}), (std::vector<Bytes>{{0xF0, 0x1F}}));
    EXPECT_EQ(knownReplies(Variant::Sorrel, {0xFA, 0xF0, 0x03}),
              (std::vector<Bytes>{{0xF0, 0x03}}));
    EXPECT_EQ(knownReplies(Variant::Sorrel, {0xF0, 0xE1}), (std::vector<Bytes>{{0xF0, 0xE1}}));

    ReplyModel model(Variant::Sorrel);
    feedAll(model, {0xF0, 0xE1});
    EXPECT_EQ(model.knownInputs(), 0x1F);
    EXPECT_EQ(model.inputStates(), 0x01);
}

TEST(DeviceSimSorrelModel, ChangeFramesWithAndWithoutMask) {
    EXPECT_EQ(knownReplies(Variant::Sorrel, {0xFC, 0x01, 0x00}),
              (std::vector<Bytes>{{0xF0, 0x01}}));
    EXPECT_EQ(knownReplies(Variant::Sorrel, {0xF0, 0x1E, 0xFC, 0x01, 0x01}),
              (std::vector<Bytes>{{0xF0, 0x1E}, {0xFC, 0x1F}}));
    // A mask with only bits 5 to 7 changes no input and is answered FC s.
    EXPECT_EQ(knownReplies(Variant::Sorrel, {0xF0, 0x0A, 0xFC, 0x1F, 0xE0}),
              (std::vector<Bytes>{{0xF0, 0x0A}, {0xFC, 0x0A}}));
}

TEST(DeviceSimSorrelModel, DropsNothingValuesAndBrokenStarts) {
    EXPECT_TRUE(knownReplies(Variant::Sorrel, {0xF0, 0xFF}).empty());
    // The mask byte of a dropped change frame is read too, so 01 F0 02
    // after it is garbage and a value frame.
    EXPECT_EQ(knownReplies(Variant::Sorrel, {0xFC, 0xFF, 0x01, 0x01, 0xF0, 0x02}),
              (std::vector<Bytes>{{0xF0, 0x02}}));
    // FA and the byte after it are both dropped: here that byte is a change
    // marker, which Kelvane would have used.
    EXPECT_TRUE(knownReplies(Variant::Sorrel, {0xFA, 0xFC, 0x01, 0x01}).empty());
    EXPECT_EQ(knownReplies(Variant::Sorrel, {0xFA, 0x12, 0xF0, 0x04}),
              (std::vector<Bytes>{{0xF0, 0x04}}));

    ReplyModel kelvane(Variant::Kelvane);
    EXPECT_EQ(feedAll(kelvane, {0xFA, 0xFC, 0x01, 0x01}).size(), 1u);
}

TEST(DeviceSimSorrelModel, PartlyKnownChangeReplyCoversFiveInputs) {
    ReplyModel model(Variant::Sorrel);
    auto replies = feedAll(model, {0xFC, 0x10, 0x10});
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_TRUE(replies[0].matches(0xFC, 0x1F));
    EXPECT_FALSE(replies[0].matches(0xFC, 0x0F));  // input 5 was set on
    EXPECT_FALSE(replies[0].matches(0xFC, 0x30));  // bits 5 to 7 are 0
    model.learn(0xFC, 0x13);
    EXPECT_EQ(model.inputStates(), 0x13);
    EXPECT_EQ(model.knownInputs(), 0x1F);
}

std::vector<Incoming> parseAll(const Bytes& bytes) {
    IncomingParser parser;
    std::vector<Incoming> out;
    for (std::uint8_t b : bytes) {
        if (auto message = parser.feed(b)) out.push_back(*message);
    }
    return out;
}

TEST(DeviceSimIncoming, SplitsRepliesOutputFramesAndStrayBytes) {
    auto messages =
        parseAll({0xF0, 0x05, 0xFA, 0xF0, 0x02, 0xFC, 0x07, 0x33, 0xFA, 0xFC, 0x01, 0xFA, 0x44});
    ASSERT_EQ(messages.size(), 7u);
    EXPECT_EQ(messages[0].kind, Incoming::Kind::Reply);
    EXPECT_EQ(messages[0].bytes, (Bytes{0xF0, 0x05}));
    EXPECT_EQ(messages[1].kind, Incoming::Kind::OutputFrame);
    EXPECT_EQ(messages[1].bytes, (Bytes{0xFA, 0xF0, 0x02}));
    EXPECT_EQ(messages[2].kind, Incoming::Kind::Reply);
    EXPECT_EQ(messages[3].kind, Incoming::Kind::Stray);
    EXPECT_EQ(messages[3].bytes, (Bytes{0x33}));
    // A frame start followed by a reply: the reply is not swallowed.
    EXPECT_EQ(messages[4].kind, Incoming::Kind::Stray);
    EXPECT_EQ(messages[4].bytes, (Bytes{0xFA}));
    EXPECT_EQ(messages[5].kind, Incoming::Kind::Reply);
    EXPECT_EQ(messages[5].bytes, (Bytes{0xFC, 0x01}));
    EXPECT_EQ(messages[6].kind, Incoming::Kind::Stray);
    EXPECT_EQ(messages[6].bytes, (Bytes{0xFA, 0x44}));

    IncomingParser parser;
    for (std::uint8_t b : Bytes{0xFA, 0x44}) parser.feed(b);
    EXPECT_FALSE(parser.holdsPartialMessage());
    parser.feed(0xFA);
    parser.feed(0xF0);
    EXPECT_TRUE(parser.holdsPartialMessage());
}

}  // namespace
