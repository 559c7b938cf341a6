// The adapter table over made-up IP configurations: which interfaces and
// addresses give rows, the names they carry, the limits, and the failures
// that end the program.
#include "window/adapter_table.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "platform/iphelp_fake.h"
#include "platform/text.h"
#include "support/monitor_fixture.h"

using iphelp::fake::connectedInterface;
using iphelp::fake::ipv4;

namespace {

const std::uint32_t mask24 = ipv4(255, 255, 255, 0);

class AdapterTableTest : public ::testing::Test {
protected:
    // Ten interfaces, none usable yet, and no address.
    void SetUp() override {
        auto& t = iphelp::fake::tables();
        t = iphelp::fake::Tables{};
        for (std::uint32_t index = 1; index <= 10; ++index) {
            iphelp::IfRow row = connectedInterface(index, "if" + std::to_string(index));
            row.operStatus = iphelp::operStatusDisconnected;
            t.interfaces.push_back(row);
        }
    }
    void TearDown() override { iphelp::fake::tables() = iphelp::fake::standardTables(); }

    static iphelp::IfRow& interface(std::uint32_t index) {
        for (auto& row : iphelp::fake::tables().interfaces) {
            if (row.index == index) return row;
        }
        ADD_FAILURE() << "no interface " << index;
        return iphelp::fake::tables().interfaces.front();
    }
    static void makeUsable(std::uint32_t index, const char* description) {
        interface(index) = connectedInterface(index, description);
    }
    static void addAddress(std::uint32_t address, std::uint32_t index,
                           std::uint32_t mask = mask24) {
        iphelp::fake::tables().addresses.push_back({address, index, mask});
    }
    static void addAdapter(std::uint32_t index, std::u16string name) {
        iphelp::fake::tables().adapters.push_back({index, std::move(name)});
    }

    int build() { return buildAdapterTable(table); }

    std::array<AdapterEntry, maxAdapters> table{};
};

TEST_F(AdapterTableTest, OneEthernetAdapterAmongTenInterfaces) {
    makeUsable(2, "Intel(R) Ethernet");
    addAddress(ipv4(192, 168, 1, 10), 2);
    addAdapter(1, u"Loopback");
    addAdapter(2, u"イーサネット");
    ASSERT_EQ(build(), 1);
    EXPECT_EQ(table[0].ifIndex, 2u);
    EXPECT_STREQ(table[0].description, "Intel(R) Ethernet");
    EXPECT_EQ(table[0].friendlyName, text::jp("イーサネット"));
    EXPECT_EQ(table[0].address, ipv4(192, 168, 1, 10));
    EXPECT_EQ(table[0].mask, mask24);

    const auto& t = iphelp::fake::tables();
    EXPECT_EQ(t.lastAdaptersFamily, iphelp::familyUnspecified);
    EXPECT_EQ(t.lastAdaptersFlags, iphelp::flagIncludePrefix);
    EXPECT_EQ(t.adaptersCalls, 2);
}

TEST_F(AdapterTableTest, EachAddressOfAnInterfaceIsARowWithTheSameName) {
    makeUsable(3, "eth");
    makeUsable(5, "wlan");
    addAddress(ipv4(10, 0, 0, 1), 3);
    addAddress(ipv4(172, 16, 0, 1), 5);
    addAddress(ipv4(10, 0, 1, 1), 3, ipv4(255, 255, 0, 0));
    addAdapter(3, u"有線");
    addAdapter(5, u"無線");
    ASSERT_EQ(build(), 3);
    // Rows follow the address table, not the interfaces.
    EXPECT_EQ(table[0].address, ipv4(10, 0, 0, 1));
    EXPECT_EQ(table[1].address, ipv4(172, 16, 0, 1));
    EXPECT_EQ(table[2].address, ipv4(10, 0, 1, 1));
    EXPECT_EQ(table[2].mask, ipv4(255, 255, 0, 0));
    EXPECT_EQ(table[0].friendlyName, text::jp("有線"));
    EXPECT_EQ(table[2].friendlyName, text::jp("有線"));
    EXPECT_EQ(table[1].friendlyName, text::jp("無線"));
    EXPECT_STREQ(table[2].description, "eth");
}

TEST_F(AdapterTableTest, OnlyConnectedOrOperationalInterfacesGiveRows) {
    const std::uint32_t statuses[] = {0, 1, 2, 3, 4, 5, 6, 7};
    for (std::uint32_t i = 0; i < 8; ++i) {
        makeUsable(i + 1, "if");
        interface(i + 1).operStatus = statuses[i];
        addAddress(ipv4(10, 0, 0, static_cast<int>(i + 1)), i + 1);
    }
    addAdapter(4, u"a");
    ASSERT_EQ(build(), 2);
    EXPECT_EQ(table[0].ifIndex, 5u);  // connected
    EXPECT_EQ(table[1].ifIndex, 6u);  // operational
}

TEST_F(AdapterTableTest, InterfacesWithoutHardwareAddressOrWithTheSoftwareSpeedGiveNoRow) {
    makeUsable(1, "no hardware address");
    interface(1).physicalAddressLength = 0;
    makeUsable(2, "software interface");
    interface(2).speed = 0x40000000;
    makeUsable(3, "just below");
    interface(3).speed = 0x3FFFFFFF;
    makeUsable(4, "just above");
    interface(4).speed = 0x40000001;
    makeUsable(5, "speed unknown");
    interface(5).speed = 0;
    for (std::uint32_t index = 1; index <= 5; ++index) {
        addAddress(ipv4(10, 0, 0, static_cast<int>(index)), index);
    }
    addAdapter(1, u"a");
    ASSERT_EQ(build(), 3);
    EXPECT_EQ(table[0].ifIndex, 3u);
    EXPECT_EQ(table[1].ifIndex, 4u);
    EXPECT_EQ(table[2].ifIndex, 5u);
}

TEST_F(AdapterTableTest, OnlyTheExactLoopbackAddressIsSkipped) {
    makeUsable(1, "loop-like");
    addAddress(ipv4(127, 0, 0, 1), 1);
    addAddress(ipv4(127, 0, 0, 2), 1);
    addAddress(ipv4(127, 1, 0, 1), 1);
    addAddress(ipv4(1, 0, 0, 127), 1);
    addAdapter(1, u"x");
    ASSERT_EQ(build(), 3);
    EXPECT_EQ(table[0].address, ipv4(127, 0, 0, 2));
    EXPECT_EQ(table[1].address, ipv4(127, 1, 0, 1));
    EXPECT_EQ(table[2].address, ipv4(1, 0, 0, 127));
}

TEST_F(AdapterTableTest, IndexesBeyondTheInterfaceCountAreNeverAsked) {
    auto& t = iphelp::fake::tables();
    t.interfaces = {connectedInterface(1, "one"), connectedInterface(2, "two"),
                    connectedInterface(7, "seven")};
    addAddress(ipv4(10, 0, 0, 7), 7);
    addAddress(ipv4(10, 0, 0, 2), 2);
    addAdapter(7, u"x");
    ASSERT_EQ(build(), 1);
    EXPECT_EQ(table[0].ifIndex, 2u);
    EXPECT_EQ(t.entryQueries, (std::vector<std::uint32_t>{1, 2, 3}));
}

TEST_F(AdapterTableTest, AFailedEntrySkipsOnlyThatIndex) {
    makeUsable(2, "two");
    makeUsable(3, "three");
    addAddress(ipv4(10, 0, 0, 2), 2);
    addAddress(ipv4(10, 0, 0, 3), 3);
    addAdapter(2, u"x");
    iphelp::fake::tables().failingEntries = {2};
    ASSERT_EQ(build(), 1);
    EXPECT_EQ(table[0].ifIndex, 3u);
}

TEST_F(AdapterTableTest, AnInterfaceWithoutDescriptionGivesNoRow) {
    makeUsable(2, "");
    addAddress(ipv4(10, 0, 0, 2), 2);
    addAdapter(2, u"x");
    EXPECT_EQ(build(), 0);
}

TEST_F(AdapterTableTest, NamesComeFromTheAdapterListOrStayEmpty) {
    makeUsable(2, "no adapter");
    makeUsable(3, "empty name");
    makeUsable(4, "named twice");
    addAddress(ipv4(10, 0, 0, 2), 2);
    addAddress(ipv4(10, 0, 0, 3), 3);
    addAddress(ipv4(10, 0, 0, 4), 4);
    addAdapter(0, u"IPv6 only");
    addAdapter(3, u"");
    addAdapter(4, u"first");
    addAdapter(4, u"second");
    ASSERT_EQ(build(), 3);
    EXPECT_STREQ(table[0].friendlyName, "");
    EXPECT_STREQ(table[1].friendlyName, "");
    // Every adapter of the list is applied in turn; the last one stays.
    EXPECT_STREQ(table[2].friendlyName, "second");
}

TEST_F(AdapterTableTest, LongTextsAreCutAtACharacterBoundary) {
    makeUsable(2, "");
    iphelp::IfRow& row = interface(2);
    // 128 double-byte characters fill all 256 bytes, without a terminator.
    for (std::size_t i = 0; i < 256; i += 2) {
        row.description[i] = '\x83';
        row.description[i + 1] = '\x6C';
    }
    row.descriptionLength = 256;
    addAddress(ipv4(10, 0, 0, 2), 2);
    addAdapter(2, std::u16string(300, u'監'));
    ASSERT_EQ(build(), 1);
    std::string expectedDescription;
    for (int i = 0; i < 127; ++i) expectedDescription += "\x83\x6C";
    EXPECT_EQ(std::string(table[0].description), expectedDescription);
    std::string expectedName;
    for (int i = 0; i < 127; ++i) expectedName += "\x8A\xC4";
    EXPECT_EQ(std::string(table[0].friendlyName), expectedName);
    EXPECT_EQ(table[0].description[254], '\0');
    EXPECT_EQ(table[0].friendlyName[254], '\0');
}

TEST_F(AdapterTableTest, TheTableAndTheInterfaceListStopAt256) {
    auto& t = iphelp::fake::tables();
    t.interfaces.clear();
    for (std::uint32_t index = 1; index <= 300; ++index) {
        t.interfaces.push_back(connectedInterface(index, "if"));
    }
    // The addresses of interfaces 257 to 300 come first: those interfaces
    // are not in the list, so they give no rows.
    for (std::uint32_t index = 300; index >= 257; --index) {
        addAddress(ipv4(10, 1, static_cast<int>(index / 256), static_cast<int>(index % 256)),
                   index);
    }
    for (std::uint32_t index = 1; index <= 256; ++index) {
        addAddress(ipv4(10, 2, 0, static_cast<int>(index % 256)), index);
        addAddress(ipv4(10, 3, 0, static_cast<int>(index % 256)), index);
    }
    addAdapter(1, u"first");
    ASSERT_EQ(build(), 256);
    EXPECT_EQ(table[0].address, ipv4(10, 2, 0, 1));
    EXPECT_EQ(table[255].ifIndex, 128u);
    EXPECT_STREQ(table[0].friendlyName, "first");
    EXPECT_STREQ(table[1].friendlyName, "first");
}

TEST_F(AdapterTableTest, UnreadableTablesLeaveTheTableEmpty) {
    makeUsable(2, "eth");
    addAddress(ipv4(10, 0, 0, 2), 2);
    addAdapter(2, u"x");
    auto& t = iphelp::fake::tables();
    const auto check = [&](auto&& spoil) {
        SCOPED_TRACE(t.adaptersCalls);
        const auto saved = t;
        spoil();
        EXPECT_EQ(build(), 0);
        t = saved;
    };
    check([&] { t.ifTableSizingAnswer = iphelp::noError; });
    check([&] { t.ifTableSizingAnswer = iphelp::errorNotSupported; });
    check([&] { t.ifTableReadAnswer = iphelp::errorInvalidParameter; });
    check([&] { t.ipAddrTableSizingAnswer = iphelp::errorNoData; });
    check([&] { t.ipAddrTableReadAnswer = iphelp::errorNotSupported; });
    EXPECT_EQ(build(), 1);
}

TEST_F(AdapterTableTest, EnumerateAdaptersRefillsTheWindowsTable) {
    makeUsable(4, "eth");
    addAddress(ipv4(10, 0, 0, 4), 4);
    addAdapter(4, u"x");
    CMonitorDlg dlg;
    dlg.adapterCount = 99;
    dlg.adapters[1].address = 1;
    dlg.EnumerateAdapters();
    ASSERT_EQ(dlg.adapterCount, 1);
    EXPECT_EQ(dlg.adapters[0].address, ipv4(10, 0, 0, 4));
}

class AdapterTableDeathTest : public AdapterTableTest {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        AdapterTableTest::SetUp();
        makeUsable(2, "eth");
        addAddress(ipv4(10, 0, 0, 2), 2);
        addAdapter(2, u"x");
    }
};

TEST_F(AdapterTableDeathTest, AnUnreadableAdapterListEndsTheProgram) {
    auto& t = iphelp::fake::tables();
    t.adaptersSizingAnswer = iphelp::noError;
    EXPECT_EXIT(build(), ::testing::ExitedWithCode(1), "");
    t.adaptersSizingAnswer = iphelp::errorInsufficientBuffer;
    EXPECT_EXIT(build(), ::testing::ExitedWithCode(1), "");
    t.adaptersSizingAnswer.reset();
    t.adaptersReadAnswer = iphelp::errorBufferOverflow;
    EXPECT_EXIT(build(), ::testing::ExitedWithCode(1), "");
}

TEST_F(AdapterTableDeathTest, NoAdapterAtAllEndsTheProgramEvenWithoutRows) {
    auto& t = iphelp::fake::tables();
    t.adapters.clear();
    t.addresses.clear();
    EXPECT_EXIT(build(), ::testing::ExitedWithCode(1), "");
}

class AdapterChoiceTest : public MonitorTest {};

TEST_F(AdapterChoiceTest, OnlyKelvaneBindsToTheChosenAddress) {
    auto& t = iphelp::fake::tables();
    t.interfaces.push_back(connectedInterface(3, "second"));
    t.addresses.push_back({ipv4(127, 0, 0, 3), 3, ipv4(255, 0, 0, 0)});
    const std::uint32_t untouched = ipv4(192, 0, 2, 99);
    bindAddress.store(untouched);
    runMonitor([&](Window& w, CMonitorDlg&) {
        w.pickComboEntry(ids::adapterCombo, 1);
        EXPECT_EQ(bindAddress.load(), isKelvane ? ipv4(127, 0, 0, 3) : untouched);
        w.pickComboEntry(ids::adapterCombo, 0);
        EXPECT_EQ(bindAddress.load(), isKelvane ? ipv4(127, 0, 0, 2) : untouched);
    });
    bindAddress.store(0);
}

}  // namespace
