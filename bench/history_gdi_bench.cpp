// One repaint of the history diagram as the Windows program paints it (GDI
// into the surface's bitmap, read back as the copy does), with 10,000 and
// 1,000,000 changes at zooms from a day to 10 ms. Prints figures, asserts
// nothing; runs on Windows or under Wine.
#include <windows.h>

#include <cstdio>
#include <string>

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
    bench::timeRepaints([&](const DiagramContent& content, std::string& note) {
        owner.content = content;
        const double start = bench::nowMs();
        const ui::Image image = ui::win32::captureSurface(surface);
        const double took = bench::nowMs() - start;
        if (image.width != content.geometry.width) {
            note = ", a picture of " + std::to_string(image.width) + " px";
        }
        return took;
    });
    DestroyWindow(surface);
    return 0;
}
