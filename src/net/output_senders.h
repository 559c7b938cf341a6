// Kelvane's output senders: per port the frames of the clicks not yet sent,
// in click order, and whether that port's sender runs.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "net/port_slot.h"
#include "platform/sock_wake.h"

namespace net {

struct OutputSenders {
    struct Click {
        int port;  // the destination port, as the click read it
        std::array<std::uint8_t, 3> frame;
    };
    std::mutex mutex;
    std::condition_variable idle;
    std::array<std::deque<Click>, portSlotCount> waiting;
    std::array<bool, portSlotCount> sending{};
    // Signalled by a stop or the window's close, so that a connect to a
    // device that does not answer gives up at once.
    std::shared_ptr<sock::WakeUp> wakeUp = std::make_shared<sock::WakeUp>();
};

}  // namespace net
