// The lines a save writes, and that every line reads back as written.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

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

// Applies a whole file, line by line, to an empty snapshot of the same shape.
store::SettingsSnapshot readBack(const std::string& fileText, const store::SettingsKeySet& keys) {
    store::SettingsSnapshot result;
    if (keys.hasDestPort) result.destPort = "";
    result.inputNames.resize(keys.inputCount);
    result.outputNames.resize(keys.outputCount);
    std::istringstream lines(fileText);
    for (std::string line; std::getline(lines, line);) {
        for (const auto& change : store::readSettingsLine(line, keys)) {
            using T = store::SettingTarget;
            switch (change.target) {
                case T::PortEdit:
                    result.ports[change.index] = change.text;
                    break;
                case T::DestPortEdit:
                    result.destPort = change.text;
                    break;
                case T::InputName:
                    result.inputNames[change.index] = change.text;
                    break;
                case T::OutputName:
                    result.outputNames[change.index] = change.text;
                    break;
                case T::LoggingCheck:
                    result.logging = change.on;
                    break;
                case T::ServerStart:
                    result.serverRunning = true;
                    break;
                case T::LogPath:
                    result.logPath = change.text;
                    break;
                case T::TitleText:
                    result.titleText = change.text;
                    break;
            }
        }
    }
    return result;
}

void expectSameSnapshot(const store::SettingsSnapshot& a, const store::SettingsSnapshot& b) {
    EXPECT_EQ(a.titleText, b.titleText);
    EXPECT_EQ(a.ports, b.ports);
    EXPECT_EQ(a.destPort, b.destPort);
    EXPECT_EQ(a.inputNames, b.inputNames);
    EXPECT_EQ(a.outputNames, b.outputNames);
    EXPECT_EQ(a.logging, b.logging);
    EXPECT_EQ(a.serverRunning, b.serverRunning);
    EXPECT_EQ(a.logPath, b.logPath);
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

TEST(SettingsFileText, ASavedSetUpReadsBackUnchanged) {
    store::SettingsSnapshot kelvane = kelvaneFirstStart();
    kelvane.titleText = "A=B \x93\xfa\x95\x74";
    kelvane.ports = {"1024", "65535", "", "abc"};
    kelvane.destPort = "";
    kelvane.inputNames = {"\x83\x7c\x83\x93\x83\x76", "a,b", ""};
    kelvane.outputNames = {"12345678901234567890", "DO=2", " "};
    kelvane.logging = true;
    kelvane.serverRunning = true;
    expectSameSnapshot(readBack(store::settingsFileText(kelvane), kelvaneKeys), kelvane);

    store::SettingsSnapshot sorrel;
    sorrel.titleText = "Sorrel";
    sorrel.ports = {"10003", "10004", "10005", "10006"};
    sorrel.inputNames = {"1", "2", "3", "4", "5"};
    sorrel.logPath = "/tmp/a=b.csv";
    expectSameSnapshot(readBack(store::settingsFileText(sorrel), sorrelKeys), sorrel);
}

TEST(SettingsFileText, FilesMoveBetweenTheProgramsWithOnlySharedKeysApplied) {
    const store::SettingsSnapshot inSorrel =
        readBack(store::settingsFileText(kelvaneFirstStart()), sorrelKeys);
    EXPECT_EQ(inSorrel.inputNames, (std::vector<std::string>{"DI1", "DI2", "DI3", "", ""}));
    EXPECT_EQ(inSorrel.titleText, "Kelvane");
    EXPECT_EQ(inSorrel.ports[0], "10003");

    store::SettingsSnapshot sorrel;
    sorrel.inputNames = {"a", "b", "c", "d", "e"};
    const store::SettingsSnapshot inKelvane =
        readBack(store::settingsFileText(sorrel), kelvaneKeys);
    EXPECT_EQ(inKelvane.inputNames, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(inKelvane.destPort, "");
}

}  // namespace
