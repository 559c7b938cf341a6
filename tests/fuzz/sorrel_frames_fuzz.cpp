// Any byte stream through the five-input devices' frame reader, compared
// with a reading of the whole stream at once, and every effect checked
// against the frame tables.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "net/frames.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

bool sameFrame(const frames::Frame& a, const frames::Frame& b) {
    return a.change == b.change && a.value == b.value && a.mask == b.mask;
}

// The frames of a complete stream, read front to back by position.
std::vector<frames::Frame> readWhole(const std::uint8_t* data, std::size_t size) {
    std::vector<frames::Frame> found;
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t b = data[i];
        if (b == frames::stateMarker && i + 1 < size) {
            found.push_back({false, data[i + 1], 0});
            i += 2;
        } else if (b == frames::frameStart && i + 1 < size) {
            if (data[i + 1] == frames::stateMarker && i + 2 < size) {
                found.push_back({false, data[i + 2], 0});
                i += 3;
            } else if (data[i + 1] == frames::stateMarker) {
                break;
            } else {
                i += 2;
            }
        } else if (b == frames::changeMarker && i + 2 < size) {
            found.push_back({true, data[i + 1], data[i + 2]});
            i += 3;
        } else if (b == frames::stateMarker || b == frames::frameStart ||
                   b == frames::changeMarker) {
            break;  // a frame cut off by the end of the stream
        } else {
            ++i;
        }
    }
    return found;
}

void checkEffect(const frames::Frame& frame, std::uint8_t inputs) {
    const auto effect = frames::sorrelEffect(frame, inputs);
    require(effect.has_value() == (frame.value != frames::noValue));
    if (!effect) return;
    require((effect->update.written & ~0x1Fu) == 0);
    if (frame.mask == 0) {
        require(effect->update.written == 0x1F);
        require(effect->reply[0] == frames::stateMarker && effect->reply[1] == frame.value);
    } else {
        require(effect->update.written == (frame.mask & 0x1F));
        require(effect->reply[0] == frames::changeMarker);
        require(effect->reply[1] == (frames::applyUpdate(inputs, effect->update) & 0x1F));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    frames::SorrelReader reader;
    std::vector<frames::Frame> fed;
    std::uint8_t inputs = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (const auto frame = reader.feed(data[i])) {
            require(!reader.midFrame());
            checkEffect(*frame, inputs);
            if (const auto effect = frames::sorrelEffect(*frame, inputs)) {
                inputs = frames::applyUpdate(inputs, effect->update);
            }
            fed.push_back(*frame);
        }
    }
    const std::vector<frames::Frame> whole = readWhole(data, size);
    require(fed.size() == whole.size());
    for (std::size_t k = 0; k < fed.size(); ++k) require(sameFrame(fed[k], whole[k]));
    return 0;
}
