// The lines a save writes, and that every line reads back as written.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "store/settings_lines.h"

namespace {

constexpr store::SettingsKeySet kelvaneKeys{3, 3, true};
constexpr store::SettingsKeySet sorrelKeys{5, 0, false};

store::SettingsSnapshot kelvaneFirstStart() {
    store::SettingsSnapshot snapshot;
    snapshot.titleText = "Kelvane";
    snapshot.ports = {"10003", "", "", ""};
    snapshot.destPort = "10003";
    snapshot.inputNames = {"DI1", "DI2", "DI3"};
    snapshot.outputNames = {"DO1", "DO2", "DO3"};
    snapshot.logPath = "C:\\Monitor\\Kelvane.csv";
    return snapshot;
}

TEST(SettingsFileText, KelvaneFirstStartWritesItsFifteenLines) {
    EXPECT_EQ(store::settingsFileText(kelvaneFirstStart()),
              "#$TITLEBAR=Kelvane\n"
              "#$PORT=10003\n"
              "#$PORT2=\n"
              "#$PORT3=\n"
              "#$PORT4=\n"
              "#$SEND=10003\n"
              "#$DI1=DI1\n"
              "#$DI2=DI2\n"
              "#$DI3=DI3\n"
              "#$DO1=DO1\n"
              "#$DO2=DO2\n"
              "#$DO3=DO3\n"
              "#$LOGGING=OFF\n"
              "#$SERVER=STOP\n"
              "#$LOGFILENAME=C:\\Monitor\\Kelvane.csv\n");
}

TEST(SettingsFileText, SorrelWritesThirteenLinesWithoutKelvaneKeys) {
    store::SettingsSnapshot snapshot;
    snapshot.titleText = "Line 4";
    snapshot.ports = {"10003", "10004", "", "20000"};
    snapshot.inputNames = {"DI1", "DI2", "DI3", "DI4", "DI5"};
    snapshot.logging = true;
    snapshot.serverRunning = true;
    snapshot.logPath = "/home/op/Sorrel.csv";
    EXPECT_EQ(store::settingsFileText(snapshot),
              "#$TITLEBAR=Line 4\n"
              "#$PORT=10003\n"
              "#$PORT2=10004\n"
              "#$PORT3=\n"
              "#$PORT4=20000\n"
              "#$DI1=DI1\n"
              "#$DI2=DI2\n"
              "#$DI3=DI3\n"
              "#$DI4=DI4\n"
              "#$DI5=DI5\n"
              "#$LOGGING=ON\n"
              "#$SERVER=START\n"
              "#$LOGFILENAME=/home/op/Sorrel.csv\n");
}

using store::SettingChange;
using T = store::SettingTarget;
using LineReading = std::pair<std::string, std::vector<SettingChange>>;

// Each line a save writes, and what reading that line back changes, worked
// out by hand.
TEST(SettingsFileText, EveryLineASaveWritesReadsBackAsTheValueItHolds) {
    store::SettingsSnapshot kelvane = kelvaneFirstStart();
    kelvane.titleText = "A=B \x93\xfa\x95\x74";
    kelvane.ports = {"1024", "65535", "", "abc"};
    kelvane.destPort = "";
    kelvane.inputNames = {"\x83\x7c\x83\x93\x83\x76", "a,b", ""};
    kelvane.outputNames = {"12345678901234567890", "DO=2", " "};
    kelvane.logging = true;
    kelvane.serverRunning = true;
    const LineReading lines[] = {
        {"#$TITLEBAR=A=B \x93\xfa\x95\x74", {{T::TitleText, 0, "A=B \x93\xfa\x95\x74"}}},
        {"#$PORT=1024", {{T::PortEdit, 0, "1024"}}},
        {"#$PORT2=65535", {{T::PortEdit, 1, "65535"}}},
        {"#$PORT3=", {{T::PortEdit, 2, ""}}},
        {"#$PORT4=abc", {{T::PortEdit, 3, "abc"}}},
        {"#$SEND=", {{T::DestPortEdit, 0, ""}}},
        {"#$DI1=\x83\x7c\x83\x93\x83\x76", {{T::InputName, 0, "\x83\x7c\x83\x93\x83\x76"}}},
        {"#$DI2=a,b", {{T::InputName, 1, "a,b"}}},
        {"#$DI3=", {{T::InputName, 2, ""}}},
        {"#$DO1=12345678901234567890", {{T::OutputName, 0, "12345678901234567890"}}},
        {"#$DO2=DO=2", {{T::OutputName, 1, "DO=2"}}},
        {"#$DO3= ", {{T::OutputName, 2, " "}}},
        {"#$LOGGING=ON", {{T::LoggingCheck, 0, "", true}}},
        {"#$SERVER=START", {{T::ServerStart, 0, "", true}}},
        {"#$LOGFILENAME=C:\\Monitor\\Kelvane.csv", {{T::LogPath, 0, "C:\\Monitor\\Kelvane.csv"}}},
    };
    std::string text;
    for (const auto& [line, changes] : lines) {
        text.append(line).push_back('\n');
        EXPECT_EQ(store::readSettingsLine(line + "\r\n", kelvaneKeys), changes) << line;
    }
    EXPECT_EQ(store::settingsFileText(kelvane), text);
}

TEST(SettingsFileText, FilesMoveBetweenTheProgramsWithOnlySharedKeysApplied) {
    const LineReading inSorrel[] = {
        {"#$SEND=10003", {}},
        {"#$DO1=DO1", {}},
        {"#$DI3=DI3", {{T::InputName, 2, "DI3"}}},
        {"#$LOGGING=OFF", {{T::LoggingCheck, 0, "", false}}},
        {"#$SERVER=STOP", {}},
    };
    for (const auto& [line, changes] : inSorrel) {
        EXPECT_EQ(store::readSettingsLine(line, sorrelKeys), changes) << line;
    }
    const LineReading inKelvane[] = {
        {"#$DI3=c", {{T::InputName, 2, "c"}}},
        {"#$DI4=d", {}},
        {"#$DI5=e", {}},
    };
    for (const auto& [line, changes] : inKelvane) {
        EXPECT_EQ(store::readSettingsLine(line, kelvaneKeys), changes) << line;
    }
}

}  // namespace
