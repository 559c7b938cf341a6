// The end of the window: every listener and connection is asked to stop
// and every blocked socket woken, without waiting for any of them, since
// they may be waiting for the window thread.
#include "net/service_threads.h"

void CMonitorDlg::stopWorkersForClose() {
    for (PortSlot& slot : service.portSlots) {
        if (slot.state.load() != Idle) slot.state.store(StopRequested);
    }
    for (const auto& run : service.listenerRuns) {
        if (run) run->stop();
    }
    if constexpr (variant::outputCount > 0) stopOutputSenders(false);
}
