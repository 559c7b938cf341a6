// The settings line reader: what one line of a settings file changes.
#include <gtest/gtest.h>

#include <string>

#include "store/settings_lines.h"

namespace {

using store::readSettingsLine;
using store::SettingChange;
using store::SettingTarget;
using Changes = std::vector<SettingChange>;

constexpr store::SettingsKeySet kelvaneKeys{3, 3, true};
constexpr store::SettingsKeySet sorrelKeys{5, 0, false};

SettingChange textChange(SettingTarget target, int index, std::string text) {
    return SettingChange{target, index, std::move(text), false};
}

SettingChange logging(bool on) {
    return SettingChange{SettingTarget::LoggingCheck, 0, {}, on};
}

const SettingChange serverStart{SettingTarget::ServerStart, 0, {}, true};

TEST(SettingsLineReader, EachKeySetsOnlyItsOwnField) {
    EXPECT_EQ(readSettingsLine("#$PORT=10003", kelvaneKeys),
              Changes{textChange(SettingTarget::PortEdit, 0, "10003")});
    EXPECT_EQ(readSettingsLine("#$PORT2=10004", kelvaneKeys),
              Changes{textChange(SettingTarget::PortEdit, 1, "10004")});
    EXPECT_EQ(readSettingsLine("#$PORT3=1", kelvaneKeys),
              Changes{textChange(SettingTarget::PortEdit, 2, "1")});
    EXPECT_EQ(readSettingsLine("#$PORT4=65535", kelvaneKeys),
              Changes{textChange(SettingTarget::PortEdit, 3, "65535")});
    EXPECT_EQ(readSettingsLine("#$SEND=10005", kelvaneKeys),
              Changes{textChange(SettingTarget::DestPortEdit, 0, "10005")});
    EXPECT_EQ(readSettingsLine("#$DI2=Pump", kelvaneKeys),
              Changes{textChange(SettingTarget::InputName, 1, "Pump")});
    EXPECT_EQ(readSettingsLine("#$DI5=Fan", sorrelKeys),
              Changes{textChange(SettingTarget::InputName, 4, "Fan")});
    EXPECT_EQ(readSettingsLine("#$DO3=Valve", kelvaneKeys),
              Changes{textChange(SettingTarget::OutputName, 2, "Valve")});
    EXPECT_EQ(readSettingsLine("#$LOGFILENAME=C:\\Monitor\\Kelvane.csv", kelvaneKeys),
              Changes{textChange(SettingTarget::LogPath, 0, "C:\\Monitor\\Kelvane.csv")});
    EXPECT_EQ(readSettingsLine("#$TITLEBAR=Line 1", sorrelKeys),
              Changes{textChange(SettingTarget::TitleText, 0, "Line 1")});
}

TEST(SettingsLineReader, LinesWithoutAKnownKeyChangeNothing) {
    EXPECT_TRUE(readSettingsLine("", kelvaneKeys).empty());
    EXPECT_TRUE(readSettingsLine("PORT=10003", kelvaneKeys).empty());
    EXPECT_TRUE(readSettingsLine("#$port=10003", kelvaneKeys).empty());
    EXPECT_TRUE(readSettingsLine("#$PORT5=10003", kelvaneKeys).empty());
    // The "=" belongs to every key: a key never matches a longer one.
    EXPECT_TRUE(readSettingsLine("#$DI12=x", sorrelKeys).empty());
}

TEST(SettingsLineReader, ValuesAreTakenWholeAndUntrimmed) {
    EXPECT_EQ(readSettingsLine("#$TITLEBAR=A=B", kelvaneKeys),
              Changes{textChange(SettingTarget::TitleText, 0, "A=B")});
    EXPECT_EQ(readSettingsLine("#$PORT2=", kelvaneKeys),
              Changes{textChange(SettingTarget::PortEdit, 1, "")});
    EXPECT_EQ(readSettingsLine("#$TITLEBAR= x ", kelvaneKeys),
              Changes{textChange(SettingTarget::TitleText, 0, " x ")});
}

TEST(SettingsLineReader, AKeyInsideTheLineCutsItsLengthFromTheLineStart) {
    EXPECT_EQ(readSettingsLine("  #$PORT=10003", kelvaneKeys),
              Changes{textChange(SettingTarget::PortEdit, 0, "T=10003")});
}

TEST(SettingsLineReader, LaterKeysAreTestedAgainstTheShortenedLine) {
    EXPECT_EQ(readSettingsLine("#$PORT=#$PORT2=5", kelvaneKeys),
              (Changes{textChange(SettingTarget::PortEdit, 0, "#$PORT2=5"),
                       textChange(SettingTarget::PortEdit, 1, "5")}));
    // Cutting the port key's seven bytes breaks the title key that follows.
    EXPECT_EQ(readSettingsLine("#$TITLEBAR=#$PORT=9", kelvaneKeys),
              Changes{textChange(SettingTarget::PortEdit, 0, "BAR=#$PORT=9")});
}

TEST(SettingsLineReader, CrAndLfBytesAreRemovedWhereverTheyStand) {
    EXPECT_EQ(readSettingsLine("#$PORT=10003\r\n", kelvaneKeys),
              Changes{textChange(SettingTarget::PortEdit, 0, "10003")});
    EXPECT_EQ(readSettingsLine("#$PORT=100\r03", kelvaneKeys),
              Changes{textChange(SettingTarget::PortEdit, 0, "10003")});
    EXPECT_EQ(readSettingsLine("#$TITLE\nBAR=X", kelvaneKeys),
              Changes{textChange(SettingTarget::TitleText, 0, "X")});
}

TEST(SettingsLineReader, LoggingIsTickedOnlyByACapitalOnPrefix) {
    EXPECT_EQ(readSettingsLine("#$LOGGING=ON", kelvaneKeys), Changes{logging(true)});
    EXPECT_EQ(readSettingsLine("#$LOGGING=ONLINE", kelvaneKeys), Changes{logging(true)});
    EXPECT_EQ(readSettingsLine("#$LOGGING=on", kelvaneKeys), Changes{logging(false)});
    EXPECT_EQ(readSettingsLine("#$LOGGING=OFF", kelvaneKeys), Changes{logging(false)});
    EXPECT_EQ(readSettingsLine("#$LOGGING=O", kelvaneKeys), Changes{logging(false)});
    EXPECT_EQ(readSettingsLine("#$LOGGING=", kelvaneKeys), Changes{logging(false)});
}

TEST(SettingsLineReader, OnlyACapitalStartPrefixRequestsTheServer) {
    EXPECT_EQ(readSettingsLine("#$SERVER=START", sorrelKeys), Changes{serverStart});
    EXPECT_EQ(readSettingsLine("#$SERVER=STARTED", sorrelKeys), Changes{serverStart});
    EXPECT_TRUE(readSettingsLine("#$SERVER=start", sorrelKeys).empty());
    EXPECT_TRUE(readSettingsLine("#$SERVER=STAR", sorrelKeys).empty());
    EXPECT_TRUE(readSettingsLine("#$SERVER=STOP", sorrelKeys).empty());
}

TEST(SettingsLineReader, NamesAreCutToTwentyBytesOnACharacterBoundary) {
    EXPECT_EQ(readSettingsLine("#$DI1=ABCDEFGHIJKLMNOPQRSTUVWXY", kelvaneKeys),
              Changes{textChange(SettingTarget::InputName, 0, "ABCDEFGHIJKLMNOPQRST")});
    // 19 single bytes and then a double-byte character: it would need bytes
    // 20 and 21, so the name ends before it.
    EXPECT_EQ(readSettingsLine("#$DO2=1234567890123456789\x82\xa0", kelvaneKeys),
              Changes{textChange(SettingTarget::OutputName, 1, "1234567890123456789")});
    // Ten double-byte characters fill the limit exactly.
    const std::string tenWide =
        "\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8"
        "\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8";
    EXPECT_EQ(readSettingsLine("#$DI3=" + tenWide + "\x82\xa0", kelvaneKeys),
              Changes{textChange(SettingTarget::InputName, 2, tenWide)});
    // Ports, paths and the title are not limited.
    const std::string longTitle(300, 'T');
    EXPECT_EQ(readSettingsLine("#$TITLEBAR=" + longTitle, kelvaneKeys),
              Changes{textChange(SettingTarget::TitleText, 0, longTitle)});
}

TEST(SettingsLineReader, EachProgramIgnoresTheOtherProgramsKeys) {
    EXPECT_TRUE(readSettingsLine("#$SEND=10003", sorrelKeys).empty());
    EXPECT_TRUE(readSettingsLine("#$DO1=DO1", sorrelKeys).empty());
    EXPECT_TRUE(readSettingsLine("#$DI4=DI4", kelvaneKeys).empty());
    EXPECT_TRUE(readSettingsLine("#$DI5=DI5", kelvaneKeys).empty());
}

TEST(SettingsLineReader, AnyBytesPassThroughUnchanged) {
    const std::string withNul("#$TITLEBAR=a\0b\xff\x81", 16);
    EXPECT_EQ(readSettingsLine(withNul, kelvaneKeys),
              Changes{textChange(SettingTarget::TitleText, 0, std::string("a\0b\xff\x81", 5))});
    // A name within the limit is taken whole, even one ending in a lone lead byte.
    EXPECT_EQ(readSettingsLine("#$DI1=ab\x82", kelvaneKeys),
              Changes{textChange(SettingTarget::InputName, 0, "ab\x82")});
}

}  // namespace
