// The device script: one action per line.
//
//   send FA F0 05      send the bytes in one write
//   sendsplit FC 02 02 send the bytes one at a time, with the split gap
//                      between them
//   splitgap 50        gap of later sendsplit lines, in ms (default 20)
//   pause 100          wait, in ms, printing whatever arrives
//   garbage 3          send 3 bytes that start no frame
//   wait               wait until every frame sent so far is answered
//   expect F0 05       the next message from the monitor is these bytes
//   expect close       the monitor closes the connection
//   close              close the connection
//   reset              reset the connection (RST)
//   # comment          blank lines and text after # are ignored
//
// The script ends with its last line, or with close, reset or expect close,
// after which nothing may follow.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "device_sim/hex.h"

namespace devsim {

inline constexpr int defaultSplitGapMs = 20;
inline constexpr int maxDelayMs = 3'600'000;
inline constexpr int maxGarbageBytes = 100'000;

struct Action {
    enum class Kind {
        Send,
        SendSplit,
        SplitGap,
        Pause,
        Garbage,
        Wait,
        Expect,
        ExpectClose,
        Close,
        Reset
    };
    Kind kind = Kind::Send;
    Bytes bytes;     // Send, SendSplit, Expect
    int number = 0;  // SplitGap and Pause in ms, Garbage in bytes

    bool operator==(const Action&) const = default;
};

struct ParsedScript {
    std::vector<Action> actions;
    std::string error;  // empty when the script is sound
    int errorLine = 0;  // 1-based
};

ParsedScript parseScript(std::string_view text);

}  // namespace devsim
