// Recognition of the devices' signal frames: pure functions over bytes that
// the connection threads feed one received byte at a time. Bit k-1 of every
// byte here stands for signal k.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace frames {

inline constexpr std::uint8_t stateMarker = 0xF0;   // value of all inputs follows
inline constexpr std::uint8_t frameStart = 0xFA;    // precedes a state marker
inline constexpr std::uint8_t changeMarker = 0xFC;  // value and mask follow
// In the five-input devices' frames a value of 0xFF means "nothing read".
inline constexpr std::uint8_t noValue = 0xFF;

// Which inputs a frame writes, and the values it writes to them.
struct InputUpdate {
    std::uint8_t written = 0;
    std::uint8_t values = 0;
};

constexpr std::uint8_t applyUpdate(std::uint8_t inputs, InputUpdate update) {
    return static_cast<std::uint8_t>((inputs & ~update.written) | (update.values & update.written));
}

// What one recognised frame does: the inputs it writes and the two bytes
// that acknowledge it.
struct FrameEffect {
    InputUpdate update;
    std::array<std::uint8_t, 2> reply{};
};

// A recognised frame: a change frame (value and mask) or a state frame.
struct Frame {
    bool change = false;
    std::uint8_t value = 0;
    std::uint8_t mask = 0;
};

// ---- Three-input devices --------------------------------------------------

inline constexpr int kelvaneInputs = 3;

// The newest received bytes that no frame has used yet, at most three.
struct AssemblyWindow {
    std::array<std::uint8_t, 3> bytes{};
    int count = 0;
};

// Puts byte behind the bytes in the window. When the window now holds a
// frame, the window is emptied and the frame returned; otherwise, a full
// window drops its oldest byte.
std::optional<Frame> kelvaneFeed(AssemblyWindow& window, std::uint8_t byte);

// The first two bytes of a recognised frame, as the trace shows them.
std::array<std::uint8_t, 2> kelvaneLeadBytes(const Frame& frame);

// The effect of a recognised frame on inputs that are currently `inputs`.
FrameEffect kelvaneEffect(const Frame& frame, std::uint8_t inputs);

// ---- Five-input devices ---------------------------------------------------

inline constexpr int sorrelInputs = 5;

// Finds frame boundaries in a byte stream, one byte at a time.
class SorrelReader {
public:
    // The frame that byte completes, if any. Bytes that start no frame are
    // dropped, and so is a frame start not followed by a state marker.
    std::optional<Frame> feed(std::uint8_t byte);
    // A frame has begun and more of its bytes are awaited.
    bool midFrame() const { return stage_ != Stage::Start; }

private:
    enum class Stage { Start, AfterFrameStart, StateValue, ChangeValue, ChangeMask };
    Stage stage_ = Stage::Start;
    std::uint8_t value_ = 0;
};

// The effect of a frame on inputs that are currently `inputs`; nothing for
// a frame that carries no value.
std::optional<FrameEffect> sorrelEffect(const Frame& frame, std::uint8_t inputs);

}  // namespace frames
