// The Qt application behind every window of the program, and the conversions
// between the dialog framework's terms and Qt's: text, colours, fonts,
// dialog units and the program's icon.
#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QRect>
#include <QSize>
#include <QString>
#include <string>
#include <string_view>
#include <thread>

#include "platform/ui.h"

class QApplication;

namespace ui::qt {

// Created on first use on the calling thread, which becomes the window thread.
QApplication& application();
std::thread::id windowThreadId();

QString fromCp932(std::string_view cp932);
std::string toCp932(const QString& text);
QColor toQColor(Color color);

// The font a dialog or control names, with the platform's Japanese faces
// mapped to installed ones.
QFont screenFont(const char* faceUtf8, double points);

// Dialog units of one font, converted to pixels as the platform does: the
// base width is the average width of the 52 Latin letters, the base height
// the font's height; x = du * baseX / 4, y = du * baseY / 8, rounded.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }
    int toPixelsX(int du) const;
    int toPixelsY(int du) const;
    QRect toPixels(int x, int y, int cx, int cy) const;
    QSize toPixels(int cx, int cy) const;

private:
    int baseX_;
    int baseY_;
};

inline constexpr int programIconResource = 128;
QIcon programIcon();
// The icon at one size, also for the icon files of the desktop's menus.
QPixmap drawProgramIcon(int size);

}  // namespace ui::qt
