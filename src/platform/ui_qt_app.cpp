#include "platform/ui_qt_app.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLibraryInfo>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QTranslator>

#include "platform/text.h"

namespace ui::qt {
namespace {

std::thread::id g_windowThread;

// Debian's fontconfig knows no alias for the platform's Japanese faces, so
// they are mapped here to faces with the same metrics, then to look-alikes.
void mapPlatformFaces() {
    QFont::insertSubstitutions(QString::fromUtf8("ＭＳ Ｐゴシック"),
                               {"IPAPGothic", "VL PGothic", "Noto Sans CJK JP", "TakaoPGothic"});
    QFont::insertSubstitutions(QString::fromUtf8("ＭＳ ゴシック"),
                               {"IPAGothic", "VL Gothic", "Noto Sans Mono CJK JP", "TakaoGothic"});
}

// The common dialogs speak the desktop's language, as the platform's do.
void installQtTranslation(QApplication& app) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(), "qtbase", "_",
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(translator);
    }
}

QApplication* createApplication() {
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        g_windowThread = std::this_thread::get_id();
        mapPlatformFaces();
        return existing;
    }
    static int argc = 1;
    static char programName[] = "monitor";
    static char* argv[] = {programName, nullptr};
    // Kept until the process ends: tearing Qt down during static destruction
    // would unload the platform plugin under live objects.
    auto* app = new QApplication(argc, argv);
    g_windowThread = std::this_thread::get_id();
    // Windows come and go with modal runs and message boxes; only the program
    // decides when it ends.
    QApplication::setQuitOnLastWindowClosed(false);
    mapPlatformFaces();
    installQtTranslation(*app);
    return app;
}

// Rounded a * b / c, halves away from zero, as the platform's MulDiv.
int mulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

QPixmap drawProgramIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 16.0;
    // A device panel with its lamps: one on, one off, one idle.
    painter.setPen(QPen(QColor(40, 40, 40), unit));
    painter.setBrush(QColor(220, 220, 220));
    painter.drawRoundedRect(QRectF(0.5 * unit, 2.5 * unit, 15 * unit, 11 * unit), 2 * unit,
                            2 * unit);
    const QColor lamps[] = {QColor(255, 0, 0), QColor(0, 0, 0), QColor(127, 127, 127)};
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        painter.setBrush(lamps[i]);
        painter.drawEllipse(QRectF((2 + 4.5 * i) * unit, 5.5 * unit, 3.5 * unit, 3.5 * unit));
    }
    painter.setBrush(QColor(40, 40, 40));
    painter.drawRect(QRectF(2 * unit, 10.5 * unit, 12 * unit, 1 * unit));
    return pixmap;
}

QApplication& application() {
    static QApplication* const app = createApplication();
    QApplication::setApplicationName(QString::fromUtf8(applicationName()));
    return *app;
}

std::thread::id windowThreadId() {
    return g_windowThread;
}

QString fromCp932(std::string_view cp932) {
    return QString::fromStdU16String(text::cp932ToUtf16(cp932));
}

std::string toCp932(const QString& text) {
    return text::utf16ToCp932(text.toStdU16String());
}

QColor toQColor(Color color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

QFont screenFont(const char* faceUtf8, double points) {
    QFont font(QString::fromUtf8(faceUtf8));
    font.setPointSizeF(points);
    return font;
}

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    baseX_ = (letters / 26 + 1) / 2;
    baseY_ = metrics.height();
}

int DialogUnits::toPixelsX(int du) const {
    return mulDiv(du, baseX_, 4);
}
int DialogUnits::toPixelsY(int du) const {
    return mulDiv(du, baseY_, 8);
}

QRect DialogUnits::toPixels(int x, int y, int cx, int cy) const {
    return QRect(toPixelsX(x), toPixelsY(y), toPixelsX(cx), toPixelsY(cy));
}

QSize DialogUnits::toPixels(int cx, int cy) const {
    return QSize(toPixelsX(cx), toPixelsY(cy));
}

QIcon programIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64}) icon.addPixmap(drawProgramIcon(size));
    return icon;
}

}  // namespace ui::qt
