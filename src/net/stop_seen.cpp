// The connections' look at the stop request.
#include "net/listener_run.h"
#include "net/service.h"

namespace net {

bool Service::stopSeen(const ListenerRun& run) const {
    if (run.stopping.load()) return true;
    const std::int32_t state = portSlots[static_cast<std::size_t>(run.slot)].state.load();
    return state == StopRequested || state == Idle;
}

bool Service::waitReadable(const ListenerRun& run, sock::Socket s) const {
    if (stopSeen(run)) return false;
    // A failure counts as ready: the receive that follows reports it.
    return sock::waitReadableOrWoken(s, run.wakeUp) != sock::Wait::Woken;
}

}  // namespace net
