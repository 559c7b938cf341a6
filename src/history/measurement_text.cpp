#include "history/measurement_text.h"

#include <array>
#include <cstdio>

namespace history {

namespace {

constexpr std::string_view absent = "-";

std::string formatted(const char* format, double value) {
    std::array<char, 48> buffer{};
    std::snprintf(buffer.data(), buffer.size(), format, value);
    return buffer.data();
}

template <class Ms>
std::string secondsCell(const std::optional<Ms>& ms) {
    if (!ms) return std::string(absent);
    return formatted("%.3f", static_cast<double>(*ms) / 1000.0);
}

}  // namespace

const std::vector<std::string>& measurementColumns() {
    static const std::vector<std::string> columns{
        "\x90M\x8d\x86",                             // 信号
        "\x95\xcf\x89\xbb",                          // 変化
        "\x97\xa7\x82\xbf\x8f\xe3\x82\xaa\x82\xe8",  // 立ち上がり
        "ON \x8d\x87\x8cv [s]",                      // ON 合計 [s]
        "ON \x8a\x84\x8d\x87 [%]",                   // ON 割合 [%]
        "\x8d\xc5\x92Z ON [s]",                      // 最短 ON [s]
        "\x8d\xc5\x92\xb7 ON [s]",                   // 最長 ON [s]
        "\x95\xbd\x8b\xcf\x8e\xfc\x8a\xfa [s]",      // 平均周期 [s]
    };
    return columns;
}

std::vector<std::string> measurementCells(const RowMeasurements& figures) {
    return {std::to_string(figures.changes),
            std::to_string(figures.rises),
            secondsCell(figures.onMs),
            figures.onPercent ? formatted("%.1f", *figures.onPercent) : std::string(absent),
            secondsCell(figures.shortestOnMs),
            secondsCell(figures.longestOnMs),
            secondsCell(figures.meanPeriodMs)};
}

std::string measurementTableText(const std::vector<std::string>& names,
                                 const std::vector<RowMeasurements>& figures) {
    std::string text;
    const auto addLine = [&text](const std::string& first, const std::vector<std::string>& rest) {
        text.append(first);
        for (const std::string& field : rest) text.append("\t").append(field);
        text.append("\r\n");
    };
    const std::vector<std::string>& columns = measurementColumns();
    addLine(columns.front(), {columns.begin() + 1, columns.end()});
    for (std::size_t i = 0; i < names.size() && i < figures.size(); ++i) {
        addLine(names[i], measurementCells(figures[i]));
    }
    return text;
}

}  // namespace history
