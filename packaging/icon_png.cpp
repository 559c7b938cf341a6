// Writes the icon the programs draw for their windows as the PNG files of
// the desktop's icon theme:
//   icon_png <folder> <name>...
// gives <folder>/<N>x<N>/apps/<name>.png for every theme size N.
#include <QDir>
#include <QPixmap>
#include <QString>
#include <cstdio>

#include "platform/ui_qt_app.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <folder> <name>...\n", argv[0]);
        return 2;
    }
    // Drawing needs no screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ui::qt::application();
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder =
            QString("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        const QPixmap icon = ui::qt::drawProgramIcon(size);
        if (!QDir().mkpath(folder)) return 1;
        for (int i = 2; i < argc; ++i) {
            const QString file = folder + "/" + QString::fromLocal8Bit(argv[i]) + ".png";
            if (!icon.save(file, "PNG")) {
                std::fprintf(stderr, "icon_png: cannot write %s\n", qPrintable(file));
                return 1;
            }
        }
    }
    return 0;
}
