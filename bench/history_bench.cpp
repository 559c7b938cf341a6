// The signal history's costs (prints figures, asserts nothing): what
// recording costs a frame, from one thread and from four at once; one repaint
// of the diagram with 10,000 and 1,000,000 changes at zooms from a day to
// 10 ms across 1000 pixel columns (the reduction to columns and the drawing
// calls, on a painter that only counts them), and the time to open a log of
// 100 MB as the history window reads it (1 MB pieces, each file open
// closed again).
//
//   history_bench [LOG_MB]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "history/log_reader.h"
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
    openLog(logMegabytes);
    return 0;
}
