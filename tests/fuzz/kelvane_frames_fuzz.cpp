// Any byte stream through the three-input devices' assembly window: every
// frame found must be the newest bytes of the stream, every frame in the
// stream must be found, and each effect must keep to the frame tables.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "net/frames.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

void checkEffect(const frames::Frame& frame, std::uint8_t inputs) {
    const frames::FrameEffect effect = frames::kelvaneEffect(frame, inputs);
    require((effect.update.written & ~0x07u) == 0);
    if (frame.change) {
        require(effect.reply[0] == frames::changeMarker);
        require(effect.reply[1] == (frames::applyUpdate(inputs, effect.update) & 0x07));
    } else {
        require(effect.update.written == 0x07);
        require(effect.reply[0] == frames::stateMarker && effect.reply[1] == frame.value);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    frames::AssemblyWindow window;
    std::size_t sinceFrame = 0;  // bytes received since the last frame
    std::uint8_t inputs = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const auto frame = frames::kelvaneFeed(window, data[i]);
        ++sinceFrame;
        const bool changeAtEnd = sinceFrame >= 3 && data[i - 2] == frames::changeMarker;
        const bool stateAtEnd = sinceFrame >= 3 && data[i - 2] == frames::frameStart &&
                                data[i - 1] == frames::stateMarker;
        require(frame.has_value() == (changeAtEnd || stateAtEnd));
        require(window.count >= 0 && window.count <= 2);
        if (!frame) continue;
        require(window.count == 0);
        require(frame->change == changeAtEnd);
        require(frame->value == (changeAtEnd ? data[i - 1] : data[i]));
        if (changeAtEnd) require(frame->mask == data[i]);
        checkEffect(*frame, inputs);
        inputs = frames::applyUpdate(inputs, frames::kelvaneEffect(*frame, inputs).update);
        sinceFrame = 0;
    }
    return 0;
}
