// Every text of the program's two dialogs, in the fonts the Qt backend maps,
// fits the control that shows it: the template's own texts and the longest
// texts the program writes at run time (a peer address, the running
// captions). A static wraps at a blank and clips what falls below its
// height, so a text that does not fit loses its end on the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionButton>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ui_qt_app.h"
#include "variant/product.h"
#include "window/control_ids.h"
#include "window/history_layout.h"
#include "window/title_bar_dlg.h"

namespace {

using ui::Kind;

struct Shown {
    const ui::ControlLayout* control;
    QString text;
    QFont font;
};

QString widestAddress(const QFontMetrics& metrics) {
    QString octet;
    for (int value = 0; value <= 255; ++value) {
        const QString candidate = QString::number(value);
        if (metrics.horizontalAdvance(candidate) > metrics.horizontalAdvance(octet)) {
            octet = candidate;
        }
    }
    return QString("%1.%1.%1.%1").arg(octet);
}

class LayoutFit : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ui::qt::application(); }

    // What fails to fit in one dialog, one line per text.
    static std::string misfits(const ui::DialogLayout& layout,
                               const std::vector<Shown>& runtimeTexts) {
        const QFont font = ui::qt::screenFont(layout.fontFace, layout.fontPoints);
        const ui::qt::DialogUnits units(font);
        std::vector<Shown> shown;
        for (const ui::ControlLayout& control : layout.controls) {
            const QString text = QString::fromUtf8(control.text);
            if (!text.isEmpty()) shown.push_back({&control, text, font});
        }
        shown.insert(shown.end(), runtimeTexts.begin(), runtimeTexts.end());

        std::string result;
        for (const Shown& item : shown) {
            const ui::ControlLayout& c = *item.control;
            const QRect area = units.toPixels(c.x, c.y, c.cx, c.cy);
            const QFontMetrics metrics(item.font);
            const QString plain = QString(item.text).remove('&');
            const int width = metrics.horizontalAdvance(plain);
            int needed = width;
            int neededHeight = metrics.height();
            switch (c.kind) {
                case Kind::Static: {
                    // As the static paints it: wrapped at blanks into its width.
                    const QRect wrapped =
                        metrics.boundingRect(QRect(0, 0, area.width(), 10000),
                                             Qt::TextWordWrap | Qt::TextShowMnemonic, item.text);
                    needed = std::max(width, wrapped.width());
                    neededHeight = wrapped.height();
                    break;
                }
                case Kind::PushButton:
                case Kind::DefPushButton:
                    needed =
                        width + 2 * QApplication::style()->pixelMetric(QStyle::PM_ButtonMargin);
                    break;
                case Kind::AutoCheckBox: {
                    QCheckBox box(item.text);
                    box.setFont(item.font);
                    needed = box.sizeHint().width();
                    neededHeight = std::min(neededHeight, box.sizeHint().height());
                    break;
                }
                case Kind::GroupBox:
                    needed = width + 16;
                    neededHeight = 0;
                    break;
                default:
                    continue;
            }
            if (needed > area.width() || neededHeight > area.height()) {
                result += item.text.toStdString() + " needs " + std::to_string(needed) + "x" +
                          std::to_string(neededHeight) + " px, has " +
                          std::to_string(area.width()) + "x" + std::to_string(area.height()) + "\n";
            }
        }
        return result;
    }
};

const ui::ControlLayout& controlOf(const ui::DialogLayout& layout, int id) {
    for (const ui::ControlLayout& control : layout.controls) {
        if (control.id == id) return control;
    }
    throw std::out_of_range("no such control");
}

TEST_F(LayoutFit, EveryTextOfTheMainWindowFitsItsControl) {
    const ui::DialogLayout& layout = variant::mainDialogLayout();
    const QFont font = ui::qt::screenFont(layout.fontFace, layout.fontPoints);
    const QString address = widestAddress(QFontMetrics(font));
    std::vector<Shown> runtime;
    for (const int id : {ids::peerLabel1, ids::peerLabel2, ids::peerLabel3, ids::peerLabel4}) {
        runtime.push_back({&controlOf(layout, id), QString::fromUtf8("接続元 : ") + address, font});
        runtime.push_back({&controlOf(layout, id), QString::fromUtf8("ポート番号エラー"), font});
    }
    for (const char* caption : {"サーバ待機を開始する(&S)", "サーバ待機を終了する(&S)"}) {
        runtime.push_back(
            {&controlOf(layout, ids::serverButton), QString::fromUtf8(caption), font});
    }
    const QFont statusFont = ui::qt::screenFont("ＭＳ ゴシック", 18);
    for (const char* status : {"停止中", "接続待機中"}) {
        runtime.push_back(
            {&controlOf(layout, ids::statusLabel), QString::fromUtf8(status), statusFont});
    }
    runtime.push_back({&controlOf(layout, ids::versionLabel), "Version 1.03", font});

    EXPECT_EQ(misfits(layout, runtime), "") << "widest address " << address.toStdString();
}

TEST_F(LayoutFit, EveryTextOfTheTitleBarDialogFitsItsControl) {
    EXPECT_EQ(misfits(titleBarDialogLayout(), {}), "");
}

TEST_F(LayoutFit, EveryTextOfTheHistoryWindowFitsItsControl) {
    const ui::DialogLayout& layout = historyDialogLayout();
    const QFont font = ui::qt::screenFont(layout.fontFace, layout.fontPoints);
    const ui::ControlLayout& source = controlOf(layout, ids::historySource);
    const ui::ControlLayout& pointer = controlOf(layout, ids::historyPointer);
    const QString address = widestAddress(QFontMetrics(font));
    const std::vector<Shown> runtime = {
        {&source,
         QString::fromUtf8(
             "ライブ: 起動からの変化 99999999 件 (直近 24 時間分、最大約 100 万件を保持)"),
         font},
        {&source,
         QString::fromUtf8(
             "ログ Kelvane-2024-05-01.csv: 変化 9999999 件、読み飛ばした行 9999999 行 (追従中)"),
         font},
        {&source, QString::fromUtf8("読み込み中... 100% (1023.9 / 1023.9 MB)"), font},
        {&pointer,
         QString::fromUtf8("ＷＷＷＷＷＷＷＷＷＷ が 停止中  2024/05/01 09:30:00.000  送信元 ") +
             address + QString::fromUtf8("  ポート 65535"),
         font},
    };
    EXPECT_EQ(misfits(layout, runtime), "");
}

}  // namespace
