// Building the adapter table from the system's IP configuration.
#pragma once

#include <span>

#include "platform/iphelp.h"
#include "window/adapter_entry.h"

// An interface whose addresses may be offered: connected or operational,
// with a physical address, and not reporting the 0x40000000 bit/s speed that
// marks a software interface.
bool isUsableInterface(const iphelp::IfRow& row);

// Fills table from its first row and returns the number of rows filled. Ends
// the process with exit status 1, without a message, when the adapter-address
// list cannot be read.
int buildAdapterTable(std::span<AdapterEntry, maxAdapters> table);
