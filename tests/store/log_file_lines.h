// Reading back what the program wrote: CR LF lines and CSV records.
#pragma once

#include <regex>
#include <string>
#include <vector>

#include "platform/text.h"

namespace store_test {

// The lines of a file whose every line must end in CR LF; a bare LF or a
// last line without its end makes the result differ from what was written.
inline std::vector<std::string> crlfLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(bytes.substr(start, end - start));
    }
    if (start != bytes.size()) lines.push_back("<unterminated>" + bytes.substr(start));
    return lines;
}

inline std::string logHeader(const std::string& names) {
    return text::jp("日付,時刻,接続元IPアドレス") + names;
}

// A whole record of this program's width from the given peer.
inline bool isRecordFrom(const std::string& line, const std::string& peer, int signalCount) {
    std::string pattern = R"(\d{4}/\d{2}/\d{2},\d{2}:\d{2}:\d{2},)";
    pattern += std::regex_replace(peer, std::regex(R"(\.)"), R"(\.)");
    for (int i = 0; i < signalCount; ++i) pattern += ",[01]";
    return std::regex_match(line, std::regex(pattern));
}

}  // namespace store_test
