#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/iphelp.h"

namespace {

using iphelp::IfRow;
using iphelp::IpAddrRow;

std::uint32_t ipv4(const char* dotted) {
    in_addr address{};
    inet_pton(AF_INET, dotted, &address);
    return address.s_addr;
}

std::vector<IfRow> interfaceTable() {
    std::uint32_t size = 0;
    EXPECT_EQ(iphelp::getIfTable(nullptr, &size), iphelp::errorInsufficientBuffer);
    EXPECT_GE(size, iphelp::tableBytes<IfRow>(1));
    std::uint32_t tooSmall = size - 1;
    std::vector<unsigned char> buffer(size);
    auto* table = reinterpret_cast<iphelp::IfTable*>(buffer.data());
    EXPECT_EQ(iphelp::getIfTable(table, &tooSmall), iphelp::errorInsufficientBuffer);
    EXPECT_EQ(tooSmall, size);
    if (iphelp::getIfTable(table, &size) != iphelp::noError) return {};
    const auto rows = iphelp::rows(table);
    return std::vector<IfRow>(rows.begin(), rows.end());
}

std::vector<IpAddrRow> addressTable() {
    std::uint32_t size = 0;
    EXPECT_EQ(iphelp::getIpAddrTable(nullptr, &size), iphelp::errorInsufficientBuffer);
    std::vector<unsigned char> buffer(size);
    auto* table = reinterpret_cast<iphelp::IpAddrTable*>(buffer.data());
    if (iphelp::getIpAddrTable(table, &size) != iphelp::noError) return {};
    const auto rows = iphelp::rows(table);
    return std::vector<IpAddrRow>(rows.begin(), rows.end());
}

struct Adapter {
    std::uint32_t index;
    std::u16string name;
};

std::vector<Adapter> adapterList() {
    std::uint32_t size = 0;
    const auto family = iphelp::familyUnspecified;
    const auto flags = iphelp::flagIncludePrefix;
    EXPECT_EQ(iphelp::getAdaptersAddresses(family, flags, nullptr, &size),
              iphelp::errorBufferOverflow);
    std::vector<unsigned char> buffer(size);
    auto* list = reinterpret_cast<iphelp::AdapterAddresses*>(buffer.data());
    if (iphelp::getAdaptersAddresses(family, flags, list, &size) != iphelp::noError) return {};
    std::vector<Adapter> adapters;
    for (const auto* adapter = list; adapter != nullptr; adapter = adapter->next) {
        adapters.push_back({adapter->ipv4IfIndex, adapter->friendlyName});
    }
    return adapters;
}

std::optional<IfRow> rowOf(const std::vector<IfRow>& rows, std::uint32_t index) {
    const auto found = std::ranges::find(rows, index, &IfRow::index);
    if (found == rows.end()) return std::nullopt;
    return *found;
}

std::u16string nameOf(const std::vector<Adapter>& adapters, std::uint32_t index) {
    const auto found = std::ranges::find(adapters, index, &Adapter::index);
    return found == adapters.end() ? u"<none>" : found->name;
}

bool sameRow(const IfRow& a, const IfRow& b) {
    return a.index == b.index && a.operStatus == b.operStatus &&
           a.physicalAddressLength == b.physicalAddressLength && a.speed == b.speed &&
           std::string(a.description) == b.description &&
           std::equal(a.physicalAddress, a.physicalAddress + a.physicalAddressLength,
                      b.physicalAddress);
}

TEST(IphelpLinux, TheMachinesInterfacesAndLoopback) {
    const auto interfaces = interfaceTable();
    ASSERT_FALSE(interfaces.empty());
    for (const auto& row : interfaces) {
        IfRow entry;
        entry.index = row.index;
        ASSERT_EQ(iphelp::getIfEntry(&entry), iphelp::noError) << row.index;
        EXPECT_TRUE(sameRow(entry, row)) << row.description;
        EXPECT_EQ(entry.descriptionLength, std::string(entry.description).size() + 1);
        EXPECT_EQ(if_nametoindex(row.description), row.index) << row.description;
    }
    IfRow absent;
    absent.index = 0x7FFFFFF0;
    EXPECT_EQ(iphelp::getIfEntry(&absent), iphelp::errorNotFound);

    const std::uint32_t loIndex = if_nametoindex("lo");
    ASSERT_NE(loIndex, 0u);
    const auto lo = rowOf(interfaces, loIndex);
    ASSERT_TRUE(lo.has_value());
    EXPECT_EQ(std::string(lo->description), "lo");
    // No physical address, so the adapter list never offers loopback.
    EXPECT_EQ(lo->physicalAddressLength, 0u);

    const auto addresses = addressTable();
    const auto loopbackAddress =
        std::ranges::find(addresses, ipv4("127.0.0.1"), &IpAddrRow::address);
    ASSERT_NE(loopbackAddress, addresses.end());
    EXPECT_EQ(loopbackAddress->index, loIndex);
    EXPECT_EQ(loopbackAddress->mask, ipv4("255.0.0.0"));

    const auto adapters = adapterList();
    EXPECT_EQ(adapters.size(), interfaces.size());
    EXPECT_EQ(nameOf(adapters, loIndex), u"lo");
}

TEST(IphelpLinux, SizingAnswersWithoutASizeWord) {
    EXPECT_EQ(iphelp::getIfTable(nullptr, nullptr), iphelp::errorInvalidParameter);
    EXPECT_EQ(iphelp::getIpAddrTable(nullptr, nullptr), iphelp::errorInvalidParameter);
    EXPECT_EQ(iphelp::getIfEntry(nullptr), iphelp::errorInvalidParameter);
    std::uint32_t size = 0;
    EXPECT_EQ(iphelp::getAdaptersAddresses(23, 0, nullptr, &size), iphelp::errorInvalidParameter);
}

// Runs body on a thread of its own in a fresh network namespace, which ends
// with the thread; the reason it could not, when the machine allows no
// namespace. A namespace whose links cannot be set up fails the test.
std::optional<std::string> inPrivateNetwork(const std::function<void()>& body) {
    std::optional<std::string> problem;
    std::thread worker([&] {
        if (::unshare(CLONE_NEWNET) != 0) {
            problem = "no private network namespace (needs root and unshare)";
            return;
        }
        const char* setUp =
            "ip link add va type veth peer name vb && ip link add vc type veth peer name vd"
            " && ip addr add 198.51.100.10/24 dev va && ip addr add 198.51.100.11/24 dev va"
            " && ip addr add 203.0.113.5/30 dev vc && ip link set va alias "
            "'\xE7\x9B\xA3\xE8\xA6\x96'"
            " && ip link set va up && ip link set vb up && ip link set vc up"
            // The kernel marks a link running a moment after its carrier
            // comes up; wait for both ends of the pair.
            " && for i in $(seq 50); do ip link show va | grep -q 'state UP'"
            " && ip link show vb | grep -q 'state UP' && break; sleep 0.1; done";
        if (std::system(("(" + std::string(setUp) + ") >/dev/null 2>&1").c_str()) != 0) {
            ADD_FAILURE() << "the ip tool could not set up the veth pairs";
            return;
        }
        body();
    });
    worker.join();
    return problem;
}

TEST(IphelpLinux, VethPairInAPrivateNamespace) {
    std::vector<IfRow> interfaces;
    std::vector<IpAddrRow> addresses;
    std::vector<Adapter> adapters;
    std::uint32_t va = 0, vb = 0, vc = 0, lo = 0;
    const auto problem = inPrivateNetwork([&] {
        interfaces = interfaceTable();
        addresses = addressTable();
        adapters = adapterList();
        va = if_nametoindex("va");
        vb = if_nametoindex("vb");
        vc = if_nametoindex("vc");
        lo = if_nametoindex("lo");
    });
    if (problem) GTEST_SKIP() << *problem;
    if (HasFailure()) return;

    ASSERT_EQ(interfaces.size(), 5u);  // lo, va, vb, vc, vd
    const auto up = rowOf(interfaces, va);
    ASSERT_TRUE(up.has_value());
    EXPECT_EQ(std::string(up->description), "va");
    EXPECT_EQ(up->operStatus, iphelp::operStatusOperational);
    EXPECT_EQ(up->physicalAddressLength, 6u);
    EXPECT_EQ(up->speed, UINT32_MAX);  // 10 Gbit/s does not fit the field
    EXPECT_EQ(rowOf(interfaces, vb)->operStatus, iphelp::operStatusOperational);
    // Up, but its peer is down: no carrier.
    EXPECT_EQ(rowOf(interfaces, vc)->operStatus, iphelp::operStatusDisconnected);
    EXPECT_EQ(rowOf(interfaces, lo)->operStatus, iphelp::operStatusNonOperational);
    EXPECT_EQ(rowOf(interfaces, lo)->physicalAddressLength, 0u);

    const std::vector<std::uint32_t> expected = {ipv4("198.51.100.10"), ipv4("198.51.100.11"),
                                                 ipv4("203.0.113.5")};
    ASSERT_EQ(addresses.size(), 3u);  // the new namespace's loopback is down and bare
    for (const auto& row : addresses) {
        EXPECT_NE(std::ranges::find(expected, row.address), expected.end());
        const bool onVa = row.address != ipv4("203.0.113.5");
        EXPECT_EQ(row.index, onVa ? va : vc);
        EXPECT_EQ(row.mask, onVa ? ipv4("255.255.255.0") : ipv4("255.255.255.252"));
    }

    EXPECT_EQ(nameOf(adapters, va), u"監視");  // the alias
    EXPECT_EQ(nameOf(adapters, vb), u"vb");
}

}  // namespace
