// The IP configuration the tests make up: the iphelp calls of the fake
// implementation answer from these tables. Not thread-safe; tests set the
// tables before the code under test runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/iphelp.h"

namespace iphelp::fake {

struct Adapter {
    std::uint32_t ipv4IfIndex = 0;
    std::u16string friendlyName;
};

struct Tables {
    // The interface table in its order; getIfEntry looks an index up here.
    std::vector<IfRow> interfaces;
    std::vector<IpAddrRow> addresses;
    std::vector<Adapter> adapters;

    // Failures to play. A table whose sizing answer is replaced answers that
    // to every call; a failing read answers it once the buffer is big enough.
    std::optional<Status> ifTableSizingAnswer;
    std::optional<Status> ifTableReadAnswer;
    std::optional<Status> ipAddrTableSizingAnswer;
    std::optional<Status> ipAddrTableReadAnswer;
    std::vector<std::uint32_t> failingEntries;  // getIfEntry fails for these
    std::optional<Status> adaptersSizingAnswer;
    std::optional<Status> adaptersReadAnswer;

    // What the code under test asked for.
    std::vector<std::uint32_t> entryQueries;
    int adaptersCalls = 0;
    std::uint32_t lastAdaptersFamily = 0;
    std::uint32_t lastAdaptersFlags = 0;
};

// The tables every call answers from. They start as standardTables().
Tables& tables();

// A machine with loopback (index 1, 127.0.0.1, no physical address) and one
// connected Ethernet adapter (index 2, 127.0.0.2/8, "イーサネット"), so that
// the program finds one adapter whose address loopback can carry.
Tables standardTables();

// Host byte order a.b.c.d to the network byte order the tables hold.
std::uint32_t ipv4(int a, int b, int c, int d);

// A connected interface with a physical address, at 100 Mbit/s.
IfRow connectedInterface(std::uint32_t index, std::string_view description);

}  // namespace iphelp::fake
