// Writing the iphelp tables and the adapter-address list into a caller's
// buffer, with the sizing answers every implementation gives alike.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>
#include <span>
#include <string>

#include "platform/iphelp.h"

namespace iphelp::detail {

struct AdapterSource {
    std::uint32_t ipv4IfIndex = 0;
    std::u16string friendlyName;
};

template <class Table, class Row>
Status writeTable(std::span<const Row> source, Table* table, std::uint32_t* size) {
    if (size == nullptr) return errorInvalidParameter;
    const std::size_t needed = tableBytes<Row>(source.size());
    if (needed > UINT32_MAX) return errorNotSupported;
    if (table == nullptr || *size < needed) {
        *size = static_cast<std::uint32_t>(needed);
        return errorInsufficientBuffer;
    }
    auto* bytes = reinterpret_cast<unsigned char*>(table);
    table->numEntries = static_cast<std::uint32_t>(source.size());
    auto* first = bytes + tableRowsOffset<Row>();
    for (std::size_t i = 0; i < source.size(); ++i) {
        new (first + i * sizeof(Row)) Row(source[i]);
    }
    return noError;
}

inline Status writeAdapterList(std::span<const AdapterSource> source, AdapterAddresses* addresses,
                               std::uint32_t* size) {
    if (size == nullptr) return errorInvalidParameter;
    if (source.empty()) return errorNoData;
    std::size_t needed = source.size() * sizeof(AdapterAddresses);
    for (const auto& adapter : source) needed += (adapter.friendlyName.size() + 1) * 2;
    if (needed > UINT32_MAX) return errorNotSupported;
    if (addresses == nullptr || *size < needed) {
        *size = static_cast<std::uint32_t>(needed);
        return errorBufferOverflow;
    }
    auto* bytes = reinterpret_cast<unsigned char*>(addresses);
    auto* names = bytes + source.size() * sizeof(AdapterAddresses);
    AdapterAddresses* previous = nullptr;
    for (std::size_t i = 0; i < source.size(); ++i) {
        const std::u16string& name = source[i].friendlyName;
        auto* nameUnits = new (names) char16_t[name.size() + 1];
        std::memcpy(nameUnits, name.c_str(), (name.size() + 1) * 2);
        names += (name.size() + 1) * 2;
        auto* node = new (bytes + i * sizeof(AdapterAddresses))
            AdapterAddresses{nullptr, source[i].ipv4IfIndex, nameUnits};
        if (previous != nullptr) previous->next = node;
        previous = node;
    }
    return noError;
}

}  // namespace iphelp::detail
