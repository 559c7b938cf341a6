// Where the Qt backend puts the program's controls, for the real-screen
// test that clicks them: the window's client size and every control's
// rectangle in pixels, as the backend converts the dialog units of the
// mapped font, and the pixel width of each text given on the command line
// in that font.
//
//   layout_probe [TEXT]...
//
// Prints "main W H", "title W H", "control DIALOG ID X Y W H" per control
// with an id, and "width PX" per TEXT (UTF-8).
#include <QApplication>
#include <QFontMetrics>
#include <cstdio>

#include "platform/ui_qt_app.h"
#include "variant/product.h"
#include "window/title_bar_dlg.h"

namespace {

void print(const char* name, const ui::DialogLayout& layout) {
    const ui::qt::DialogUnits units(ui::qt::screenFont(layout.fontFace, layout.fontPoints));
    const QSize size = units.toPixels(layout.cx, layout.cy);
    std::printf("%s %d %d\n", name, size.width(), size.height());
    for (const ui::ControlLayout& control : layout.controls) {
        if (control.id == ui::idNone) continue;
        const QRect area = units.toPixels(control.x, control.y, control.cx, control.cy);
        std::printf("control %s %d %d %d %d %d\n", name, control.id, area.x(), area.y(),
                    area.width(), area.height());
    }
}

}  // namespace

int main(int argc, char** argv) {
    ui::qt::application();
    const ui::DialogLayout& main = variant::mainDialogLayout();
    print("main", main);
    print("title", titleBarDialogLayout());
    const QFontMetrics metrics(ui::qt::screenFont(main.fontFace, main.fontPoints));
    for (int i = 1; i < argc; ++i) {
        std::printf("width %d\n", metrics.horizontalAdvance(QString::fromUtf8(argv[i])));
    }
    return 0;
}
