#include "net/listener_run.h"
#include "net/service.h"
#include "variant_constants.h"

namespace net {

void Service::stopForClose() {
    // The senders first: one waiting for room holds a slot's guard that a
    // connection needs to end.
    if constexpr (variant::outputCount > 0) stopOutputSenders(false);
    for (PortSlot& slot : portSlots) {
        if (slot.state.load() != Idle) slot.state.store(StopRequested);
    }
    for (const auto& run : listenerRuns) {
        if (run) run->stop();
    }
}

}  // namespace net
