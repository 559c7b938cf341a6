// What both programs' connections do with their socket: read whatever it
// holds in one receive, waiting only when it holds nothing, and send a
// read's replies whole.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "net/listener_run.h"
#include "net/service.h"

namespace net {

using ReadBuffer = std::array<std::uint8_t, 4096>;

// The bytes of the next receive, into buffer; nothing when the connection
// must end: its port stops, the device closed it (its peer label is
// cleared) or the receive failed (traced).
std::optional<std::span<const std::uint8_t>> readWhatArrived(Service& service,
                                                             const ListenerRun& run, sock::Socket s,
                                                             ReadBuffer& buffer);

// Sends every byte, waiting for room while the device reads nothing; false
// when the connection must end: its port stops (which ends the wait at
// once) or the send failed (traced).
bool sendWhole(Service& service, const ListenerRun& run, sock::Socket s, std::string_view bytes);

}  // namespace net
