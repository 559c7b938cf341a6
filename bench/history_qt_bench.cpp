// One repaint of the history diagram as the Qt program paints it (onto an
// image of the surface's size through the backend's painter, offscreen),
// with 10,000 and 1,000,000 changes at zooms from a day to 10 ms. Prints
// figures, asserts nothing. Run with QT_QPA_PLATFORM=offscreen.
#include <QImage>
#include <QPainter>
#include <string>

#include "history_workload.h"
#include "platform/ui_qt_app.h"
#include "platform/ui_qt_controls.h"
#include "window/history_diagram.h"

int main() {
    ui::qt::application();
    const QFont font = ui::qt::screenFont("ＭＳ Ｐゴシック", 9);
    QImage image(1150, 240, QImage::Format_RGB32);
    bench::timeRepaints([&](const DiagramContent& content, std::string&) {
        const double start = bench::nowMs();
        QPainter painter(&image);
        painter.setFont(font);
        ui::qt::QtPainter drawing(painter, image.size());
        drawDiagram(drawing, content);
        painter.end();
        return bench::nowMs() - start;
    });
    return 0;
}
