// Frames of the five-input devices: F0 v, FA F0 v and FC v m, read as a
// byte-at-a-time state machine.
#include "net/frames.h"

namespace frames {

namespace {
constexpr std::uint8_t inputMask = (1u << sorrelInputs) - 1;
}

std::optional<Frame> SorrelReader::feed(std::uint8_t byte) {
    switch (stage_) {
        case Stage::Start:
            if (byte == stateMarker) {
                stage_ = Stage::StateValue;
            } else if (byte == frameStart) {
                stage_ = Stage::AfterFrameStart;
            } else if (byte == changeMarker) {
                stage_ = Stage::ChangeValue;
            }
            return std::nullopt;
        case Stage::AfterFrameStart:
            stage_ = byte == stateMarker ? Stage::StateValue : Stage::Start;
            return std::nullopt;
        case Stage::StateValue:
            stage_ = Stage::Start;
            return Frame{false, byte, 0};
        case Stage::ChangeValue:
            value_ = byte;
            stage_ = Stage::ChangeMask;
            return std::nullopt;
        case Stage::ChangeMask:
            stage_ = Stage::Start;
            return Frame{true, value_, byte};
    }
    return std::nullopt;
}

std::optional<FrameEffect> sorrelEffect(const Frame& frame, std::uint8_t inputs) {
    if (frame.value == noValue) return std::nullopt;
    FrameEffect effect;
    if (frame.mask == 0) {
        effect.update = {inputMask, frame.value};
        effect.reply = {stateMarker, frame.value};
    } else {
        effect.update = {static_cast<std::uint8_t>(frame.mask & inputMask), frame.value};
        const std::uint8_t after = applyUpdate(inputs, effect.update) & inputMask;
        effect.reply = {changeMarker, after};
    }
    return effect;
}

}  // namespace frames
