// The CP932 byte limit that the Windows build applies to its wide edits.
#include "platform/edit_byte_limit.h"

#include <gtest/gtest.h>

namespace {

using editlimit::fitUserChange;

TEST(EditByteLimitTest, ChangesWithinTheLimitStand) {
    EXPECT_FALSE(fitUserChange(u"DI1", u"DI12", 20));
    EXPECT_FALSE(fitUserChange(u"", u"入力一二三四五六七八", 20));  // ten double-byte: 20 bytes
    EXPECT_FALSE(fitUserChange(u"", u"ｷｬﾝｾﾙｷｬﾝｾﾙｷｬﾝｾﾙｷｬﾝｾﾙ", 20));  // half-width: one byte each
}

TEST(EditByteLimitTest, TypingPastTheLimitIsRefused) {
    const auto fitted = fitUserChange(u"入力一二三四五六七八", u"入力一二三四五六七八a", 20);
    ASSERT_TRUE(fitted);
    EXPECT_EQ(fitted->text, u"入力一二三四五六七八");
    EXPECT_EQ(fitted->caret, 10u);
}

TEST(EditByteLimitTest, AnInsertionKeepsWhatFitsBetweenCharacters) {
    // 19 bytes used: one byte is left, too few for a double-byte character.
    const auto full = fitUserChange(u"abcdefghijklmnopqrs", u"abcdefghijklmnopqrs表x", 20);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->text, u"abcdefghijklmnopqrs");

    // Pasted in the middle: the cut part is the inserted one, the tail stays.
    const auto middle = fitUserChange(u"ab", u"a表表表b", 5);
    ASSERT_TRUE(middle);
    EXPECT_EQ(middle->text, u"a表b");
    EXPECT_EQ(middle->caret, 2u);

    // Replacing a selection frees its bytes first.
    const auto replaced = fitUserChange(u"abcd", u"a一二三d", 6);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->text, u"a一二d");
}

bool hasLoneSurrogate(const std::u16string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool high = text[i] >= 0xD800 && text[i] <= 0xDBFF;
        const bool low = text[i] >= 0xDC00 && text[i] <= 0xDFFF;
        if (low) return true;
        if (high) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return true;
            ++i;
        }
    }
    return false;
}

TEST(EditByteLimitTest, ASurrogatePairIsKeptOrDroppedWhole) {
    // Characters outside CP932 count as the bytes of their replacement.
    const std::u16string grin = u"\U0001F600";
    const std::u16string beam = u"\U0001F601";  // shares its first unit with grin
    const std::size_t grinBytes = editlimit::cp932Bytes(grin);

    const auto one = fitUserChange(u"abc", u"abc" + grin + grin, 3 + grinBytes);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->text, u"abc" + grin);
    EXPECT_EQ(one->caret, 5u);

    // Replacing grin by beam: the change starts at grin's first unit.
    const auto swapped = fitUserChange(u"ab" + grin, u"ab" + beam + u"xyz", 2);
    ASSERT_TRUE(swapped);
    EXPECT_EQ(swapped->text, u"ab");
    EXPECT_FALSE(hasLoneSurrogate(swapped->text));
}

TEST(EditByteLimitTest, ATextAboveTheLimitCanOnlyBeShortened) {
    const std::u16string longTitle(60, u'x');
    EXPECT_FALSE(fitUserChange(longTitle, longTitle.substr(1), 50));
    const auto typed = fitUserChange(longTitle.substr(1), longTitle, 50);
    ASSERT_TRUE(typed);
    EXPECT_EQ(typed->text, longTitle.substr(1));
}

}  // namespace
