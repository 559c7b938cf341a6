// One row of the adapter table: an IPv4 address of a connected interface.
#pragma once

#include <cstdint>

inline constexpr int maxAdapters = 256;
inline constexpr int adapterTextBytes = 256;

struct AdapterEntry {
    std::uint32_t ifIndex = 0;
    char description[adapterTextBytes] = {};
    char friendlyName[adapterTextBytes] = {};
    std::uint32_t address = 0;  // network byte order
    std::uint32_t mask = 0;     // network byte order
};
