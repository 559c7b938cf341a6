// The dialog framework on Qt Widgets: one top-level widget per dialog, built
// from the dialog's layout table, with the platform's message routing.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <algorithm>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/ui_backend.h"
#include "platform/ui_qt_app.h"
#include "platform/ui_qt_controls.h"
#include "platform/ui_qt_file_dialog.h"
#include "platform/ui_qt_keys.h"
#include "platform/ui_rules.h"

namespace ui::detail {
namespace {

using namespace ui::qt;

// What the minimised window's paint handler draws with.
class QtPaintContext : public PaintContext {
public:
    QtPaintContext(QPainter& painter, QWidget& window) : painter_(painter), window_(window) {}
    void eraseIconBackground() override {
        painter_.fillRect(window_.rect(), window_.palette().window());
    }
    void drawIcon(int x, int y) override {
        const Size size = systemIconSize();
        window_.windowIcon().paint(&painter_, QRect(x, y, size.cx, size.cy));
    }

private:
    QPainter& painter_;
    QWidget& window_;
};

// The drop-down list opens below its field as a list of the height the
// template gives it, which scrolls, whatever the application's style would
// pop up instead.
class ListPopupStyle : public QProxyStyle {
public:
    explicit ListPopupStyle(QObject* owner) { setParent(owner); }
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* answer) const override {
        if (hint == SH_ComboBox_Popup) return 0;
        return QProxyStyle::styleHint(hint, option, widget, answer);
    }
};

// The dialog's window. The close box is the Cancel command, as the
// platform sends it; the dialog decides whether and how the window ends.
class DialogWindow : public QWidget {
public:
    DialogWindow(Dialog& dialog, QWidget* owner, Qt::WindowFlags flags)
        : QWidget(owner, flags), dialog_(dialog) {}

protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        dialog_.OnCommand(Notification::Clicked, idCancel);
    }
    void resizeEvent(QResizeEvent*) override { dialog_.OnSize({width(), height()}); }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QtPaintContext context(painter, *this);
        dialog_.OnPaint(context);
    }

private:
    Dialog& dialog_;
};

class QtBackend final : public WindowBackend {
public:
    explicit QtBackend(Dialog& dialog) : WindowBackend(dialog) { application(); }

    int runModal() override;
    void endDialog(int code) override {
        endCode_ = code;
        ended_ = true;
        if (loop_ != nullptr) loop_->exit();
    }
    bool create() override;
    void destroy() override;
    bool isOpen() const override { return window_ != nullptr && modeless_; }
    void bringToFront() override {
        if (window_ == nullptr) return;
        if (window_->isMinimized()) window_->showNormal();
        window_->show();
        window_->raise();
        window_->activateWindow();
    }

    std::string text(int id) override;
    void setText(int id, std::string_view cp932) override;
    void enable(int id, bool enabled) override {
        if (QWidget* widget = find(id)) widget->setEnabled(enabled);
    }
    bool isEnabled(int id) override {
        QWidget* widget = find(id);
        return widget != nullptr && widget->isEnabledTo(window_);
    }
    void show(int id, bool visible) override {
        if (QWidget* widget = find(id)) widget->setVisible(visible);
    }
    void invalidate(int id) override {
        if (QWidget* widget = find(id)) widget->update();
    }
    void limitText(int id, int bytes) override {
        if (auto* edit = dynamic_cast<LineEditControl*>(find(id))) edit->setByteLimit(bytes);
    }
    void replaceSel(int id, std::string_view cp932) override;
    // An entry added to a list without a selection leaves it without one,
    // as the platform's list does; Qt would select the first.
    void addString(int id, std::string_view cp932) override {
        auto* combo = dynamic_cast<QComboBox*>(find(id));
        if (combo == nullptr) return;
        const bool noSelection = combo->currentIndex() < 0;
        combo->addItem(fromCp932(cp932));
        if (noSelection) combo->setCurrentIndex(-1);
    }
    void resetContent(int id) override {
        if (auto* combo = dynamic_cast<QComboBox*>(find(id))) combo->clear();
    }
    void setCurSel(int id, int index) override {
        auto* combo = dynamic_cast<QComboBox*>(find(id));
        if (combo == nullptr) return;
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    }
    int curSel(int id) override {
        auto* combo = dynamic_cast<QComboBox*>(find(id));
        return combo != nullptr ? combo->currentIndex() : -1;
    }
    bool isChecked(int id) override {
        auto* box = dynamic_cast<QCheckBox*>(find(id));
        return box != nullptr && box->isChecked();
    }
    void setChecked(int id, bool checked) override {
        if (auto* box = dynamic_cast<QCheckBox*>(find(id))) box->setChecked(checked);
    }
    void setFont(int id, const Font& font) override {
        QWidget* widget = find(id);
        if (widget != nullptr && font.valid()) {
            widget->setFont(screenFont(font.face().c_str(), font.tenthsOfPoint() / 10.0));
        }
    }

    void moveTo(int id, const Rect& pixels) override {
        if (QWidget* widget = find(id))
            widget->setGeometry(pixels.x, pixels.y, pixels.cx, pixels.cy);
    }
    Rect place(int id) override {
        QWidget* widget = find(id);
        if (widget == nullptr) return {};
        const QRect area = widget->geometry();
        return {area.x(), area.y(), area.width(), area.height()};
    }
    void setScroll(int id, int max, int page, int pos) override {
        if (auto* bar = dynamic_cast<ScrollBarControl*>(find(id)))
            bar->setProgramScroll(max, page, pos);
    }
    int scrollPos(int id) override {
        auto* bar = dynamic_cast<ScrollBarControl*>(find(id));
        return bar != nullptr ? bar->value() : 0;
    }
    Image capture(int id) override {
        auto* surface = dynamic_cast<SurfaceControl*>(find(id));
        return surface != nullptr ? surface->capture() : Image{};
    }
    Rect mapDialogRect(const Rect& du) override {
        if (window_ == nullptr) return {};
        const QRect area = DialogUnits(window_->font()).toPixels(du.x, du.y, du.cx, du.cy);
        return {area.x(), area.y(), area.width(), area.height()};
    }
    void setTimer(int id, int intervalMs) override {
        if (window_ == nullptr) return;
        QTimer*& timer = timers_[id];
        if (timer == nullptr) {
            timer = new QTimer(window_);
            QObject::connect(timer, &QTimer::timeout, window_,
                             [this, id] { dialog().OnTimer(id); });
        }
        timer->start(intervalMs);
    }
    void killTimer(int id) override {
        const auto found = timers_.find(id);
        if (found == timers_.end()) return;
        delete found->second;
        timers_.erase(found);
    }
    bool copyText(std::string_view cp932) override {
        QApplication::clipboard()->setText(fromCp932(cp932));
        return true;
    }
    bool copyImage(const Image& image) override {
        QImage picture(image.width, image.height, QImage::Format_RGB32);
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                const Color c = image.pixels[static_cast<std::size_t>(y) * image.width + x];
                picture.setPixel(x, y, qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
            }
        }
        QApplication::clipboard()->setImage(picture);
        return true;
    }

    void setCaption(std::string_view cp932) override {
        if (window_ != nullptr) window_->setWindowTitle(fromCp932(cp932));
    }
    std::string caption() override {
        return window_ != nullptr ? toCp932(window_->windowTitle()) : std::string();
    }
    void setIcon(int iconResourceId, bool) override {
        // Big and small icon are sizes of the one window icon.
        if (window_ != nullptr && iconResourceId == programIconResource) {
            window_->setWindowIcon(programIcon());
        }
    }
    bool isIconic() override { return window_ != nullptr && window_->isMinimized(); }
    int focusedControl() override {
        QWidget* focus = window_ != nullptr ? window_->focusWidget() : nullptr;
        for (const auto& [id, widget] : controls_) {
            if (widget == focus) return id;
        }
        return idNone;
    }
    Size clientSize() override {
        if (window_ == nullptr) return {};
        return {window_->width(), window_->height()};
    }

    void messageBox(std::string_view cp932) override {
        QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(applicationName()), fromCp932(cp932),
                        QMessageBox::Ok, window_);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }
    FileChoice fileDialog(const FileDialogRequest& request) override {
        return runFileDialog(window_, request);
    }

    // Work still queued when the window closes is dropped with it, though
    // the window object may still be there to receive it.
    void post(std::function<void()> fn) override {
        std::lock_guard lock(postMutex_);
        if (postTarget_ == nullptr) return;
        QMetaObject::invokeMethod(
            postTarget_,
            [open = open_, fn = std::move(fn)] {
                if (*open) fn();
            },
            Qt::QueuedConnection);
    }
    bool isWindowThread() const override { return std::this_thread::get_id() == windowThreadId(); }

    QWidget* window() const { return window_; }

private:
    class KeyRoute;

    QWidget* find(int id) const {
        const auto found = controls_.find(id);
        return found != controls_.end() ? found->second : nullptr;
    }
    QWidget* ownerWindow();
    void build();
    QWidget* createControl(const ControlLayout& layout);
    static void placeDropDownList(QComboBox& combo, const QRect& area);
    void placeByOwner();
    void addMnemonicTarget(const QString& text, std::size_t index);
    void focusFirstTabStop();
    void notify(Notification notification, int id) { dialog().OnCommand(notification, id); }

    void tearDown();

    DialogWindow* window_ = nullptr;
    bool modeless_ = false;
    std::unique_ptr<KeyRoute> keys_;
    std::map<int, QTimer*> timers_;
    std::unordered_map<int, QWidget*> controls_;
    std::vector<QWidget*> templateOrder_;
    QEventLoop* loop_ = nullptr;
    bool ended_ = false;
    int endCode_ = 0;
    std::mutex postMutex_;
    QObject* postTarget_ = nullptr;
    // Read on the window thread only, by the work it posted.
    std::shared_ptr<bool> open_ = std::make_shared<bool>(false);
};

// Every key press of the window reaches the dialog's pre-translation before
// the focused control sees it, once: a key that goes on to the control's
// parents is not offered again.
class QtBackend::KeyRoute : public QObject {
public:
    explicit KeyRoute(QtBackend& backend) : backend_(backend) {
        QApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
        QWidget* window = backend_.window();
        auto* target = static_cast<QWidget*>(watched);
        if (target->window() != window) return false;
        QWidget* focus = window->focusWidget();
        if (target != (focus != nullptr ? focus : window)) return false;
        return backend_.dialog().PreTranslateMessage(toKeyMessage(*static_cast<QKeyEvent*>(event)));
    }

private:
    QtBackend& backend_;
};

QWidget* QtBackend::ownerWindow() {
    if (Dialog* owner = dialog().windowOwner()) {
        if (auto* backend = dynamic_cast<QtBackend*>(owner->backend())) return backend->window();
    }
    return nullptr;
}

void QtBackend::build() {
    const DialogLayout& layout = dialog().layout();
    QWidget* owner = ownerWindow();
    Qt::WindowFlags flags = (owner != nullptr ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint;
    if ((layout.frameStyles & frameCaption) != 0) flags |= Qt::WindowTitleHint;
    if ((layout.frameStyles & frameSysMenu) != 0) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    if ((layout.frameStyles & frameResizable) != 0) {
        flags |= Qt::WindowMinMaxButtonsHint;
        // Its own window beside its owner, not a dialog over it.
        flags = (flags & ~Qt::WindowType_Mask) | Qt::Window;
    }
    window_ = new DialogWindow(dialog(), owner, flags);
    if (owner != nullptr && !modeless_) window_->setWindowModality(Qt::ApplicationModal);
    window_->setWindowTitle(QString::fromUtf8(layout.caption));
    const QFont font = screenFont(layout.fontFace, layout.fontPoints);
    window_->setFont(font);
    const DialogUnits units(window_->font());
    if ((layout.frameStyles & frameResizable) != 0) {
        window_->resize(units.toPixels(layout.cx, layout.cy));
        window_->setMinimumSize(units.toPixels(layout.cx, layout.cy));
    } else {
        window_->setFixedSize(units.toPixels(layout.cx, layout.cy));
    }

    for (const ControlLayout& control : layout.controls) {
        QWidget* widget = createControl(control);
        const QRect area = units.toPixels(control.x, control.y, control.cx, control.cy);
        if (control.kind == Kind::DropDownList) {
            placeDropDownList(*static_cast<QComboBox*>(widget), area);
        } else {
            widget->setGeometry(area);
        }
        if (control.id != idNone) {
            widget->setObjectName(QString::number(control.id));
            controls_.try_emplace(control.id, widget);
        }
        templateOrder_.push_back(widget);
    }
    for (std::size_t i = 0; i < layout.controls.size(); ++i) {
        const ControlLayout& control = layout.controls[i];
        if (control.kind == Kind::Static) addMnemonicTarget(QString::fromUtf8(control.text), i);
        // Group boxes lie behind the controls they frame.
        if (control.kind == Kind::GroupBox) templateOrder_[i]->lower();
    }
    std::lock_guard lock(postMutex_);
    postTarget_ = window_;
    *open_ = true;
}

QWidget* QtBackend::createControl(const ControlLayout& layout) {
    const QString text = QString::fromUtf8(layout.text);
    const int id = layout.id;
    const bool tabStop = (layout.styles & styleTabStop) != 0;
    const Qt::FocusPolicy focusable = tabStop ? Qt::StrongFocus : Qt::ClickFocus;
    switch (layout.kind) {
        case Kind::PushButton:
        case Kind::DefPushButton: {
            auto* button = new PushButtonControl(text, layout.kind == Kind::DefPushButton, window_);
            button->setFocusPolicy(focusable);
            QObject::connect(button, &QPushButton::clicked, button,
                             [this, id] { notify(Notification::Clicked, id); });
            return button;
        }
        case Kind::AutoCheckBox: {
            auto* box = new CheckBoxControl(dialog(), id, text, window_);
            box->setFocusPolicy(focusable);
            QObject::connect(box, &QCheckBox::clicked, box,
                             [this, id] { notify(Notification::Clicked, id); });
            return box;
        }
        case Kind::GroupBox: {
            auto* group = new GroupBoxControl(dialog(), id, text, window_);
            group->setFocusPolicy(Qt::NoFocus);
            return group;
        }
        case Kind::Static:
            return new StaticControl(dialog(), id, layout.styles, text, window_);
        case Kind::EtchedLine:
            return new EtchedLine(window_);
        case Kind::Edit: {
            if ((layout.styles & styleMultiline) != 0) {
                auto* edit = new MultiLineEditControl(dialog(), id, layout.styles, window_);
                edit->setFocusPolicy(focusable);
                edit->setProgramText(text);
                QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [this, edit, id] {
                    if (!edit->programChanging()) notify(Notification::Changed, id);
                });
                return edit;
            }
            auto* edit = new LineEditControl(dialog(), id, layout.styles, window_);
            edit->setFocusPolicy(focusable);
            edit->setProgramText(text);
            QObject::connect(edit, &QLineEdit::textEdited, edit, [this, edit, id] {
                if (!edit->programChanging()) notify(Notification::Changed, id);
            });
            return edit;
        }
        case Kind::DropDownList: {
            auto* combo = new QComboBox(window_);
            combo->setStyle(new ListPopupStyle(combo));
            combo->setFocusPolicy(focusable);
            QObject::connect(combo, &QComboBox::activated, combo,
                             [this, id] { notify(Notification::SelChange, id); });
            return combo;
        }
        case Kind::Surface: {
            auto* surface = new SurfaceControl(dialog(), id, window_);
            surface->setFocusPolicy(focusable);
            return surface;
        }
        case Kind::HScrollBar: {
            auto* bar = new ScrollBarControl(dialog(), id, window_);
            bar->setFocusPolicy(Qt::NoFocus);
            return bar;
        }
    }
    return new QWidget(window_);
}

// The height a drop-down list has in the template is that of the open list;
// the closed box is as high as its font needs.
void QtBackend::placeDropDownList(QComboBox& combo, const QRect& area) {
    const int closedHeight = combo.sizeHint().height();
    combo.setGeometry(area.x(), area.y(), area.width(), closedHeight);
    const int itemHeight = combo.fontMetrics().height() + 2;
    combo.setMaxVisibleItems(std::max(1, (area.height() - closedHeight) / itemHeight));
}

// A dialog that its template does not place opens by its owner, on the
// owner's screen; pos() is where a window's frame stands.
void QtBackend::placeByOwner() {
    QWidget* owner = window_->parentWidget();
    if (owner == nullptr) return;
    const QRect ownerFrame = owner->frameGeometry();
    // Not shown yet, the window has no frame of its own: it gets its owner's.
    const QSize frame = window_->size() + (ownerFrame.size() - owner->size());
    QRect work(ownerFrame);
    if (const QScreen* screen = owner->screen()) work = screen->availableGeometry();
    const Rect place = rules::placeByOwner(
        {ownerFrame.x(), ownerFrame.y(), ownerFrame.width(), ownerFrame.height()},
        {frame.width(), frame.height()}, {work.x(), work.y(), work.width(), work.height()},
        modeless_);
    window_->move(place.x, place.y);
}

// A mnemonic in a static's text moves the focus to the next tab stop after
// it in template order, as the platform's dialog manager does.
void QtBackend::addMnemonicTarget(const QString& text, std::size_t index) {
    const QKeySequence sequence = QKeySequence::mnemonic(text);
    if (sequence.isEmpty()) return;
    const auto next = std::find_if(
        templateOrder_.begin() + static_cast<std::ptrdiff_t>(index) + 1, templateOrder_.end(),
        [](QWidget* widget) { return widget->focusPolicy() == Qt::StrongFocus; });
    if (next == templateOrder_.end()) return;
    QPointer<QWidget> target = *next;
    auto* shortcut = new QShortcut(sequence, window_);
    QObject::connect(shortcut, &QShortcut::activated, window_, [target] {
        if (target != nullptr && target->isEnabled() && target->isVisible()) {
            target->setFocus(Qt::ShortcutFocusReason);
        }
    });
}

void QtBackend::focusFirstTabStop() {
    const int first = rules::firstTabStop(dialog().layout(), [this](const ControlLayout& c) {
        QWidget* widget = find(c.id);
        return widget != nullptr && widget->isEnabled() && widget->isVisibleTo(window_);
    });
    if (QWidget* widget = find(first)) widget->setFocus(Qt::TabFocusReason);
}

int QtBackend::runModal() {
    build();
    {
        KeyRoute keys(*this);
        const bool systemSetsFocus = dialog().OnInitDialog();
        if (!ended_) {
            placeByOwner();
            window_->show();
            window_->raise();
            window_->activateWindow();
            if (systemSetsFocus) focusFirstTabStop();
            QEventLoop loop;
            loop_ = &loop;
            loop.exec(QEventLoop::DialogExec);
            loop_ = nullptr;
        }
        window_->hide();
        destroySequence();
    }
    timers_.clear();  // they go with the window
    tearDown();
    delete window_;
    window_ = nullptr;
    return endCode_;
}

bool QtBackend::create() {
    modeless_ = true;
    build();
    keys_ = std::make_unique<KeyRoute>(*this);
    const bool systemSetsFocus = dialog().OnInitDialog();
    if (window_ == nullptr) return false;
    placeByOwner();
    window_->show();
    window_->raise();
    window_->activateWindow();
    if (systemSetsFocus) focusFirstTabStop();
    return true;
}

// May run inside the window's own event handler: the widget goes once
// control is back in the event loop.
void QtBackend::destroy() {
    if (window_ == nullptr) return;
    window_->hide();
    destroySequence();
    keys_.reset();
    for (auto& [id, timer] : timers_) delete timer;
    timers_.clear();
    tearDown();
    window_->deleteLater();
    window_ = nullptr;
}

void QtBackend::tearDown() {
    {
        // Work posted for the window from now on is dropped; work already
        // queued goes with the window object.
        std::lock_guard lock(postMutex_);
        postTarget_ = nullptr;
        *open_ = false;
    }
    controls_.clear();
    templateOrder_.clear();
}

std::string QtBackend::text(int id) {
    QWidget* widget = find(id);
    if (auto* edit = dynamic_cast<LineEditControl*>(widget)) return toCp932(edit->text());
    if (auto* edit = dynamic_cast<MultiLineEditControl*>(widget)) return toCp932(edit->text());
    if (auto* label = dynamic_cast<StaticControl*>(widget)) return toCp932(label->text());
    if (auto* button = dynamic_cast<QAbstractButton*>(widget)) return toCp932(button->text());
    if (auto* group = dynamic_cast<QGroupBox*>(widget)) return toCp932(group->title());
    if (auto* combo = dynamic_cast<QComboBox*>(widget)) return toCp932(combo->currentText());
    return {};
}

void QtBackend::setText(int id, std::string_view cp932) {
    QWidget* widget = find(id);
    const QString text = fromCp932(cp932);
    if (auto* lineEdit = dynamic_cast<LineEditControl*>(widget)) {
        lineEdit->setProgramText(text);
        // The platform notifies a single-line edit's change also when the
        // program writes its text, even the same text.
        notify(Notification::Changed, id);
    } else if (auto* multiLineEdit = dynamic_cast<MultiLineEditControl*>(widget)) {
        multiLineEdit->setProgramText(text);
    } else if (auto* label = dynamic_cast<StaticControl*>(widget)) {
        label->setText(text);
    } else if (auto* button = dynamic_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    } else if (auto* group = dynamic_cast<QGroupBox*>(widget)) {
        group->setTitle(text);
    }
}

void QtBackend::replaceSel(int id, std::string_view cp932) {
    QWidget* widget = find(id);
    const QString text = fromCp932(cp932);
    if (auto* lineEdit = dynamic_cast<LineEditControl*>(widget)) {
        lineEdit->insertProgramText(text);
    } else if (auto* multiLineEdit = dynamic_cast<MultiLineEditControl*>(widget)) {
        multiLineEdit->insertProgramText(text);
    } else {
        return;
    }
    notify(Notification::Changed, id);
}

}  // namespace

std::unique_ptr<WindowBackend> createBackend(Dialog& dialog) {
    return std::make_unique<QtBackend>(dialog);
}

Size systemIconSize() {
    const int size = application().style()->pixelMetric(QStyle::PM_LargeIconSize);
    return {size, size};
}

}  // namespace ui::detail
