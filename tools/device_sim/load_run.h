// Many simulated devices at once, each sending state frames and timing the
// round trip of every reply.
#pragma once

#include "device_sim/options.h"
#include "device_sim/printer.h"

namespace devsim {

// Returns the exit status (exitOk, exitCheckFailed or exitNetwork).
int runLoad(const Options& options, Printer& printer);

}  // namespace devsim
