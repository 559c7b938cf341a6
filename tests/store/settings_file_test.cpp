// The settings file and the pointer as files, with no window: a read gives
// back what a save wrote, line by line in the file's order, and refuses
// what lies beyond a settings file's bounds.
#include "store/settings_file.h"

#include "store/program_keys.h"
#include "support/monitor_fixture.h"

namespace {

using store::SettingChange;
using store::SettingTarget;

class SettingsFileRoom : public MonitorTest {};

TEST_F(SettingsFileRoom, AReadGivesBackEveryLineASaveWroteInItsOrder) {
    store::SettingsSnapshot snapshot;
    snapshot.titleText = "Line 4";
    snapshot.ports = {"10003", "", "", "20000"};
    if (store::programHasDestPort) snapshot.destPort = "10005";
    snapshot.inputNames.assign(variant::inputCount, "in");
    snapshot.outputNames.assign(variant::outputCount, "out");
    snapshot.logging = true;
    snapshot.serverRunning = true;
    snapshot.logPath = "log.csv";
    ASSERT_TRUE(store::writeSettingsFile(pathOf("a.set"), snapshot));
    EXPECT_EQ(readFile("a.set"), [&] {
        std::string crlf;
        for (const char c : store::settingsFileText(snapshot)) {
            if (c == '\n') crlf += '\r';
            crlf += c;
        }
        return crlf;
    }());

    const auto read = store::readSettingsFile(pathOf("a.set"), store::programSettingsKeys);
    ASSERT_TRUE(read.has_value());
    // The title, four ports, the destination port where there is one, the
    // names, logging, the server and the log file.
    ASSERT_EQ(read->size(), 8u + variant::inputCount + variant::outputCount +
                                (store::programHasDestPort ? 1u : 0u));
    EXPECT_EQ(read->front().text, "#$TITLEBAR=Line 4");
    EXPECT_EQ(read->front().changes,
              (std::vector<SettingChange>{{SettingTarget::TitleText, 0, "Line 4", false}}));
    EXPECT_EQ((*read)[4].changes,
              (std::vector<SettingChange>{{SettingTarget::PortEdit, 3, "20000", false}}));
    EXPECT_EQ(read->back().changes,
              (std::vector<SettingChange>{{SettingTarget::LogPath, 0, "log.csv", false}}));
}

TEST_F(SettingsFileRoom, AFileBeyondTheBoundsOrMissingIsNoSettingsAtAll) {
    writeFile("big.set", "#$TITLEBAR=x\r\n" + std::string(store::maxSettingsFileBytes, 'a'));
    EXPECT_FALSE(store::readSettingsFile(pathOf("big.set"), store::programSettingsKeys));
    EXPECT_FALSE(store::readSettingsFile(pathOf("none.set"), store::programSettingsKeys));
    writeFile("empty.set", "");
    EXPECT_EQ(store::readSettingsFile(pathOf("empty.set"), store::programSettingsKeys),
              std::vector<store::SettingsFileLine>{});
}

TEST_F(SettingsFileRoom, ThePointerNamesItsFirstLineOnly) {
    ASSERT_TRUE(store::writeSettingsPointer(pathOf("p.ini"), pathOf("a.set")));
    EXPECT_EQ(store::readSettingsPointer(pathOf("p.ini")), pathOf("a.set"));
    writeFile("two.ini", "first.set\r\nsecond.set\r\n");
    EXPECT_EQ(store::readSettingsPointer(pathOf("two.ini")), "first.set");
    writeFile("empty.ini", "");
    EXPECT_EQ(store::readSettingsPointer(pathOf("empty.ini")), std::nullopt);
    EXPECT_EQ(store::readSettingsPointer(pathOf("none.ini")), std::nullopt);
}

}  // namespace
