// What the monitor must answer. The model reads the bytes a device sends
// the way each program reads them, and gives the reply of every frame that
// the program recognises. It starts without knowing the monitor's input
// states (another device may have set them) and learns them from the
// frames it sends and from the change replies it gets.
#pragma once

#include <cstdint>
#include <optional>

namespace devsim {

enum class Variant { Kelvane, Sorrel };

inline constexpr std::uint8_t stateMarker = 0xF0;
inline constexpr std::uint8_t frameStart = 0xFA;
inline constexpr std::uint8_t changeMarker = 0xFC;

struct ExpectedReply {
    std::uint8_t kind = 0;   // stateMarker or changeMarker
    std::uint8_t value = 0;  // bits outside knownBits are 0
    std::uint8_t knownBits = 0xFF;

    bool matches(std::uint8_t actualKind, std::uint8_t actualValue) const {
        return actualKind == kind && (actualValue & knownBits) == value;
    }
};

class ReplyModel {
public:
    explicit ReplyModel(Variant variant) : variant_(variant) {}

    // One byte sent to the monitor; the reply it must give when the byte
    // completes a frame.
    std::optional<ExpectedReply> feed(std::uint8_t byte);

    // A reply that arrived: a change reply shows every input's state at the
    // time of its frame, which is still the state of every input that no
    // later frame of this device has set.
    void learn(std::uint8_t kind, std::uint8_t value);

    int inputCount() const { return variant_ == Variant::Kelvane ? 3 : 5; }
    std::uint8_t knownInputs() const { return known_; }
    std::uint8_t inputStates() const { return states_; }

private:
    std::uint8_t inputBits() const { return static_cast<std::uint8_t>((1u << inputCount()) - 1); }
    void setInputs(std::uint8_t value, std::uint8_t mask);
    ExpectedReply changeReply() const;
    std::optional<ExpectedReply> feedKelvane(std::uint8_t byte);
    std::optional<ExpectedReply> feedSorrel(std::uint8_t byte);
    std::optional<ExpectedReply> completeSorrel(std::uint8_t value, std::uint8_t mask);

    enum class SorrelStep { Start, AfterFrameStart, Value, ChangeValue, ChangeMask };

    Variant variant_;
    std::uint8_t states_ = 0;
    std::uint8_t known_ = 0;
    // Kelvane's assembly window: the newest bytes not yet used by a frame.
    std::uint8_t window_[3] = {};
    int windowCount_ = 0;
    SorrelStep sorrelStep_ = SorrelStep::Start;
    std::uint8_t pendingValue_ = 0;
};

}  // namespace devsim
