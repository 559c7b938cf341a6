#include "device_sim/options.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace devsim {
namespace {

template <typename Number>
std::optional<Number> parseNumber(const std::string& text, Number low, Number high) {
    Number value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    if (!(value >= low && value <= high)) return std::nullopt;
    return value;
}

bool isDottedAddress(const std::string& text) {
    int parts = 0;
    std::size_t pos = 0;
    while (true) {
        std::size_t dot = text.find('.', pos);
        std::string part =
            text.substr(pos, dot == std::string::npos ? std::string::npos : dot - pos);
        if (part.empty() || part.size() > 3 || !parseNumber<int>(part, 0, 255)) return false;
        ++parts;
        if (dot == std::string::npos) break;
        pos = dot + 1;
    }
    return parts == 4;
}

class Parser {
public:
    explicit Parser(std::span<const std::string> args) : args_(args) {}

    ParsedOptions run() {
        while (error_.empty() && next_ < args_.size()) option(args_[next_++]);
        if (error_.empty()) decideMode();
        return ParsedOptions{options_, error_};
    }

private:
    void fail(std::string message) {
        if (error_.empty()) error_ = std::move(message);
    }

    std::optional<std::string> value(const std::string& name) {
        if (next_ >= args_.size()) {
            fail(name + " needs a value");
            return std::nullopt;
        }
        return args_[next_++];
    }

    template <typename Number>
    void number(const std::string& name, Number& target, Number low, Number high) {
        auto text = value(name);
        if (!text) return;
        auto parsed = parseNumber<Number>(*text, low, high);
        if (!parsed) {
            fail(name + ": " + *text + " is not a number from " + std::to_string(low) + " to " +
                 std::to_string(high));
            return;
        }
        target = *parsed;
        seen_.push_back(name);
    }

    void address(const std::string& name, std::string& target) {
        auto text = value(name);
        if (!text) return;
        if (!isDottedAddress(*text)) return fail(name + ": " + *text + " is not an IPv4 address");
        target = *text;
    }

    void connectTarget(const std::string& name) {
        auto text = value(name);
        if (!text) return;
        std::size_t colon = text->rfind(':');
        std::string host = text->substr(0, colon);
        auto port = colon == std::string::npos
                        ? std::nullopt
                        : parseNumber<int>(text->substr(colon + 1), 1, 65535);
        if (!port || !isDottedAddress(host)) {
            return fail(name + ": " + *text + " is not ADDRESS:PORT (for example 127.0.0.1:10003)");
        }
        options_.connectAddress = host;
        options_.connectPort = *port;
    }

    void option(const std::string& name) {
        if (name == "--help" || name == "-h") {
            options_.mode = Mode::Help;
            help_ = true;
        } else if (name == "--connect") {
            connectTarget(name);
            seen_.push_back(name);
        } else if (name == "--bind") {
            address(name, options_.bindAddress);
        } else if (name == "--send") {
            auto text = value(name);
            if (!text) return;
            auto bytes = parseHex(*text);
            if (!bytes) return fail("--send: " + *text + " is not hex bytes such as \"FA F0 05\"");
            options_.sends.push_back(*bytes);
        } else if (name == "--script") {
            auto text = value(name);
            if (text) options_.scriptPath = *text;
        } else if (name == "--variant") {
            auto text = value(name);
            if (!text) return;
            if (*text == "kelvane") {
                options_.variant = Variant::Kelvane;
            } else if (*text == "sorrel") {
                options_.variant = Variant::Sorrel;
            } else {
                fail("--variant: " + *text + " is neither kelvane nor sorrel");
            }
        } else if (name == "--expect-replies") {
            options_.expectReplies = true;
        } else if (name == "--reply-timeout") {
            number(name, options_.replyTimeoutMs, 1, 3'600'000);
        } else if (name == "--settle") {
            number(name, options_.settleMs, 0, 3'600'000);
        } else if (name == "--hold") {
            number(name, options_.holdMs, -1, 86'400'000);
        } else if (name == "--seed") {
            number(name, options_.seed, 0u, std::numeric_limits<unsigned>::max());
        } else if (name == "--quiet" || name == "-q") {
            options_.quiet = true;
        } else if (name == "--listen") {
            number(name, options_.listenPort, 1, 65535);
        } else if (name == "--outputs") {
            number(name, options_.outputFrames, 1L, 1'000'000'000L);
        } else if (name == "--connections") {
            number(name, options_.connections, 1, 10'000);
        } else if (name == "--rate") {
            number(name, options_.rate, 0.0, 1e7);
        } else if (name == "--duration") {
            number(name, options_.duration, 0.001, 86'400.0);
        } else if (name == "--frames") {
            number(name, options_.framesPerConnection, 1L, 1'000'000'000L);
        } else {
            fail("unknown option " + name + " (see --help)");
        }
    }

    bool given(const std::string& name) const {
        for (const auto& s : seen_) {
            if (s == name) return true;
        }
        return false;
    }

    void decideMode() {
        if (help_) return;
        bool playsFrames = !options_.sends.empty() || !options_.scriptPath.empty();
        if (!options_.sends.empty() && !options_.scriptPath.empty()) {
            return fail("--send and --script cannot be used together");
        }
        if (given("--connections")) {
            if (playsFrames || options_.listenPort != 0) {
                return fail("--connections cannot be combined with --send, --script or --listen");
            }
            if (options_.duration == 0 && options_.framesPerConnection == 0) options_.duration = 10;
            options_.mode = Mode::Load;
            return;
        }
        if (given("--rate") || given("--frames")) {
            return fail("--rate and --frames belong to a load run (--connections N)");
        }
        if (given("--outputs") && options_.listenPort == 0) {
            return fail("--outputs needs --listen PORT");
        }
        bool connects = playsFrames || given("--connect") || given("--hold");
        if (options_.listenPort != 0 && !connects) {
            options_.mode = Mode::Listen;
            return;
        }
        options_.mode = Mode::Device;
    }

    std::span<const std::string> args_;
    std::size_t next_ = 0;
    Options options_;
    std::string error_;
    std::vector<std::string> seen_;
    bool help_ = false;
};

}  // namespace

ParsedOptions parseOptions(std::span<const std::string> args) {
    return Parser(args).run();
}

std::string helpText() {
    return R"(device_sim: plays a digital-I/O device against a Kelvane or Sorrel monitor.

The monitor is the TCP server: the simulator connects to one of its listening
ports, sends frames and prints every reply (and every output frame Kelvane
sends) with a timestamp. It can also stand in for the device's own port that
Kelvane's output sender connects to, and it can load a monitor with many
devices at once.

Usage:
  device_sim [--connect ADDR:PORT] [--send HEX]... [options]
  device_sim [--connect ADDR:PORT] --script FILE [options]
  device_sim --listen PORT [--outputs N] [--duration S]
  device_sim --connections N [--rate R] [--duration S] [--frames N]

Connecting:
  --connect ADDR:PORT  the monitor's address and port (default 127.0.0.1:10003)
  --bind ADDR          local IPv4 address of every connection and of --listen
                       (default: any)

Playing a device (one connection):
  --send HEX           send these bytes in one write, e.g. --send "FA F0 05";
                       repeatable, sent in the order given
  --script FILE        play a script file instead (format below)
  --variant V          kelvane (default) or sorrel: whose frame tables
                       --expect-replies uses
  --expect-replies     check every reply against the frame tables; the input
                       states are learnt from the frames sent and from change
                       replies (another device may have set them before)
  --reply-timeout MS   how long a reply may take (default 2000)
  --settle MS          with --expect-replies, how long to watch for replies
                       nobody asked for once all are in (default 200)
  --hold MS            stay connected MS ms after the last action, printing
                       what arrives (output frames, for example); -1 stays
                       until the monitor closes (default 0)
  --seed N             seed of the bytes that "garbage" sends (default 1)
  -q, --quiet          print only the summary
  -h, --help           this text

Kelvane's output frames on a port of the device:
  --listen PORT        accept connections on PORT (on --bind ADDR) and print
                       every output frame (FA F0 b) that arrives; alone, or
                       together with a device connection
  --outputs N          end the listener after N output frames
  --duration S         end the listener after S seconds (default: when the
                       device connection ends, or never when listening alone)

Load (many devices at once):
  --connections N      open N connections at once; each sends state frames
                       FA F0 v (v = 00 to 1F in turn) and waits for each
                       reply F0 v before its next frame
  --rate R             frames per second per connection; 0 (default): the
                       next frame as soon as the reply is in
  --duration S         seconds to run (default 10 unless --frames is given)
  --frames N           frames per connection
  Prints frames sent, replies, mismatches, missing replies, round-trip
  median, 90th and 99th percentiles and maximum, and replies per second.

Script file, one action per line:
  send FA F0 05        send the bytes in one write
  sendsplit FC 02 02   send the bytes one at a time, the split gap apart
  splitgap 50          gap of later sendsplit lines in ms (default 20)
  pause 100            wait 100 ms, printing whatever arrives
  garbage 3            send 3 bytes (below F0) that start no frame
  wait                 wait until every frame sent so far is answered
  expect F0 05         the next message from the monitor is exactly this
  expect close         the monitor closes the connection
  close                close the connection
  reset                reset the connection (RST instead of a close)
  # text               a comment; blank lines are ignored
  Nothing may follow close, reset or expect close. Without one of them the
  simulator waits for outstanding replies, holds and closes.

Frames (device to monitor) and replies:
  Kelvane  FA F0 v -> F0 v          FC v m -> FC s (s: states of inputs 1-3)
  Sorrel   F0 v or FA F0 v -> F0 v  FC v 00 -> F0 v
           FC v m -> FC s (s: states of inputs 1-5); v = FF: no reply
  Output frame (Kelvane to device): FA F0 b, b = states of outputs 1-3.

Exit status:
  0  everything went as expected
  1  a check failed: a reply did not match, a reply was missing or not asked
     for, a stray byte arrived, an expect line failed, or fewer output frames
     than --outputs arrived
  2  bad command line or script
  3  network error: socket, bind, listen or connect failed, or the connection
     failed while the simulator still had to send

Examples (Kelvane listens on the adapter address chosen in its window, Sorrel
on every address):
  device_sim --connect 192.168.0.10:10003 --send "FA F0 05" --send "FC 02 02"
  device_sim --connect 127.0.0.1:10003 --variant sorrel --expect-replies \
             --send "F0 1F" --send "FC 01 00"
  device_sim --connect 192.168.0.10:10003 --send "FA F0 00" --listen 10005 \
             --duration 60
  device_sim --connect 192.168.0.10:10003 --connections 8 --rate 100 --duration 10
)";
}

}  // namespace devsim
