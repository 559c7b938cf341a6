#include "history/log_reader.h"

#include <algorithm>
#include <limits>

#include "history/wall_clock.h"

namespace history {

namespace {

// "日付,時刻,接続元IPアドレス" in CP932: the start of every header line.
constexpr std::string_view headerTitles =
    "\x93\xfa\x95\x74,\x8e\x9e\x8d\x8f,\x90\xda\x91\xb1\x8c\xb3IP\x83\x41\x83\x68\x83\x8c\x83\x58";
// The name fields take at most 20 bytes.
constexpr std::size_t maxNameBytes = 20;
// Our lines stay far below this; a longer one is not ours.
constexpr std::size_t maxLineBytes = 4096;
// More commas than names could hold are not looked into.
constexpr std::size_t maxExtraFields = 128;
constexpr int sorrelSignals = 5;
constexpr int kelvaneSignals = 6;

// Reads a fixed number of digits; false unless they are all there.
bool digits(std::string_view& text, int count, int& value) {
    if (text.size() < static_cast<std::size_t>(count)) return false;
    value = 0;
    for (int i = 0; i < count; ++i) {
        const char c = text[static_cast<std::size_t>(i)];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    text.remove_prefix(static_cast<std::size_t>(count));
    return true;
}

bool literal(std::string_view& text, char c) {
    if (text.empty() || text.front() != c) return false;
    text.remove_prefix(1);
    return true;
}

// "YYYY/MM/DD,HH:MM:SS"
std::optional<TimeMs> timestamp(std::string_view& text) {
    WallTime t;
    if (!digits(text, 4, t.year) || !literal(text, '/') || !digits(text, 2, t.month) ||
        !literal(text, '/') || !digits(text, 2, t.day) || !literal(text, ',') ||
        !digits(text, 2, t.hour) || !literal(text, ':') || !digits(text, 2, t.minute) ||
        !literal(text, ':') || !digits(text, 2, t.second)) {
        return std::nullopt;
    }
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 ||
        t.second > 60) {
        return std::nullopt;
    }
    return toTimeMs(t);
}

// A dotted IPv4 address: four numbers 0 to 255 of one to three digits.
std::optional<std::uint32_t> address(std::string_view& text) {
    int parts[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && !literal(text, '.')) return std::nullopt;
        int value = 0;
        int count = 0;
        while (!text.empty() && text.front() >= '0' && text.front() <= '9' && count < 3) {
            value = value * 10 + (text.front() - '0');
            text.remove_prefix(1);
            ++count;
        }
        if (count == 0 || value > 255) return std::nullopt;
        parts[i] = value;
    }
    return networkOrderAddress(parts[0], parts[1], parts[2], parts[3]);
}

std::vector<std::string> split(std::string_view text) {
    std::vector<std::string> fields;
    for (;;) {
        const std::size_t comma = text.find(',');
        fields.emplace_back(text.substr(0, comma));
        if (comma == std::string_view::npos) return fields;
        text.remove_prefix(comma + 1);
    }
}

std::string joined(const std::vector<std::string>& fields, std::size_t from, std::size_t to) {
    std::string name = fields[from];
    for (std::size_t i = from + 1; i < to; ++i) name.append(",").append(fields[i]);
    return name;
}

}  // namespace

std::vector<std::string> defaultNames(RowSet rows) {
    std::vector<std::string> names;
    for (int i = 1; i <= rows.inputs; ++i) names.push_back("DI" + std::to_string(i));
    for (int i = 1; i <= rows.outputs; ++i) names.push_back("DO" + std::to_string(i));
    return names;
}

std::vector<std::string> namesOfHeader(const std::vector<std::string>& fields,
                                       const std::vector<std::string>& before) {
    const std::size_t rows = before.size();
    std::vector<std::string> names;
    if (rows == 0) return names;
    if (fields.size() <= rows) {
        names = fields;
        names.resize(rows);
        return names;
    }
    const std::size_t count = fields.size();
    if (count - rows > maxExtraFields) {
        names.assign(fields.begin(), fields.begin() + static_cast<std::ptrdiff_t>(rows - 1));
        names.push_back(joined(fields, rows - 1, count));
        return names;
    }
    // best[g][i]: the best score of the first i fields as g names; a name
    // equal to the one before scores 1, a name too long for its field -1000.
    constexpr int unreachable = std::numeric_limits<int>::min();
    std::vector<std::vector<int>> best(rows + 1, std::vector<int>(count + 1, unreachable));
    std::vector<std::vector<std::size_t>> cut(rows + 1, std::vector<std::size_t>(count + 1, 0));
    best[0][0] = 0;
    for (std::size_t g = 1; g <= rows; ++g) {
        for (std::size_t i = g; i <= count - (rows - g); ++i) {
            std::size_t length = 0;
            for (std::size_t j = i; j-- > g - 1;) {
                length += fields[j].size() + (j + 1 < i ? 1 : 0);
                if (best[g - 1][j] == unreachable) continue;
                int score = length > maxNameBytes ? -1000 : 0;
                if (length == before[g - 1].size() && joined(fields, j, i) == before[g - 1]) {
                    ++score;
                }
                if (best[g - 1][j] + score >= best[g][i]) {
                    best[g][i] = best[g - 1][j] + score;
                    cut[g][i] = j;
                }
            }
        }
    }
    names.resize(rows);
    std::size_t end = count;
    for (std::size_t g = rows; g > 0; --g) {
        const std::size_t from = cut[g][end];
        names[g - 1] = joined(fields, from, end);
        end = from;
    }
    return names;
}

void LogReader::feed(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, end);
        if (!overlong_ && partial_.size() + piece.size() > maxLineBytes) {
            overlong_ = true;
            partial_.clear();
        }
        if (end == std::string_view::npos) {
            if (!overlong_) partial_.append(piece);
            return;
        }
        bytes.remove_prefix(end + 1);
        if (overlong_) {
            ++lines_;
            ++skipped_;
            overlong_ = false;
        } else if (partial_.empty()) {
            readLine(piece);
        } else {
            partial_.append(piece);
            readLine(partial_);
            partial_.clear();
        }
    }
}

void LogReader::readLine(std::string_view line) {
    ++lines_;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.substr(0, headerTitles.size()) == headerTitles) {
        const std::string_view rest = line.substr(headerTitles.size());
        if (rest.empty()) {
            pendingHeader_.emplace();
            return;
        }
        if (rest.front() == ',') {
            pendingHeader_ = split(rest.substr(1));
            return;
        }
    }
    if (!readDataLine(line)) ++skipped_;
}

bool LogReader::readDataLine(std::string_view line) {
    const auto time = timestamp(line);
    if (!time || !literal(line, ',')) return false;
    const auto from = address(line);
    if (!from) return false;
    RowMask on = 0;
    int signals = 0;
    while (!line.empty()) {
        if (line.size() < 2 || line[0] != ',' || (line[1] != '0' && line[1] != '1') ||
            signals == kelvaneSignals) {
            return false;
        }
        if (line[1] == '1') on = static_cast<RowMask>(on | (1u << signals));
        ++signals;
        line.remove_prefix(2);
    }
    if (signals != sorrelSignals && signals != kelvaneSignals) return false;
    if (!timeline_) startTimeline(signals);
    if (signals != signalCount_) return false;

    Change change;
    change.time = *time;
    change.address = *from;
    change.on = on;
    timeline_->append(change);
    if (pendingHeader_) {
        const RowSet rows = timeline_->rows();
        const std::vector<std::string> before =
            names_.empty() ? defaultNames(rows) : names_.back().names;
        // From this line on, at the time the history gives it.
        const TimeMs inForce = std::max(*time, timeline_->back().time);
        names_.push_back({inForce, namesOfHeader(*pendingHeader_, before)});
        pendingHeader_.reset();
    }
    return true;
}

void LogReader::startTimeline(int signalCount) {
    signalCount_ = signalCount;
    timeline_.emplace(signalCount == kelvaneSignals ? RowSet{3, 3} : RowSet{sorrelSignals, 0});
}

}  // namespace history
