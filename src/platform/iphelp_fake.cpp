// The iphelp calls answered from the tables a test has set up.
#include "platform/iphelp_fake.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <span>

#include "platform/iphelp_buffers.h"

namespace iphelp {

namespace fake {

Tables& tables() {
    static Tables current = standardTables();
    return current;
}

std::uint32_t ipv4(int a, int b, int c, int d) {
    const std::array<std::uint8_t, 4> bytes{
        static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(c),
        static_cast<std::uint8_t>(d)};
    return std::bit_cast<std::uint32_t>(bytes);
}

IfRow connectedInterface(std::uint32_t index, std::string_view description) {
    IfRow row;
    row.index = index;
    row.speed = 100'000'000;
    row.physicalAddressLength = 6;
    const std::uint8_t mac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, static_cast<std::uint8_t>(index)};
    std::memcpy(row.physicalAddress, mac, sizeof mac);
    row.operStatus = operStatusOperational;
    const std::size_t length = std::min(description.size(), maxDescriptionBytes - 1);
    std::memcpy(row.description, description.data(), length);
    row.descriptionLength = static_cast<std::uint32_t>(length + 1);
    return row;
}

Tables standardTables() {
    Tables standard;
    IfRow loopback = connectedInterface(1, "Software Loopback Interface 1");
    loopback.physicalAddressLength = 0;
    loopback.speed = 1'073'741'824;
    standard.interfaces = {loopback, connectedInterface(2, "Fake Ethernet Adapter")};
    standard.addresses = {{ipv4(127, 0, 0, 1), 1, ipv4(255, 0, 0, 0)},
                          {ipv4(127, 0, 0, 2), 2, ipv4(255, 0, 0, 0)}};
    standard.adapters = {{1, u"Loopback Pseudo-Interface 1"}, {2, u"イーサネット"}};
    return standard;
}

}  // namespace fake

namespace {

// A read with a big enough buffer that the test wants to fail.
template <class Table, class Row>
Status answerTable(std::span<const Row> rows, const std::optional<Status>& sizingAnswer,
                   const std::optional<Status>& readAnswer, Table* table, std::uint32_t* size) {
    if (sizingAnswer) return *sizingAnswer;
    const Status status = detail::writeTable(rows, table, size);
    if (status == noError && readAnswer) return *readAnswer;
    return status;
}

}  // namespace

Status getIfTable(IfTable* table, std::uint32_t* size) {
    const auto& t = fake::tables();
    return answerTable(std::span<const IfRow>(t.interfaces), t.ifTableSizingAnswer,
                       t.ifTableReadAnswer, table, size);
}

Status getIfEntry(IfRow* row) {
    if (row == nullptr) return errorInvalidParameter;
    auto& t = fake::tables();
    t.entryQueries.push_back(row->index);
    if (std::ranges::find(t.failingEntries, row->index) != t.failingEntries.end()) {
        return errorNotFound;
    }
    const auto found = std::ranges::find(t.interfaces, row->index, &IfRow::index);
    if (found == t.interfaces.end()) return errorNotFound;
    *row = *found;
    return noError;
}

Status getIpAddrTable(IpAddrTable* table, std::uint32_t* size) {
    const auto& t = fake::tables();
    return answerTable(std::span<const IpAddrRow>(t.addresses), t.ipAddrTableSizingAnswer,
                       t.ipAddrTableReadAnswer, table, size);
}

Status getAdaptersAddresses(std::uint32_t family, std::uint32_t flags, AdapterAddresses* addresses,
                            std::uint32_t* size) {
    auto& t = fake::tables();
    ++t.adaptersCalls;
    t.lastAdaptersFamily = family;
    t.lastAdaptersFlags = flags;
    if (family != familyUnspecified && family != familyInet) return errorInvalidParameter;
    const bool sizing = addresses == nullptr;
    if (sizing && t.adaptersSizingAnswer) return *t.adaptersSizingAnswer;
    if (!sizing && t.adaptersReadAnswer) return *t.adaptersReadAnswer;
    std::vector<detail::AdapterSource> sources;
    for (const auto& adapter : t.adapters) {
        sources.push_back({adapter.ipv4IfIndex, adapter.friendlyName});
    }
    return detail::writeAdapterList(sources, addresses, size);
}

}  // namespace iphelp
