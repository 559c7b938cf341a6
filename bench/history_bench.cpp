// The signal history's costs (prints figures, asserts nothing): what
// recording costs a frame, from one thread and from four at once; one repaint
// of the diagram with 10,000 and 1,000,000 changes at zooms from a day to
// 10 ms across 1000 pixel columns (the reduction to columns and the drawing
// calls, on a painter that only counts them), and the time to open a log of
// 100 MB as the history window reads it (1 MB pieces, each file open
// closed again). The cursors' figures over a million changes: the six
// rows measured over ranges from a day to a second, and the moves to a
// row's next change, each beside the same work done change by change.
//
//   history_bench [LOG_MB]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "history/log_reader.h"
#include "history/measurements.h"
#include "history/recorder.h"
#include "history/wall_clock.h"
#include "history_workload.h"
#include "platform/fs_bytes.h"
#include "window/history_diagram.h"

namespace {

class CountingPainter : public ui::Painter {
public:
    explicit CountingPainter(ui::Size size) : size_(size) {}
    ui::Size size() const override { return size_; }
    void fillRect(const ui::Rect&, ui::Color) override { ++calls; }
    void line(int, int, int, int, ui::Color) override { ++calls; }
    void text(int, int, std::string_view, ui::Color) override { ++calls; }
    ui::Size textExtent(std::string_view text) override {
        return {static_cast<int>(text.size()) * 7, 13};
    }
    long calls = 0;

private:
    ui::Size size_;
};

// Frames that write one input each, half of them changing it, as
// applyInputUpdate records them.
void recording() {
    constexpr int frames = 2'000'000;
    for (const int threads : {1, 4}) {
        history::Recorder recorder({3, 3}, [] { return bench::nowMsWallClock(); });
        std::vector<std::thread> devices;
        const double start = bench::nowMs();
        for (int t = 0; t < threads; ++t) {
            devices.emplace_back([&recorder, t] {
                for (int i = 0; i < frames / 4; ++i) {
                    const auto value = static_cast<history::RowMask>((i / 2) % 2);
                    recorder.change({0x0A00A8C0, static_cast<std::uint16_t>(10003 + t)}, [&] {
                        return history::RowWrite{1, value};
                    });
                }
            });
        }
        for (auto& device : devices) device.join();
        const double elapsed = bench::nowMs() - start;
        const double count = frames / 4.0 * threads;
        std::printf("recording, %d thread%s: %.0f ns a frame (%.1f million frames a second)\n",
                    threads, threads == 1 ? "" : "s", elapsed * 1e6 / count,
                    count / elapsed / 1000.0);
    }
}

// The reduction to columns and the drawing calls, on a painter that only
// counts them.
double repaintCounted(const DiagramContent& content, std::string& note) {
    CountingPainter painter({content.geometry.width, content.geometry.height});
    const double start = bench::nowMs();
    drawDiagram(painter, content);
    const double took = bench::nowMs() - start;
    note = ", " + std::to_string(painter.calls) + " drawing calls";
    return took;
}

// The median of 21 runs of work, in milliseconds.
template <class Work>
double medianMs(Work&& work) {
    std::vector<double> times;
    for (int run = 0; run < 21; ++run) {
        const double start = bench::nowMs();
        work();
        times.push_back(bench::nowMs() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The reference: every change of the range stepped through the row's tally.
history::RowTally tallyOfEveryChange(const history::Timeline& timeline, int row,
                                     history::TimeMs from, history::TimeMs to) {
    const std::size_t first = timeline.lowerBound(from);
    history::RowTally tally(
        from, first > 0 ? history::rowStateOf(timeline.at(first - 1), timeline.rows(), row)
                        : history::RowState::None);
    for (std::size_t i = first; i < timeline.size() && timeline.at(i).time < to; ++i) {
        tally.step(timeline.at(i).time, history::rowStateOf(timeline.at(i), timeline.rows(), row));
    }
    tally.advanceTo(to);
    return tally;
}

void measurements() {
    const history::TimeMs end = history::toTimeMs({2024, 5, 2, 0, 0, 0, 0});
    const history::Timeline timeline = bench::dayOfChanges(1'000'000, end);
    const int rows = timeline.rows().count();
    std::printf("measurements of %d rows, %zu changes over a day:\n", rows, timeline.size());
    struct Range {
        const char* name;
        history::TimeMs span;
    };
    for (const Range range : {Range{"a day", history::day}, Range{"an hour", 3'600'000},
                              Range{"a minute", 60'000}, Range{"a second", 1000}}) {
        // Ranges that start and end inside chunks, in the middle of the day.
        const history::TimeMs from = end - history::day / 2 - range.span / 2 + 7;
        const history::TimeMs to = std::min(end, from + range.span);
        std::uint32_t changes = 0;
        const double chunked = medianMs([&] {
            for (int row = 0; row < rows; ++row) {
                changes += history::measureRow(timeline, row, from, to).changes;
            }
        });
        std::uint32_t referenceChanges = 0;
        const double everyChange = medianMs([&] {
            for (int row = 0; row < rows; ++row) {
                referenceChanges += tallyOfEveryChange(timeline, row, from, to).changes();
            }
        });
        std::printf("  %-9s: %.4f ms, change by change %.3f ms (%u changes counted, %u)\n",
                    range.name, chunked, everyChange, changes / 21, referenceChanges / 21);
    }

    // Output 3 changes at the start and at the end only: its next change is
    // a million changes away.
    history::Timeline rare({3, 3});
    history::Change state;
    for (int i = 0; i < 1'000'000; ++i) {
        state.time = i;
        state.on = static_cast<history::RowMask>(
            state.on ^ (i == 1 || i == 999'998 ? 0b100000 : 1u << (i % 2)));
        rare.append(state);
    }
    const auto output3 = static_cast<history::RowMask>(0b100000);
    std::size_t found = 0;
    const double chunked = medianMs([&] { found = *rare.nextChange(10, output3); });
    const double everyChange = medianMs([&] {
        std::size_t i = rare.lowerBound(11);
        while ((rare.changedAt(i) & output3) == 0) ++i;
        found = i;
    });
    std::printf(
        "next change of a row a million changes on: %.4f ms, change by change %.3f ms"
        " (at %zu)\n",
        chunked, everyChange, found);
    const double previous = medianMs([&] { found = *rare.previousChange(999'990, output3); });
    std::printf("previous change of that row, from the end: %.4f ms (at %zu)\n", previous, found);

    // 1000 moves to the next change of input 1 in the day of changes.
    history::TimeMs at = 0;
    const double moves = medianMs([&] {
        at = end - history::day / 2;
        for (int move = 0; move < 1000; ++move) at = timeline.at(*timeline.nextChange(at, 1)).time;
    });
    std::printf("1000 moves to the next change of input 1: %.4f ms in all (to %s)\n", moves,
                history::formatDateTime(at).c_str());
}

void openLog(std::uint64_t megabytes) {
    const std::string path =
        (std::filesystem::temp_directory_path() / "history_bench_log.csv").string();
    const std::uint64_t lines = bench::writeLog(path, megabytes << 20);
    const double start = bench::nowMs();
    history::LogReader reader;
    std::int64_t offset = 0;
    for (;;) {
        const auto piece = fs::readBytes(path, offset, 1 << 20);
        if (!piece) break;
        reader.feed(*piece);
        offset += static_cast<std::int64_t>(piece->size());
        if (piece->size() < (1u << 20)) break;
    }
    const double seconds = (bench::nowMs() - start) / 1000.0;
    std::printf(
        "a log of %.1f MB (%llu lines): opened in %.2f s (%.0f MB/s), %zu changes, %zu "
        "headers, %llu lines skipped\n",
        static_cast<double>(offset) / (1 << 20), static_cast<unsigned long long>(lines), seconds,
        static_cast<double>(offset) / (1 << 20) / seconds,
        reader.timeline() ? reader.timeline()->size() : 0, reader.names().size(),
        static_cast<unsigned long long>(reader.skipped()));
    std::filesystem::remove(path);
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t logMegabytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100;
    recording();
    bench::timeRepaints(repaintCounted);
    measurements();
    openLog(logMegabytes);
    return 0;
}
