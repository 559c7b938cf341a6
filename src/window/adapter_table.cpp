// The adapter table: one row per IPv4 address of a usable interface, with the
// interface's description and its adapter's friendly name.
#include "window/adapter_table.h"

#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"
#include "window/monitor_dlg.h"

namespace {

constexpr std::uint32_t softwareInterfaceSpeed = 0x40000000;
constexpr std::size_t textFieldBytes = adapterTextBytes - 1;
constexpr std::size_t maxInterfaces = 256;

struct UsableInterface {
    std::uint32_t index = 0;
    std::string description;
};

using Buffer = std::unique_ptr<unsigned char[]>;

// Asks for a table's size and allocates that much; nothing when the call does
// not report a size or the memory is not there.
template <class Table>
Buffer sizedBuffer(iphelp::Status (*call)(Table*, std::uint32_t*), std::uint32_t* size) {
    *size = 0;
    if (call(nullptr, size) != iphelp::errorInsufficientBuffer || *size == 0) return nullptr;
    return Buffer(new (std::nothrow) unsigned char[*size]);
}

std::uint32_t loopbackAddress() {
    return std::bit_cast<std::uint32_t>(std::array<std::uint8_t, 4>{127, 0, 0, 1});
}

void copyText(char (&field)[adapterTextBytes], std::string_view cp932) {
    const std::string_view fitting = text::truncateCp932(cp932, textFieldBytes);
    std::memcpy(field, fitting.data(), fitting.size());
    field[fitting.size()] = '\0';
}

std::string_view descriptionOf(const iphelp::IfRow& row) {
    const std::string_view field(row.description, sizeof row.description);
    return field.substr(0, field.find('\0'));
}

// The interface numbers 1 to the table's row count, in that order: an
// interface whose index is larger than the count is never asked for.
std::vector<UsableInterface> usableInterfaces(const iphelp::IfTable& table) {
    std::vector<UsableInterface> found;
    const std::uint32_t count = table.numEntries;
    for (std::uint32_t index = 1; index <= count && found.size() < maxInterfaces; ++index) {
        iphelp::IfRow row;
        row.index = index;
        if (iphelp::getIfEntry(&row) != iphelp::noError || !isUsableInterface(row)) continue;
        const std::string_view description = descriptionOf(row);
        found.push_back({index, std::string(text::truncateCp932(description, textFieldBytes))});
    }
    return found;
}

int addAddressRows(const iphelp::IpAddrTable& table, const std::vector<UsableInterface>& interfaces,
                   std::span<AdapterEntry, maxAdapters> rows) {
    int count = 0;
    for (const iphelp::IpAddrRow& address : iphelp::rows(&table)) {
        if (count == maxAdapters) break;
        if (address.address == loopbackAddress()) continue;
        const UsableInterface* match = nullptr;
        for (const auto& candidate : interfaces) {
            if (candidate.index == address.index) {
                match = &candidate;
                break;
            }
        }
        if (match == nullptr || match->description.empty()) continue;
        AdapterEntry& row = rows[count++];
        row = AdapterEntry{};
        row.ifIndex = address.index;
        copyText(row.description, match->description);
        row.address = address.address;
        row.mask = address.mask;
    }
    return count;
}

void addFriendlyNames(std::span<AdapterEntry> rows) {
    constexpr std::uint32_t family = iphelp::familyUnspecified;
    constexpr std::uint32_t flags = iphelp::flagIncludePrefix;
    std::uint32_t size = 0;
    if (iphelp::getAdaptersAddresses(family, flags, nullptr, &size) !=
        iphelp::errorBufferOverflow) {
        std::exit(1);
    }
    const Buffer buffer(new (std::nothrow) unsigned char[size]);
    if (!buffer) std::exit(1);
    auto* list = reinterpret_cast<iphelp::AdapterAddresses*>(buffer.get());
    if (iphelp::getAdaptersAddresses(family, flags, list, &size) != iphelp::noError) std::exit(1);
    for (const auto* adapter = list; adapter != nullptr; adapter = adapter->next) {
        // An empty name leaves the rows without a name rather than ending the
        // program: it is no failed conversion.
        const std::u16string_view utf16 =
            adapter->friendlyName ? std::u16string_view(adapter->friendlyName) : u"";
        const std::string name = text::utf16ToCp932(utf16);
        for (AdapterEntry& row : rows) {
            if (row.ifIndex == adapter->ipv4IfIndex) copyText(row.friendlyName, name);
        }
    }
}

}  // namespace

bool isUsableInterface(const iphelp::IfRow& row) {
    const bool connected = row.operStatus == iphelp::operStatusConnected ||
                           row.operStatus == iphelp::operStatusOperational;
    return connected && row.physicalAddressLength != 0 && row.speed != softwareInterfaceSpeed;
}

int buildAdapterTable(std::span<AdapterEntry, maxAdapters> table) {
    std::uint32_t addressTableSize = 0;
    const Buffer addressBuffer = sizedBuffer(iphelp::getIpAddrTable, &addressTableSize);
    std::uint32_t interfaceTableSize = 0;
    const Buffer interfaceBuffer = sizedBuffer(iphelp::getIfTable, &interfaceTableSize);

    std::vector<UsableInterface> interfaces;
    if (interfaceBuffer) {
        auto* interfaceTable = reinterpret_cast<iphelp::IfTable*>(interfaceBuffer.get());
        if (iphelp::getIfTable(interfaceTable, &interfaceTableSize) == iphelp::noError) {
            interfaces = usableInterfaces(*interfaceTable);
        }
    }
    int count = 0;
    if (addressBuffer) {
        auto* addressTable = reinterpret_cast<iphelp::IpAddrTable*>(addressBuffer.get());
        if (iphelp::getIpAddrTable(addressTable, &addressTableSize) == iphelp::noError) {
            count = addAddressRows(*addressTable, interfaces, table);
        }
    }
    addFriendlyNames(table.first(static_cast<std::size_t>(count)));
    return count;
}

void CMonitorDlg::EnumerateAdapters() {
    adapterCount = 0;
    adapterCount = buildAdapterTable(adapters);
}

void CMonitorDlg::OnAdapterSelected() {
    if constexpr (variant::product == variant::Product::Kelvane) {
        const int selected = adapterCombo.curSel();
        if (selected < 0 || selected >= adapterCount) return;
        bindAddress.store(adapters[static_cast<std::size_t>(selected)].address);
    }
}
