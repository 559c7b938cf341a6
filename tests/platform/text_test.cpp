#include "platform/text.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(TextConversion, JapaneseTextBothWays) {
    const std::string stopped = "\x92\xE2\x8E\x7E\x92\x86";
    EXPECT_EQ(text::cp932ToUtf8(stopped), "停止中");
    EXPECT_EQ(text::jp("停止中"), stopped);
    EXPECT_EQ(text::cp932ToUtf16(stopped), u"停止中");
    EXPECT_EQ(text::utf16ToCp932(u"停止中"), stopped);
    EXPECT_EQ(text::cp932ToUtf8("Version 1.03"), "Version 1.03");
    EXPECT_EQ(text::cp932ToUtf8(""), "");
    EXPECT_EQ(text::utf16ToCp932(u""), "");
}

TEST(TextConversion, HalfWidthKatakanaIsOneByte) {
    EXPECT_EQ(text::cp932ToUtf16("\xB1\xDD\xDE"), u"\uFF71\uFF9D\uFF9E");
    EXPECT_EQ(text::utf8ToCp932("ｱﾝﾞ"), "\xB1\xDD\xDE");
}

TEST(TextConversion, WindowsMappingsOfTheCodePage) {
    // The characters where the Windows code page and plain Shift_JIS differ.
    EXPECT_EQ(text::cp932ToUtf16("\x5C\x7E"), u"\\~");
    EXPECT_EQ(text::cp932ToUtf16("\x81\x60\x81\x7C\x81\x61"), u"\uFF5E\uFF0D\u2225");
    EXPECT_EQ(text::utf16ToCp932(u"\uFF5E\uFF0D\u2225"), "\x81\x60\x81\x7C\x81\x61");
    // NEC special characters, NEC-selected IBM extensions and IBM extensions.
    EXPECT_EQ(text::cp932ToUtf16("\x87\x40"), u"\u2460");
    EXPECT_EQ(text::cp932ToUtf16("\xED\x40"), u"\u7E8A");
    EXPECT_EQ(text::cp932ToUtf16("\xFA\x40\xFA\x5C"), u"\u2170\u7E8A");
    EXPECT_EQ(text::utf16ToCp932(u"\u2460\u2170\u7E8A"), "\x87\x40\xFA\x40\xFA\x5C");
    EXPECT_EQ(text::utf8ToCp932("①ⅰ纊"), "\x87\x40\xFA\x40\xFA\x5C");
}

TEST(TextConversion, EverySingleByteCharacterRoundTrips) {
    for (int byte = 0x01; byte <= 0xDF; ++byte) {
        if (byte >= 0x80 && byte <= 0xA0) continue;
        const std::string one(1, static_cast<char>(byte));
        EXPECT_EQ(text::utf8ToCp932(text::cp932ToUtf8(one)), one) << byte;
        EXPECT_EQ(text::utf16ToCp932(text::cp932ToUtf16(one)), one) << byte;
    }
}

TEST(TextConversion, InvalidCp932BytesBecomeReplacementCharacters) {
    EXPECT_EQ(text::cp932ToUtf16("A\x80"
                                 "B"),
              u"A\uFFFDB");
    EXPECT_EQ(text::cp932ToUtf16("A\xFD\xFE\xFF"), u"A\uFFFD\uFFFD\uFFFD");
    // A lead byte cut off by the end of the text.
    EXPECT_EQ(text::cp932ToUtf16("AB\x82"), u"AB\uFFFD");
    EXPECT_EQ(text::cp932ToUtf8("AB\x82"), "AB\xEF\xBF\xBD");
    // A lead byte before a byte that cannot follow it: the second byte is
    // read again on its own.
    EXPECT_EQ(text::cp932ToUtf16("\x82\x20"
                                 "C"),
              u"\uFFFD C");
    // A well-formed pair without a character.
    EXPECT_EQ(text::cp932ToUtf16("\x85\x40"
                                 "D"),
              u"\uFFFDD");
}

TEST(TextConversion, UnconvertibleUnicodeBecomesQuestionMarks) {
    EXPECT_EQ(text::utf8ToCp932("a\xC3\xA9"
                                "b"),
              "a?b");  // é has no CP932 code
    EXPECT_EQ(text::utf8ToCp932("a\xF0\x9F\x98\x80"
                                "b"),
              "a?b");  // one emoji, one mark
    EXPECT_EQ(text::utf8ToCp932("a\xFF"
                                "b"),
              "a?b");                                   // not UTF-8
    EXPECT_EQ(text::utf8ToCp932("ab\xE3\x81"), "ab?");  // cut off sequence
    EXPECT_EQ(text::utf16ToCp932(u"a\U0001F600b"), "a?b");
    EXPECT_EQ(text::utf16ToCp932(std::u16string{u'a', char16_t{0xD800}, u'b'}), "a?b");
    EXPECT_EQ(text::utf16ToCp932(std::u16string{u'a', char16_t{0xDC00}}), "a?");
}

TEST(TextConversion, ExactConversionsRefuseWhatTheyWouldReplaceOrChange) {
    // Everything CP932 holds passes unchanged, a literal "?" too (監視, ｱ).
    EXPECT_EQ(text::utf8ToCp932Exact("/home/\xE7\x9B\xA3\xE8\xA6\x96/a?.csv"),
              "/home/\x8A\xC4\x8E\x8B/a?.csv");
    EXPECT_EQ(text::utf16ToCp932Exact(u"C:\\\u76E3\u8996\\\uFF71.csv"),
              "C:\\\x8A\xC4\x8E\x8B\\\xB1.csv");
    EXPECT_EQ(text::cp932ToUtf8Exact("\x8A\xC4\x8E\x8B?"), "\xE7\x9B\xA3\xE8\xA6\x96?");
    EXPECT_EQ(text::cp932ToUtf16Exact("\xED\x40\xFA\x5C"), u"\u7E8A\u7E8A");
    EXPECT_EQ(text::utf8ToCp932Exact(""), "");

    // What CP932 lacks (é, an emoji), what is no text, and what it would
    // turn into another character: the yen sign into 0x5C, a path separator
    // on Windows, and the wave dash into the full-width tilde.
    EXPECT_EQ(text::utf8ToCp932Exact("log_\xC3\xA9.csv"), std::nullopt);
    EXPECT_EQ(text::utf8ToCp932Exact("a\xFF"), std::nullopt);
    EXPECT_EQ(text::utf8ToCp932Exact("a\xC2\xA5"
                                     "b"),
              std::nullopt);
    EXPECT_EQ(text::utf8ToCp932Exact("a\xE3\x80\x9C"), std::nullopt);
    EXPECT_EQ(text::utf16ToCp932Exact(u"a\U0001F600"), std::nullopt);
    EXPECT_EQ(text::utf16ToCp932Exact(std::u16string{u'a', char16_t{0xD800}}), std::nullopt);
    EXPECT_EQ(text::utf16ToCp932Exact(u"a\u00A5b"), std::nullopt);
    EXPECT_EQ(text::cp932ToUtf8Exact("a\x85\x40"), std::nullopt);
    EXPECT_EQ(text::cp932ToUtf16Exact("ab\x82"), std::nullopt);
    EXPECT_EQ(text::cp932ToUtf16Exact("\x80"), std::nullopt);
}

TEST(TextConversion, LongTextConvertsWhole) {
    std::string many;
    std::u16string expected;
    for (int i = 0; i < 5000; ++i) {
        many += "\x92\x86x";
        expected += u"中x";
    }
    EXPECT_EQ(text::cp932ToUtf16(many), expected);
    EXPECT_EQ(text::utf16ToCp932(expected), many);
    EXPECT_EQ(text::utf8ToCp932(text::cp932ToUtf8(many)), many);
}

TEST(TextBoundary, NeverSplitsADoubleByteCharacter) {
    const std::string mixed =
        "A\x92\xE2"
        "B\xB1\x92\x86";  // A 停 B ｱ 中
    const std::size_t expected[] = {0, 1, 1, 3, 4, 5, 5, 7, 7, 7};
    for (std::size_t max = 0; max < std::size(expected); ++max) {
        EXPECT_EQ(text::boundaryBefore(mixed, max), expected[max]) << max;
    }
}

TEST(TextBoundary, TrailBytesThatLookLikeLeadBytesAreNotLeads) {
    // 0x81 0x81 ("＝") twice: each second 0x81 is a trail byte.
    const std::string equals = "\x81\x81\x81\x81";
    EXPECT_EQ(text::boundaryBefore(equals, 1), 0u);
    EXPECT_EQ(text::boundaryBefore(equals, 2), 2u);
    EXPECT_EQ(text::boundaryBefore(equals, 3), 2u);
    EXPECT_EQ(text::boundaryBefore(equals, 4), 4u);
    // A backslash-like trail byte (0x5C) belongs to its lead.
    EXPECT_EQ(text::boundaryBefore("\x95\x5C\x5C", 2), 2u);
    EXPECT_EQ(text::boundaryBefore("\x95\x5C\x5C", 1), 0u);
}

TEST(TextBoundary, LeadByteWithoutTrailIsLeftOut) {
    EXPECT_EQ(text::boundaryBefore("AB\x82", 10), 2u);
    EXPECT_EQ(text::boundaryBefore("AB\x82", 3), 2u);
    EXPECT_EQ(text::boundaryBefore("\xE0", 1), 0u);
    EXPECT_EQ(text::boundaryBefore("", 5), 0u);
}

TEST(TextBoundary, TruncationToAFieldOf255Bytes) {
    std::string name = "x";
    for (int i = 0; i < 200; ++i) name += "\x83\x6C";  // ネ
    const std::string_view cut = text::truncateCp932(name, 255);
    EXPECT_EQ(cut.size(), 255u);  // "x" and 127 whole characters
    EXPECT_EQ(text::truncateCp932(name.substr(1), 255).size(), 254u);
    EXPECT_EQ(text::truncateCp932("short", 255), "short");
}

}  // namespace

// Each thread converts with converters of its own, which a cut sequence at
// the end of one text must not leave in a state that changes the next.
TEST(TextConversion, ThreadsConvertAtOnceEachTextOnItsOwn) {
    const std::string cp932 = text::utf8ToCp932("信号の履歴 ｱｲｳ");
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                if (text::cp932ToUtf8(cp932 + "\x82") != "信号の履歴 ｱｲｳ\xEF\xBF\xBD") ++wrong;
                if (text::cp932ToUtf16(cp932) != u"信号の履歴 ｱｲｳ") ++wrong;
                if (text::utf16ToCp932(u"信号の履歴 ｱｲｳ") != cp932) ++wrong;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
}
