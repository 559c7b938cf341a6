// One repaint of the history diagram as the Windows program paints it (GDI
// into the surface's bitmap, read back as the copy does), with 10,000 and
// 1,000,000 changes at zooms from a day to 10 ms. Prints figures, asserts
// nothing; runs on Windows or under Wine.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "history/wall_clock.h"
#include "history_workload.h"
#include "platform/ui_win32_surface.h"
#include "window/history_diagram.h"

namespace {

constexpr ui::ControlLayout noControls[] = {
    {ui::idNone, ui::Kind::Static, ui::styleNone, "", 0, 0, 1, 1}};
constexpr ui::DialogLayout benchLayout{1, "bench", 10, 10, "ＭＳ Ｐゴシック", 9, 0, noControls};

// Paints one history through the surface's own paint path.
class DiagramOwner : public ui::Dialog {
public:
    DiagramOwner() : ui::Dialog(benchLayout) {}
    void OnSurfacePaint(int, ui::Painter& painter) override { drawDiagram(painter, content); }
    DiagramContent content;
};

}  // namespace

int main() {
    ui::win32::registerSurfaceClass();
    HWND surface = CreateWindowExW(0, L"MonitorSurface", L"", WS_POPUP, 0, 0, 1150, 240, nullptr,
                                   nullptr, GetModuleHandleW(nullptr), nullptr);
    if (surface == nullptr) {
        std::printf("no surface window\n");
        return 1;
    }
    DiagramOwner owner;
    ui::win32::attachSurface(surface, owner);
    const history::TimeMs end = history::toTimeMs({2024, 5, 2, 0, 0, 0, 0});
    for (const std::size_t changes : {std::size_t{10'000}, std::size_t{1'000'000}}) {
        const history::Timeline timeline = bench::dayOfChanges(changes, end);
        std::printf("%zu changes over a day, a 1150 x 240 px diagram:\n", timeline.size());
        for (const double span : {86'400'000.0, 3'600'000.0, 60'000.0, 1000.0, 10.0}) {
            history::TimeView view(1000, span / 1000);
            view.setSpan(timeline.at(0).time, end);
            owner.content.geometry = {1150, 240, 150, 20, 6};
            owner.content.timeline = &timeline;
            owner.content.view = &view;
            owner.content.names = {"DI1", "DI2", "DI3", "DO1", "DO2", "DO3"};
            std::vector<double> times;
            for (int run = 0; run < 41; ++run) {
                const double start = bench::nowMs();
                const ui::Image image = ui::win32::captureSurface(surface);
                times.push_back(bench::nowMs() - start);
                if (image.width != 1150) std::printf("  (a picture of %d px)\n", image.width);
            }
            std::sort(times.begin(), times.end());
            std::printf("  %12.0f ms across: median %.3f ms, worst %.3f ms\n", span,
                        times[times.size() / 2], times.back());
        }
    }
    DestroyWindow(surface);
    return 0;
}
