#include "history_workload.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "history/time_view.h"
#include "history/wall_clock.h"
#include "platform/wall_clock.h"

namespace bench {

history::Timeline dayOfChanges(std::size_t count, history::TimeMs end) {
    history::Timeline timeline({3, 3}, history::Bound{});
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> row(0, 5);
    std::uniform_int_distribution<int> device(0, 3);
    const double step = static_cast<double>(history::day) / static_cast<double>(count);
    history::Change state;
    state.time = end - history::day;
    state.stopped = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const int d = device(random);
        state.time =
            end - history::day + static_cast<history::TimeMs>(static_cast<double>(i) * step);
        state.on = static_cast<history::RowMask>(state.on ^ (1u << row(random)));
        state.address = history::networkOrderAddress(192, 168, 0, 10 + d);
        state.port = static_cast<std::uint16_t>(10003 + d);
        timeline.append(state);
    }
    return timeline;
}

std::uint64_t writeLog(const std::string& path, std::uint64_t bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    // "日付,時刻,接続元IPアドレス" in CP932.
    const char* titles =
        "\x93\xfa\x95\x74,\x8e\x9e\x8d\x8f,\x90\xda\x91\xb1\x8c\xb3IP\x83\x41\x83\x68\x83\x8c"
        "\x83\x58";
    std::mt19937 random(54321);
    std::uniform_int_distribution<int> bit(0, 5);
    std::uniform_int_distribution<int> device(0, 3);
    unsigned state = 0;
    std::uint64_t written = 0;
    std::uint64_t lines = 0;
    history::TimeMs time = history::toTimeMs({2024, 5, 1, 0, 0, 0, 0});
    while (written < bytes) {
        if (lines % 100'000 == 0) {
            written += static_cast<std::uint64_t>(
                std::fprintf(file, "%s,DI1,Pump %llu,DI3,DO1,DO2,DO3\r\n", titles,
                             static_cast<unsigned long long>(lines / 100'000)));
        }
        state ^= 1u << bit(random);
        const history::WallTime t = history::toWallTime(time);
        written += static_cast<std::uint64_t>(
            std::fprintf(file, "%04d/%02d/%02d,%02d:%02d:%02d,192.168.0.%d,%u,%u,%u,%u,%u,%u\r\n",
                         t.year, t.month, t.day, t.hour, t.minute, t.second, 10 + device(random),
                         state & 1, (state >> 1) & 1, (state >> 2) & 1, (state >> 3) & 1,
                         (state >> 4) & 1, (state >> 5) & 1));
        ++lines;
        time += 250;
    }
    std::fclose(file);
    return lines;
}

history::TimeMs nowMsWallClock() {
    return wallclock::localNowMs();
}

void timeRepaints(const Repaint& repaint) {
    constexpr int plotColumns = 1000;
    constexpr int labelWidth = 150;
    const history::TimeMs end = history::toTimeMs({2024, 5, 2, 0, 0, 0, 0});
    struct Zoom {
        const char* name;
        double span;
    };
    for (const std::size_t changes : {std::size_t{10'000}, std::size_t{1'000'000}}) {
        const history::Timeline timeline = dayOfChanges(changes, end);
        std::printf("%zu changes over a day, a %d x 240 px diagram:\n", timeline.size(),
                    labelWidth + plotColumns);
        for (const Zoom zoom :
             {Zoom{"a day", 86'400'000.0}, Zoom{"an hour", 3'600'000.0}, Zoom{"a minute", 60'000.0},
              Zoom{"a second", 1000.0}, Zoom{"10 ms", 10.0}}) {
            history::TimeView view(plotColumns, zoom.span / plotColumns);
            view.setSpan(timeline.at(0).time, end);
            DiagramContent content;
            content.geometry = {labelWidth + plotColumns, 240, labelWidth, 20, 6};
            content.timeline = &timeline;
            content.view = &view;
            content.names = {"DI1", "DI2", "DI3", "DO1", "DO2", "DO3"};
            std::vector<double> times;
            std::string note;
            for (int run = 0; run < 41; ++run) times.push_back(repaint(content, note));
            std::sort(times.begin(), times.end());
            std::printf("  %-9s across %d columns: median %.3f ms, worst %.3f ms%s\n", zoom.name,
                        plotColumns, times[times.size() / 2], times.back(), note.c_str());
        }
    }
}

double nowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace bench
