// The simulator's hex bytes, script files, command line and round-trip
// figures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device_sim/hex.h"
#include "device_sim/options.h"
#include "device_sim/percentiles.h"
#include "device_sim/script.h"

namespace {

using devsim::Action;
using devsim::Bytes;
using devsim::Mode;

TEST(DeviceSimHex, AcceptsTheUsualSpellings) {
    const Bytes frame{0xFA, 0xF0, 0x05};
    for (const char* text : {"FA F0 05", "fa,f0,05", "FAF005", "0xFA 0xF0 0x05", "  FA\tF0  5 "}) {
        auto bytes = devsim::parseHex(text);
        ASSERT_TRUE(bytes.has_value()) << text;
        EXPECT_EQ(*bytes, frame) << text;
    }
    EXPECT_EQ(devsim::parseHex("0x5"), (Bytes{0x05}));
}

TEST(DeviceSimHex, RejectsWhatIsNotHexBytes) {
    for (const char* text : {"", "  ", "FG", "FA0", "0x", "0x123", "FA;F0", "-1", "F A0 x"}) {
        EXPECT_FALSE(devsim::parseHex(text).has_value()) << text;
    }
}

TEST(DeviceSimHex, FormatsUpperCaseWithBlanks) {
    EXPECT_EQ(devsim::formatHex(Bytes{0xFA, 0x0F, 0x00}), "FA 0F 00");
    EXPECT_EQ(devsim::formatHex(Bytes{}), "");
}

TEST(DeviceSimScript, ReadsEveryCommand) {
    auto script = devsim::parseScript(
        "# a device that stutters\r\n"
        "send FA F0 05\r\n"
        "\n"
        "splitgap 50   # slower\n"
        "sendsplit FC 02 02\n"
        "pause 100\n"
        "garbage 3\n"
        "wait\n"
        "expect F0 05\n"
        "  expect close");
    ASSERT_EQ(script.error, "");
    std::vector<Action> wanted{
        {Action::Kind::Send, {0xFA, 0xF0, 0x05}, 0},
        {Action::Kind::SplitGap, {}, 50},
        {Action::Kind::SendSplit, {0xFC, 0x02, 0x02}, 0},
        {Action::Kind::Pause, {}, 100},
        {Action::Kind::Garbage, {}, 3},
        {Action::Kind::Wait, {}, 0},
        {Action::Kind::Expect, {0xF0, 0x05}, 0},
        {Action::Kind::ExpectClose, {}, 0},
    };
    EXPECT_EQ(script.actions, wanted);

    EXPECT_EQ(devsim::parseScript("send 01\nclose\n").actions.back().kind, Action::Kind::Close);
    EXPECT_EQ(devsim::parseScript("reset").actions.back().kind, Action::Kind::Reset);
    EXPECT_TRUE(devsim::parseScript("# only a comment\n\n").actions.empty());
}

TEST(DeviceSimScript, ReportsTheFirstBadLine) {
    struct Case {
        const char* text;
        int line;
    };
    for (const Case& c : std::vector<Case>{
             {"send FA\nsnd F0 05\n", 2},
             {"send\n", 1},
             {"send FA\n\nsend XY\n", 3},
             {"pause -1\n", 1},
             {"pause 3600001\n", 1},
             {"pause 10ms\n", 1},
             {"garbage 0\n", 1},
             {"wait 5\n", 1},
             {"close now\n", 1},
             {"send 01\nclose\nsend 02\n", 3},
             {"reset\n# fine\npause 1\n", 3},
             {"expect close\nexpect F0 00\n", 2},
         }) {
        auto script = devsim::parseScript(c.text);
        EXPECT_NE(script.error, "") << c.text;
        EXPECT_EQ(script.errorLine, c.line) << c.text;
        EXPECT_TRUE(script.actions.empty()) << c.text;
    }
}

devsim::ParsedOptions parse(std::vector<std::string> args) {
    return devsim::parseOptions(args);
}

TEST(DeviceSimOptions, DefaultsPlayOneDeviceOnTheDefaultPort) {
    auto parsed = parse({});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.mode, Mode::Device);
    EXPECT_EQ(parsed.options.connectAddress, "127.0.0.1");
    EXPECT_EQ(parsed.options.connectPort, 10003);
    EXPECT_EQ(parsed.options.variant, devsim::Variant::Kelvane);
    EXPECT_FALSE(parsed.options.expectReplies);
}

TEST(DeviceSimOptions, ChoosesTheModeFromTheOptions) {
    auto device = parse({"--connect", "198.51.100.10:10004", "--send", "FA F0 05", "--send",
                         "FC0202", "--variant", "sorrel", "--expect-replies", "--bind",
                         "198.51.100.20", "--listen", "10005"});
    ASSERT_EQ(device.error, "");
    EXPECT_EQ(device.options.mode, Mode::Device);
    EXPECT_EQ(device.options.connectAddress, "198.51.100.10");
    EXPECT_EQ(device.options.connectPort, 10004);
    EXPECT_EQ(device.options.sends, (std::vector<Bytes>{{0xFA, 0xF0, 0x05}, {0xFC, 0x02, 0x02}}));
    EXPECT_EQ(device.options.variant, devsim::Variant::Sorrel);
    EXPECT_TRUE(device.options.expectReplies);
    EXPECT_EQ(device.options.bindAddress, "198.51.100.20");
    EXPECT_EQ(device.options.listenPort, 10005);

    auto listen = parse({"--listen", "10005", "--outputs", "2", "--duration", "5"});
    ASSERT_EQ(listen.error, "");
    EXPECT_EQ(listen.options.mode, Mode::Listen);
    EXPECT_EQ(listen.options.outputFrames, 2);

    auto load = parse({"--connections", "8", "--rate", "100"});
    ASSERT_EQ(load.error, "");
    EXPECT_EQ(load.options.mode, Mode::Load);
    EXPECT_EQ(load.options.connections, 8);
    EXPECT_DOUBLE_EQ(load.options.rate, 100);
    EXPECT_DOUBLE_EQ(load.options.duration, 10);  // the default length of a load run

    auto counted = parse({"--connections", "1", "--frames", "10000"});
    ASSERT_EQ(counted.error, "");
    EXPECT_DOUBLE_EQ(counted.options.duration, 0);
    EXPECT_EQ(counted.options.framesPerConnection, 10000);

    EXPECT_EQ(parse({"--send", "01", "--help"}).options.mode, Mode::Help);
}

TEST(DeviceSimOptions, RejectsUnsoundCommandLines) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--frobnicate"},
             {"--send"},
             {"--send", "F0 0G"},
             {"--connect", "localhost:10003"},
             {"--connect", "127.0.0.1"},
             {"--connect", "127.0.0.1:0"},
             {"--connect", "127.0.0.1:65536"},
             {"--connect", "127.0.0.256:10003"},
             {"--bind", "1.2.3"},
             {"--variant", "Kelvane"},
             {"--reply-timeout", "0"},
             {"--listen", "70000"},
             {"--outputs", "3"},
             {"--rate", "10"},
             {"--frames", "10"},
             {"--connections", "0"},
             {"--connections", "2", "--send", "FA F0 00"},
             {"--connections", "2", "--listen", "10005"},
             {"--send", "01", "--script", "a.txt"},
             {"--hold", "-2"},
         }) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        EXPECT_NE(parse(args).error, "") << joined;
    }
}

TEST(DeviceSimOptions, HelpNamesEveryOptionAndExitStatus) {
    const std::string help = devsim::helpText();
    for (const char* option :
         {"--connect", "--bind", "--send", "--script", "--variant", "--expect-replies",
          "--reply-timeout", "--settle", "--hold", "--seed", "--quiet", "--listen", "--outputs",
          "--duration", "--connections", "--rate", "--frames", "--help"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    for (const char* command : {"send ", "sendsplit ", "splitgap ", "pause ", "garbage ", "wait ",
                                "expect ", "expect close", "close ", "reset ", "# "}) {
        EXPECT_NE(help.find(std::string("\n  ") + command), std::string::npos) << command;
    }
    for (const char* status : {"\n  0  ", "\n  1  ", "\n  2  ", "\n  3  "}) {
        EXPECT_NE(help.find(status), std::string::npos) << status;
    }
}

TEST(DeviceSimPercentiles, NearestRank) {
    std::vector<double> samples;
    for (int i = 100; i >= 1; --i) samples.push_back(i);
    auto summary = devsim::summarise(samples);
    EXPECT_EQ(summary.count, 100u);
    EXPECT_DOUBLE_EQ(summary.median, 50);
    EXPECT_DOUBLE_EQ(summary.p90, 90);
    EXPECT_DOUBLE_EQ(summary.p99, 99);
    EXPECT_DOUBLE_EQ(summary.max, 100);

    auto single = devsim::summarise({7.5});
    EXPECT_DOUBLE_EQ(single.median, 7.5);
    EXPECT_DOUBLE_EQ(single.p99, 7.5);
    EXPECT_EQ(devsim::summarise({}).count, 0u);
}

}  // namespace
