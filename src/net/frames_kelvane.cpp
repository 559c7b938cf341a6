// Frames of the three-input devices: a state frame FA F0 v and a change
// frame FC v m, found by testing the newest three bytes after every byte.
#include "net/frames.h"

namespace frames {

namespace {

constexpr std::uint8_t inputMask = (1u << kelvaneInputs) - 1;

std::optional<Frame> recognise(const AssemblyWindow& window) {
    if (window.count < 2) return std::nullopt;
    const auto& b = window.bytes;
    if (b[0] == changeMarker) {
        if (window.count < 3) return std::nullopt;
        return Frame{true, b[1], b[2]};
    }
    if (window.count == 3 && b[0] == frameStart && b[1] == stateMarker) {
        return Frame{false, b[2], 0};
    }
    return std::nullopt;
}

}  // namespace

std::optional<Frame> kelvaneFeed(AssemblyWindow& window, std::uint8_t byte) {
    window.bytes[static_cast<std::size_t>(window.count)] = byte;
    ++window.count;
    const std::optional<Frame> frame = recognise(window);
    if (frame) {
        window.count = 0;
    } else if (window.count == 3) {
        window.bytes[0] = window.bytes[1];
        window.bytes[1] = window.bytes[2];
        window.count = 2;
    }
    return frame;
}

std::array<std::uint8_t, 2> kelvaneLeadBytes(const Frame& frame) {
    if (frame.change) return {changeMarker, frame.value};
    return {frameStart, stateMarker};
}

FrameEffect kelvaneEffect(const Frame& frame, std::uint8_t inputs) {
    FrameEffect effect;
    if (frame.change) {
        effect.update = {static_cast<std::uint8_t>(frame.mask & inputMask), frame.value};
        const std::uint8_t after = applyUpdate(inputs, effect.update) & inputMask;
        effect.reply = {changeMarker, after};
    } else {
        effect.update = {inputMask, frame.value};
        effect.reply = {stateMarker, frame.value};
    }
    return effect;
}

}  // namespace frames
