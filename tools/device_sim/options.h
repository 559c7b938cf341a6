// The simulator's command line.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "device_sim/hex.h"
#include "device_sim/reply_model.h"

namespace devsim {

inline constexpr int exitOk = 0;
inline constexpr int exitCheckFailed = 1;
inline constexpr int exitUsage = 2;
inline constexpr int exitNetwork = 3;

enum class Mode {
    Help,
    Device,  // one connection playing --send bytes or a script; with --listen as well
    Listen,  // only the output-frame listener
    Load,    // many connections sending state frames
};

struct Options {
    Mode mode = Mode::Device;
    std::string connectAddress = "127.0.0.1";
    int connectPort = 10003;
    std::string bindAddress;  // empty: any local address
    Variant variant = Variant::Kelvane;

    std::vector<Bytes> sends;
    std::string scriptPath;
    bool expectReplies = false;
    int replyTimeoutMs = 2000;
    int settleMs = 200;
    int holdMs = 0;  // -1: until the monitor closes
    unsigned seed = 1;
    bool quiet = false;

    int listenPort = 0;  // 0: no listener
    long outputFrames = 0;

    int connections = 0;
    double rate = 0;      // frames per second per connection; 0: back to back
    double duration = 0;  // seconds; 0: no limit of time
    long framesPerConnection = 0;
};

struct ParsedOptions {
    Options options;
    std::string error;  // empty when the command line is sound
};

// The arguments after the program name.
ParsedOptions parseOptions(std::span<const std::string> args);

std::string helpText();

}  // namespace devsim
