// One repaint of the history diagram as the Qt program paints it (onto an
// image of the surface's size through the backend's painter, offscreen),
// with 10,000 and 1,000,000 changes at zooms from a day to 10 ms. Prints
// figures, asserts nothing. Run with QT_QPA_PLATFORM=offscreen.
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "history/wall_clock.h"
#include "history_workload.h"
#include "platform/ui_qt_app.h"
#include "platform/ui_qt_controls.h"
#include "window/history_diagram.h"

int main() {
    ui::qt::application();
    const history::TimeMs end = history::toTimeMs({2024, 5, 2, 0, 0, 0, 0});
    const QFont font = ui::qt::screenFont("ＭＳ Ｐゴシック", 9);
    for (const std::size_t changes : {std::size_t{10'000}, std::size_t{1'000'000}}) {
        const history::Timeline timeline = bench::dayOfChanges(changes, end);
        std::printf("%zu changes over a day, a 1150 x 240 px diagram:\n", timeline.size());
        for (const double span : {86'400'000.0, 3'600'000.0, 60'000.0, 1000.0, 10.0}) {
            history::TimeView view(1000, span / 1000);
            view.setSpan(timeline.at(0).time, end);
            DiagramContent content;
            content.geometry = {1150, 240, 150, 20, 6};
            content.timeline = &timeline;
            content.view = &view;
            content.names = {"DI1", "DI2", "DI3", "DO1", "DO2", "DO3"};
            QImage image(1150, 240, QImage::Format_RGB32);
            std::vector<double> times;
            for (int run = 0; run < 41; ++run) {
                const double start = bench::nowMs();
                QPainter painter(&image);
                painter.setFont(font);
                ui::qt::QtPainter drawing(painter, image.size());
                drawDiagram(drawing, content);
                painter.end();
                times.push_back(bench::nowMs() - start);
            }
            std::sort(times.begin(), times.end());
            std::printf("  %12.0f ms across: median %.3f ms, worst %.3f ms\n", span,
                        times[times.size() / 2], times.back());
        }
    }
    return 0;
}
