#include "device_sim/incoming.h"

#include "device_sim/reply_model.h"

namespace devsim {
namespace {

bool startsMessage(std::uint8_t byte) {
    return byte == stateMarker || byte == changeMarker || byte == frameStart;
}

}  // namespace

std::optional<Incoming> IncomingParser::feed(std::uint8_t byte) {
    pending_.push_back(byte);
    std::uint8_t first = pending_[0];
    Incoming message;
    if (!startsMessage(first)) {
        message.kind = Incoming::Kind::Stray;
    } else if (first != frameStart) {
        if (pending_.size() < 2) return std::nullopt;
        message.kind = Incoming::Kind::Reply;
    } else if (pending_.size() == 1) {
        return std::nullopt;
    } else if (pending_[1] == stateMarker) {
        if (pending_.size() < 3) return std::nullopt;
        message.kind = Incoming::Kind::OutputFrame;
    } else if (startsMessage(pending_[1])) {
        // The frame start was a stray byte; the byte after it may begin a
        // message of its own.
        message.kind = Incoming::Kind::Stray;
        message.bytes.push_back(frameStart);
        pending_.erase(pending_.begin());
        return message;
    } else {
        message.kind = Incoming::Kind::Stray;
    }
    message.bytes.swap(pending_);
    return message;
}

}  // namespace devsim
