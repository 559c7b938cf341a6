// One simulated device: connects, plays its actions, checks and prints
// what the monitor sends back.
#pragma once

#include <vector>

#include "device_sim/options.h"
#include "device_sim/printer.h"
#include "device_sim/script.h"

namespace devsim {

// Returns the exit status (exitOk, exitCheckFailed or exitNetwork).
int runDevice(const Options& options, const std::vector<Action>& actions, Printer& printer);

}  // namespace devsim
