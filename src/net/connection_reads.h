// What both programs' connections do with their socket: read whatever it
// holds in one receive, waiting only when it holds nothing, and send a
// read's replies whole.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "net/frames.h"
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

// Serves a connection read by read until it must end: every byte goes to
// feed, which returns the frame it completes, if any; a read's frames are
// left in frames for answer, which returns false when the connection must
// end.
template <class Feed, class Answer>
void serveReads(Service& service, const ListenerRun& run, sock::Socket s,
                std::vector<frames::Frame>& frames, Feed&& feed, Answer&& answer) {
    ReadBuffer buffer;
    while (const auto bytes = readWhatArrived(service, run, s, buffer)) {
        frames.clear();
        for (const std::uint8_t byte : *bytes) {
            if (const auto frame = feed(byte)) frames.push_back(*frame);
        }
        if (!frames.empty() && !answer()) return;
    }
}

}  // namespace net
