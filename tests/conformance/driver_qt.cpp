// The conformance driver on the Qt backend: events sent to the real
// widgets as the window system delivers them, offscreen or on an X server.
// Refuses nothing.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <deque>
#include <memory>

#include "driver.h"
#include "platform/text.h"
#include "platform/ui_qt_app.h"

namespace conformance {
namespace {

constexpr int deadlineMs = 10000;
// Ends a run whose script hangs, so that the case fails instead of the program.
constexpr int timedOut = 99;

QWidget* windowOf(const ui::Dialog& dialog) {
    const QString caption = QString::fromUtf8(dialog.layout().caption);
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->windowTitle() == caption) return widget;
    }
    return nullptr;
}

Qt::Key qtKeyOf(int keyCode) {
    switch (keyCode) {
        case ui::vk::tab:
            return Qt::Key_Tab;
        case ui::vk::enter:
            return Qt::Key_Return;
        case ui::vk::escape:
            return Qt::Key_Escape;
        case ui::vk::space:
            return Qt::Key_Space;
        case ui::vk::back:
            return Qt::Key_Backspace;
        case ui::vk::home:
            return Qt::Key_Home;
        case ui::vk::end:
            return Qt::Key_End;
        case ui::vk::left:
            return Qt::Key_Left;
        case ui::vk::right:
            return Qt::Key_Right;
        case ui::vk::up:
            return Qt::Key_Up;
        case ui::vk::down:
            return Qt::Key_Down;
        case ui::vk::deleteKey:
            return Qt::Key_Delete;
        case ui::vk::f4:
            return Qt::Key_F4;
        default:
            return static_cast<Qt::Key>(keyCode);
    }
}

void settle() {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

class QtDriver final : public Driver {
public:
    explicit QtDriver(ui::Dialog& dialog) : dialog_(dialog) {}

    ui::Dialog& dialog() override { return dialog_; }

    void typeKeys(int id, std::string_view cp932) override {
        auto* edit = qobject_cast<QLineEdit*>(control(id));
        if (edit == nullptr) return;
        edit->setFocus(Qt::MouseFocusReason);
        edit->end(false);
        // One key press per character, with the character as its text.
        for (QChar character : QString::fromStdU16String(text::cp932ToUtf16(cp932))) {
            const QString typed(character);
            const bool ascii = character.unicode() < 0x80 && character.isLetterOrNumber();
            const auto key = static_cast<Qt::Key>(ascii ? typed.toUpper().at(0).unicode()
                                                        : static_cast<int>(Qt::Key_unknown));
            QTest::sendKeyEvent(QTest::Click, edit, key, typed, Qt::NoModifier);
        }
        settle();
    }
    void pressKey(int keyCode, bool shift, bool control) override {
        QWidget* target = keyTarget();
        if (target == nullptr) return;
        Qt::Key key = qtKeyOf(keyCode);
        if (key == Qt::Key_Tab && shift) key = Qt::Key_Backtab;
        Qt::KeyboardModifiers modifiers = Qt::NoModifier;
        if (shift) modifiers |= Qt::ShiftModifier;
        if (control) modifiers |= Qt::ControlModifier;
        QTest::keyClick(target, key, modifiers);
        settle();
    }
    void pressAccessKey(char key) override {
        QWidget* target = keyTarget();
        if (target == nullptr) return;
        QTest::keyClick(target, static_cast<Qt::Key>(key), Qt::AltModifier);
        settle();
    }
    void click(int id) override {
        QWidget* widget = control(id);
        if (widget == nullptr) return;
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
        settle();
    }
    void focus(int id) override {
        if (QWidget* widget = control(id)) widget->setFocus(Qt::MouseFocusReason);
        settle();
    }
    void closeBox() override {
        if (QWidget* window = windowOf(dialog_)) window->close();
        settle();
    }
    void mouse(int id, const MouseAction& action) override {
        QWidget* widget = control(id);
        if (widget == nullptr) return;
        using K = ui::MouseEvent::Kind;
        Qt::KeyboardModifiers modifiers;
        if (action.shift) modifiers |= Qt::ShiftModifier;
        if (action.control) modifiers |= Qt::ControlModifier;
        const QPoint at(action.x, action.y);
        const Qt::MouseButton button =
            action.button == ui::MouseEvent::Button::Right ? Qt::RightButton : Qt::LeftButton;
        switch (action.kind) {
            case K::Press:
                QTest::mousePress(widget, button, modifiers, at);
                break;
            case K::Release:
                QTest::mouseRelease(widget, button, modifiers, at);
                break;
            case K::Move: {
                QMouseEvent move(QEvent::MouseMove, QPointF(at), widget->mapToGlobal(QPointF(at)),
                                 Qt::NoButton, action.leftHeld ? Qt::LeftButton : Qt::NoButton,
                                 modifiers);
                QApplication::sendEvent(widget, &move);
                break;
            }
            case K::Wheel: {
                QWheelEvent wheel(QPointF(at), widget->mapToGlobal(QPointF(at)), QPoint(),
                                  QPoint(0, action.wheelDelta), Qt::NoButton, modifiers,
                                  Qt::NoScrollPhase, false);
                QApplication::sendEvent(widget, &wheel);
                break;
            }
            case K::Leave:
                break;
        }
        settle();
    }

    bool dropped(int id) override {
        auto* combo = qobject_cast<QComboBox*>(control(id));
        return combo != nullptr && combo->view()->isVisible();
    }
    std::optional<ui::Rect> frame() override {
        QWidget* window = windowOf(dialog_);
        if (window == nullptr) return ui::Rect{};
        const QRect area = window->frameGeometry();
        return ui::Rect{area.x(), area.y(), area.width(), area.height()};
    }
    std::string ownerCaption() override {
        QWidget* window = windowOf(dialog_);
        QWidget* owner = window != nullptr ? window->parentWidget() : nullptr;
        return owner != nullptr ? owner->windowTitle().toStdString() : std::string();
    }
    std::optional<std::string> clipboardText() override {
        const QString text = QApplication::clipboard()->text();
        return text::utf16ToCp932(text.toStdU16String());
    }
    bool waitFor(const std::function<bool()>& pred) override {
        QElapsedTimer timer;
        timer.start();
        while (!pred() && timer.elapsed() < deadlineMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return pred();
    }

private:
    QWidget* control(int id) const {
        QWidget* window = windowOf(dialog_);
        return window != nullptr ? window->findChild<QWidget*>(QString::number(id)) : nullptr;
    }
    // An open list's popup takes the keys; otherwise the window's focus.
    QWidget* keyTarget() const {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            return popup->focusWidget() != nullptr ? popup->focusWidget() : popup;
        }
        QWidget* window = windowOf(dialog_);
        if (window == nullptr) return nullptr;
        return window->focusWidget() != nullptr ? window->focusWidget() : window;
    }

    ui::Dialog& dialog_;
};

class QtHarness final : public Harness {
public:
    void queue(Script script) override { scripts_.push_back(std::move(script)); }

    // The script runs inside the run's own loop once it has begun.
    void opened(ui::Dialog& dialog) override {
        if (scripts_.empty()) return;
        auto script = std::make_shared<Script>(std::move(scripts_.front()));
        scripts_.pop_front();
        ++running_;
        QWidget* window = windowOf(dialog);
        QTimer::singleShot(0, window, [this, window, &dialog, script] {
            // Keys reach a window once it is active, which on a real screen
            // comes some time after it is shown.
            if (!QTest::qWaitForWindowActive(window, deadlineMs)) {
                ADD_FAILURE() << "the dialog never became the active window";
            }
            QtDriver driver(dialog);
            (*script)(driver);
            --running_;
            // Goes with the window when the script ended the run itself.
            QTimer::singleShot(0, window, [&dialog] { dialog.EndDialog(ui::idCancel); });
        });
        QTimer::singleShot(deadlineMs * 3, window, [&dialog] { dialog.EndDialog(timedOut); });
    }
    bool finish() override {
        const bool clean = scripts_.empty() && running_ == 0;
        scripts_.clear();
        running_ = 0;
        return clean;
    }

private:
    std::deque<Script> scripts_;
    int running_ = 0;
};

}  // namespace

Harness& harness() {
    static QtHarness instance;
    return instance;
}

}  // namespace conformance
