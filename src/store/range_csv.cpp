#include "store/range_csv.h"

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <span>

#include "history/wall_clock.h"
#include "platform/sock.h"
#include "store/csv_lines.h"

namespace store {

namespace {

std::tm localTimeOf(history::TimeMs time) {
    const history::WallTime wall = history::toWallTime(time);
    std::tm t{};
    t.tm_year = wall.year - 1900;
    t.tm_mon = wall.month - 1;
    t.tm_mday = wall.day;
    t.tm_hour = wall.hour;
    t.tm_min = wall.minute;
    t.tm_sec = wall.second;
    return t;
}

}  // namespace

std::string rangeCsv(const history::Timeline& timeline, history::TimeMs from, history::TimeMs to,
                     const std::vector<std::string>& names) {
    const history::RowSet rows = timeline.rows();
    const auto inputCount = std::min(names.size(), static_cast<std::size_t>(rows.inputs));
    const std::span<const std::string> all(names);
    std::string csv = csvHeaderLine(all.first(inputCount), all.subspan(inputCount));
    std::vector<std::int32_t> inputs(static_cast<std::size_t>(rows.inputs));
    std::vector<std::int32_t> outputs(static_cast<std::size_t>(rows.outputs));
    for (std::size_t i = timeline.lowerBound(from); i < timeline.size(); ++i) {
        const history::Change& change = timeline.at(i);
        if (change.time >= to) break;
        if (change.stopped != 0) continue;
        for (int row = 0; row < rows.count(); ++row) {
            const std::int32_t on = (change.on >> row) & 1u;
            if (row < rows.inputs) {
                inputs[static_cast<std::size_t>(row)] = on;
            } else {
                outputs[static_cast<std::size_t>(row - rows.inputs)] = on;
            }
        }
        csv.append(csvDataLine(csvTimestamp(localTimeOf(change.time)),
                               sock::inetNtoa(change.address), inputs, outputs));
    }
    return csv;
}

}  // namespace store
