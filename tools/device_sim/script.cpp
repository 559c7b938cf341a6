#include "device_sim/script.h"

#include <charconv>
#include <optional>

namespace devsim {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::optional<int> parseCount(std::string_view text, int low, int high) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    if (value < low || value > high) return std::nullopt;
    return value;
}

bool endsScript(Action::Kind kind) {
    return kind == Action::Kind::Close || kind == Action::Kind::Reset ||
           kind == Action::Kind::ExpectClose;
}

// One line without its comment; an error text, or empty with the action set.
std::string parseLine(std::string_view line, Action& action) {
    std::size_t blank = line.find_first_of(" \t");
    std::string_view word = line.substr(0, blank);
    std::string_view rest = blank == std::string_view::npos ? "" : trim(line.substr(blank));

    auto needBytes = [&](Action::Kind kind) -> std::string {
        auto bytes = parseHex(rest);
        if (!bytes) return "expected hex bytes after " + std::string(word);
        action = Action{kind, *bytes, 0};
        return {};
    };
    auto needNumber = [&](Action::Kind kind, int low, int high) -> std::string {
        auto number = parseCount(rest, low, high);
        if (!number) {
            return "expected a number from " + std::to_string(low) + " to " + std::to_string(high) +
                   " after " + std::string(word);
        }
        action = Action{kind, {}, *number};
        return {};
    };
    auto noArgument = [&](Action::Kind kind) -> std::string {
        if (!rest.empty()) return std::string(word) + " takes no argument";
        action = Action{kind, {}, 0};
        return {};
    };

    if (word == "send") return needBytes(Action::Kind::Send);
    if (word == "sendsplit") return needBytes(Action::Kind::SendSplit);
    if (word == "splitgap") return needNumber(Action::Kind::SplitGap, 0, maxDelayMs);
    if (word == "pause") return needNumber(Action::Kind::Pause, 0, maxDelayMs);
    if (word == "garbage") return needNumber(Action::Kind::Garbage, 1, maxGarbageBytes);
    if (word == "wait") return noArgument(Action::Kind::Wait);
    if (word == "close") return noArgument(Action::Kind::Close);
    if (word == "reset") return noArgument(Action::Kind::Reset);
    if (word == "expect") {
        if (rest == "close") {
            action = Action{Action::Kind::ExpectClose, {}, 0};
            return {};
        }
        return needBytes(Action::Kind::Expect);
    }
    return "unknown command " + std::string(word);
}

}  // namespace

ParsedScript parseScript(std::string_view text) {
    ParsedScript result;
    int lineNumber = 0;
    bool ended = false;
    while (!text.empty()) {
        ++lineNumber;
        std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);

        line = trim(line.substr(0, line.find('#')));
        if (line.empty()) continue;
        Action action;
        std::string error =
            ended ? "nothing may follow close, reset or expect close" : parseLine(line, action);
        if (!error.empty()) {
            result.actions.clear();
            result.error = std::move(error);
            result.errorLine = lineNumber;
            return result;
        }
        ended = endsScript(action.kind);
        result.actions.push_back(std::move(action));
    }
    return result;
}

}  // namespace devsim
