// Any bytes as a log file, read whole and in pieces (cut where the first
// byte says): the reader must not crash, must read the same in any pieces,
// and what it keeps must stay within its promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "history/log_reader.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = 1 + data[0] % 64;
    const std::string_view file(reinterpret_cast<const char*>(data) + 1, size - 1);

    history::LogReader whole;
    whole.feed(file);
    history::LogReader pieces;
    for (std::size_t at = 0; at < file.size(); at += piece) pieces.feed(file.substr(at, piece));

    require(whole.lines() == pieces.lines() && whole.skipped() == pieces.skipped());
    require(whole.skipped() <= whole.lines());
    require(whole.names() == pieces.names());
    require(whole.timeline().has_value() == pieces.timeline().has_value());
    if (!whole.timeline()) {
        require(whole.names().empty());
        return 0;
    }
    const history::Timeline& timeline = *whole.timeline();
    require(timeline.size() == pieces.timeline()->size());
    require(timeline.size() <= whole.lines() - whole.skipped());
    const int rows = timeline.rows().count();
    require(rows == 5 || rows == 6);
    for (std::size_t i = 0; i < timeline.size(); ++i) {
        require(timeline.at(i) == pieces.timeline()->at(i));
        require(i == 0 || timeline.at(i).time >= timeline.at(i - 1).time);
        require(timeline.changedAt(i) != 0);
        require((timeline.at(i).on & ~timeline.rows().all()) == 0);
    }
    for (const auto& names : whole.names()) {
        require(names.names.size() == static_cast<std::size_t>(rows));
    }
    return 0;
}
