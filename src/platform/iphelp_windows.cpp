// The iphelp calls over the system's IP Helper: each call is the IP Helper
// call of the same name, its rows copied into the program's shapes.
// The IP Helper's header needs Winsock's before it.
// clang-format off
#include <winsock2.h>
#include <iphlpapi.h>
// clang-format on

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "platform/iphelp.h"
#include "platform/iphelp_buffers.h"

namespace iphelp {
namespace {

IfRow toIfRow(const MIB_IFROW& native) {
    IfRow row;
    row.index = native.dwIndex;
    row.speed = native.dwSpeed;
    row.physicalAddressLength = native.dwPhysAddrLen;
    std::memcpy(row.physicalAddress, native.bPhysAddr,
                std::min<std::size_t>(native.dwPhysAddrLen, maxPhysicalAddressBytes));
    row.operStatus = static_cast<std::uint32_t>(native.dwOperStatus);
    const DWORD length = std::min<DWORD>(native.dwDescrLen, maxDescriptionBytes);
    std::memcpy(row.description, native.bDescr, length);
    // The description is terminated even when the system filled all of it.
    row.description[std::min<std::size_t>(length, maxDescriptionBytes - 1)] = '\0';
    row.descriptionLength = static_cast<std::uint32_t>(std::strlen(row.description) + 1);
    return row;
}

// Runs a sizing call and then the call into a buffer of the answered size,
// once more if the table grew in between.
template <class Call>
DWORD readNative(std::vector<unsigned char>& buffer, Call call) {
    ULONG size = 0;
    DWORD status = call(nullptr, &size);
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (status != ERROR_INSUFFICIENT_BUFFER && status != ERROR_BUFFER_OVERFLOW) break;
        buffer.assign(size, 0);
        status = call(buffer.data(), &size);
    }
    return status;
}

}  // namespace

Status getIfTable(IfTable* table, std::uint32_t* size) {
    if (size == nullptr) return errorInvalidParameter;
    std::vector<unsigned char> buffer;
    const DWORD status = readNative(buffer, [](unsigned char* data, ULONG* bytes) {
        return GetIfTable(reinterpret_cast<MIB_IFTABLE*>(data), bytes, FALSE);
    });
    if (status != NO_ERROR) return status;
    const auto* native = reinterpret_cast<const MIB_IFTABLE*>(buffer.data());
    std::vector<IfRow> rows;
    rows.reserve(native->dwNumEntries);
    for (DWORD i = 0; i < native->dwNumEntries; ++i) rows.push_back(toIfRow(native->table[i]));
    return detail::writeTable(std::span<const IfRow>(rows), table, size);
}

Status getIfEntry(IfRow* row) {
    if (row == nullptr) return errorInvalidParameter;
    MIB_IFROW native{};
    native.dwIndex = row->index;
    const DWORD status = GetIfEntry(&native);
    if (status != NO_ERROR) return status;
    *row = toIfRow(native);
    return noError;
}

Status getIpAddrTable(IpAddrTable* table, std::uint32_t* size) {
    if (size == nullptr) return errorInvalidParameter;
    std::vector<unsigned char> buffer;
    const DWORD status = readNative(buffer, [](unsigned char* data, ULONG* bytes) {
        return GetIpAddrTable(reinterpret_cast<MIB_IPADDRTABLE*>(data), bytes, FALSE);
    });
    if (status != NO_ERROR) return status;
    const auto* native = reinterpret_cast<const MIB_IPADDRTABLE*>(buffer.data());
    std::vector<IpAddrRow> rows;
    rows.reserve(native->dwNumEntries);
    for (DWORD i = 0; i < native->dwNumEntries; ++i) {
        const MIB_IPADDRROW& entry = native->table[i];
        rows.push_back(IpAddrRow{entry.dwAddr, entry.dwIndex, entry.dwMask});
    }
    return detail::writeTable(std::span<const IpAddrRow>(rows), table, size);
}

Status getAdaptersAddresses(std::uint32_t family, std::uint32_t flags, AdapterAddresses* addresses,
                            std::uint32_t* size) {
    if (size == nullptr) return errorInvalidParameter;
    std::vector<unsigned char> buffer;
    const DWORD status = readNative(buffer, [&](unsigned char* data, ULONG* bytes) {
        return GetAdaptersAddresses(family, flags, nullptr,
                                    reinterpret_cast<IP_ADAPTER_ADDRESSES*>(data), bytes);
    });
    if (status != NO_ERROR) return status;
    std::vector<detail::AdapterSource> sources;
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data());
         adapter != nullptr; adapter = adapter->Next) {
        detail::AdapterSource source;
        source.ipv4IfIndex = adapter->IfIndex;
        if (adapter->FriendlyName != nullptr) {
            const auto* name = reinterpret_cast<const char16_t*>(adapter->FriendlyName);
            source.friendlyName.assign(name);
        }
        sources.push_back(std::move(source));
    }
    return detail::writeAdapterList(sources, addresses, size);
}

}  // namespace iphelp
