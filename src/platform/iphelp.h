// The IP configuration queries adapter enumeration makes, in the shape of the
// platform's IP helper calls: caller-sized buffers, a sizing answer that
// reports the bytes needed, Win32 error numbers. Only the fields the
// enumeration reads are carried. Addresses are in network byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace iphelp {

// Win32 error numbers as the calls answer them.
using Status = std::uint32_t;
inline constexpr Status noError = 0;
inline constexpr Status errorNotSupported = 50;
inline constexpr Status errorInvalidParameter = 87;
inline constexpr Status errorBufferOverflow = 111;
inline constexpr Status errorInsufficientBuffer = 122;
inline constexpr Status errorNoData = 232;
inline constexpr Status errorNotFound = 1168;

// Operational status of an interface row.
inline constexpr std::uint32_t operStatusNonOperational = 0;
inline constexpr std::uint32_t operStatusDisconnected = 2;
inline constexpr std::uint32_t operStatusConnected = 4;
inline constexpr std::uint32_t operStatusOperational = 5;

// Address families and flags of getAdaptersAddresses.
inline constexpr std::uint32_t familyUnspecified = 0;
inline constexpr std::uint32_t familyInet = 2;
inline constexpr std::uint32_t flagIncludePrefix = 0x10;

inline constexpr std::size_t maxDescriptionBytes = 256;
inline constexpr std::size_t maxPhysicalAddressBytes = 8;

// One interface: a row of the interface table and the answer of getIfEntry.
struct IfRow {
    std::uint32_t index = 0;
    std::uint32_t speed = 0;  // bit/s, 0 when unknown
    std::uint32_t physicalAddressLength = 0;
    std::uint8_t physicalAddress[maxPhysicalAddressBytes] = {};
    std::uint32_t operStatus = operStatusNonOperational;
    std::uint32_t descriptionLength = 0;         // bytes, terminator included
    char description[maxDescriptionBytes] = {};  // terminated 8-bit text
};

// One IPv4 address of an interface.
struct IpAddrRow {
    std::uint32_t address = 0;
    std::uint32_t index = 0;
    std::uint32_t mask = 0;
};

// One adapter of the adapter-address list; the list and the names it points
// to live inside the caller's buffer.
struct AdapterAddresses {
    const AdapterAddresses* next = nullptr;
    std::uint32_t ipv4IfIndex = 0;
    const char16_t* friendlyName = nullptr;  // terminated UTF-16
};

// Buffer layouts of the two tables: a row count, then the rows.
struct IfTable {
    std::uint32_t numEntries = 0;
};
struct IpAddrTable {
    std::uint32_t numEntries = 0;
};

// Offset of the first row after the count, for either table.
template <class Row>
constexpr std::size_t tableRowsOffset() {
    return (sizeof(std::uint32_t) + alignof(Row) - 1) / alignof(Row) * alignof(Row);
}
template <class Row>
constexpr std::size_t tableBytes(std::size_t rows) {
    return tableRowsOffset<Row>() + rows * sizeof(Row);
}

// The rows of a table that one of the calls below has written into buffer.
inline std::span<const IfRow> rows(const IfTable* table) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(table);
    return {reinterpret_cast<const IfRow*>(bytes + tableRowsOffset<IfRow>()), table->numEntries};
}
inline std::span<const IpAddrRow> rows(const IpAddrTable* table) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(table);
    return {reinterpret_cast<const IpAddrRow*>(bytes + tableRowsOffset<IpAddrRow>()),
            table->numEntries};
}

// Buffers passed in are suitably aligned for the structures above (as from
// new unsigned char[] or malloc). Without a buffer, or with *size too small,
// the table calls answer errorInsufficientBuffer and the list call
// errorBufferOverflow, with the required size in *size.
Status getIfTable(IfTable* table, std::uint32_t* size);
// Fills the row whose index row->index names.
Status getIfEntry(IfRow* row);
Status getIpAddrTable(IpAddrTable* table, std::uint32_t* size);
// errorNoData when there is no adapter at all.
Status getAdaptersAddresses(std::uint32_t family, std::uint32_t flags, AdapterAddresses* addresses,
                            std::uint32_t* size);

}  // namespace iphelp
