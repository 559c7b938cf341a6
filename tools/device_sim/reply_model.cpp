#include "device_sim/reply_model.h"

namespace devsim {

std::optional<ExpectedReply> ReplyModel::feed(std::uint8_t byte) {
    return variant_ == Variant::Kelvane ? feedKelvane(byte) : feedSorrel(byte);
}

void ReplyModel::learn(std::uint8_t kind, std::uint8_t value) {
    if (kind != changeMarker) return;
    std::uint8_t unknown = static_cast<std::uint8_t>(inputBits() & ~known_);
    states_ = static_cast<std::uint8_t>((states_ & known_) | (value & unknown));
    known_ = inputBits();
}

void ReplyModel::setInputs(std::uint8_t value, std::uint8_t mask) {
    mask &= inputBits();
    states_ = static_cast<std::uint8_t>((states_ & ~mask) | (value & mask));
    known_ = static_cast<std::uint8_t>(known_ | mask);
}

ExpectedReply ReplyModel::changeReply() const {
    std::uint8_t unusedBits = static_cast<std::uint8_t>(~inputBits());
    return ExpectedReply{changeMarker, static_cast<std::uint8_t>(states_ & known_),
                         static_cast<std::uint8_t>(known_ | unusedBits)};
}

std::optional<ExpectedReply> ReplyModel::feedKelvane(std::uint8_t byte) {
    window_[windowCount_++] = byte;
    std::optional<ExpectedReply> reply;
    if (windowCount_ == 3 && window_[0] == changeMarker) {
        setInputs(window_[1], window_[2]);
        reply = changeReply();
    } else if (windowCount_ == 3 && window_[0] == frameStart && window_[1] == stateMarker) {
        setInputs(window_[2], inputBits());
        reply = ExpectedReply{stateMarker, window_[2], 0xFF};
    }
    if (reply) {
        windowCount_ = 0;
    } else if (windowCount_ == 3) {
        window_[0] = window_[1];
        window_[1] = window_[2];
        windowCount_ = 2;
    }
    return reply;
}

std::optional<ExpectedReply> ReplyModel::feedSorrel(std::uint8_t byte) {
    switch (sorrelStep_) {
        case SorrelStep::Start:
            if (byte == stateMarker) sorrelStep_ = SorrelStep::Value;
            if (byte == frameStart) sorrelStep_ = SorrelStep::AfterFrameStart;
            if (byte == changeMarker) sorrelStep_ = SorrelStep::ChangeValue;
            return std::nullopt;
        case SorrelStep::AfterFrameStart:
            sorrelStep_ = byte == stateMarker ? SorrelStep::Value : SorrelStep::Start;
            return std::nullopt;
        case SorrelStep::Value:
            sorrelStep_ = SorrelStep::Start;
            return completeSorrel(byte, 0);
        case SorrelStep::ChangeValue:
            pendingValue_ = byte;
            sorrelStep_ = SorrelStep::ChangeMask;
            return std::nullopt;
        case SorrelStep::ChangeMask:
            sorrelStep_ = SorrelStep::Start;
            return completeSorrel(pendingValue_, byte);
    }
    return std::nullopt;
}

// Sorrel reads 0xFF as "nothing received" and drops such a frame unanswered.
std::optional<ExpectedReply> ReplyModel::completeSorrel(std::uint8_t value, std::uint8_t mask) {
    if (value == 0xFF) return std::nullopt;
    if (mask == 0) {
        setInputs(value, inputBits());
        return ExpectedReply{stateMarker, value, 0xFF};
    }
    setInputs(value, mask);
    return changeReply();
}

}  // namespace devsim
