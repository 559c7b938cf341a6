#include "platform/fs_text_file.h"

#include <algorithm>

namespace fs::detail {

std::string withCrLf(std::string_view text) {
    std::string translated;
    translated.reserve(text.size() + text.size() / 16 + 2);
    // Line by line rather than byte by byte: the log's writer puts every
    // line it owes through here.
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        translated.append(text.substr(start, end - start));
        if (end == text.size()) break;
        translated.append("\r\n");
        start = end + 1;
    }
    return translated;
}

std::optional<std::string> BufferedTextFile::readLine(std::size_t maxBytes) {
    if (!isOpen() || writable_) {
        failed_ = true;
        return std::nullopt;
    }
    // Nothing follows a failure: the rest of a line cut off would pass for
    // a line of its own.
    if (failed_) return std::nullopt;
    std::string line;
    bool any = false;
    for (;;) {
        if (readPos_ == readEnd_ && !fill()) break;
        any = true;
        const char c = buffer_[readPos_++];
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            break;
        }
        // One byte more than the bound may still be the CR of the line end.
        if (line.size() > maxBytes) {
            failed_ = true;
            return std::nullopt;
        }
        line.push_back(c);
    }
    if (!any) return std::nullopt;
    if (line.size() > maxBytes) {
        failed_ = true;
        return std::nullopt;
    }
    return line;
}

bool BufferedTextFile::write(std::string_view text) {
    if (!isOpen() || !writable_) {
        failed_ = true;
        return false;
    }
    const std::string translated = withCrLf(text);
    std::string_view rest = translated;
    while (!rest.empty()) {
        const std::size_t written = writeSome(rest);
        if (written == 0) {
            failed_ = true;
            return false;
        }
        rest.remove_prefix(written);
    }
    return true;
}

bool BufferedTextFile::fill() {
    const std::optional<std::size_t> got = readSome(buffer_, sizeof buffer_);
    if (!got) {
        failed_ = true;
        return false;
    }
    if (*got == 0) return false;
    readPos_ = 0;
    readEnd_ = *got;
    return true;
}

}  // namespace fs::detail
