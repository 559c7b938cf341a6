// Splits the bytes a monitor sends to a device into messages: two-byte
// replies (F0 v, FC s) and Kelvane's three-byte output frames (FA F0 b).
// Anything else is a stray byte that no monitor should send.
#pragma once

#include <cstdint>
#include <optional>

#include "device_sim/hex.h"

namespace devsim {

struct Incoming {
    enum class Kind { Reply, OutputFrame, Stray };
    Kind kind = Kind::Stray;
    Bytes bytes;
};

class IncomingParser {
public:
    std::optional<Incoming> feed(std::uint8_t byte);
    // Bytes of an unfinished message are held.
    bool holdsPartialMessage() const { return !pending_.empty(); }

private:
    Bytes pending_;
};

}  // namespace devsim
