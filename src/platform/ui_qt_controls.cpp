#include "platform/ui_qt_controls.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QStylePainter>
#include <QValidator>
#include <QWheelEvent>
#include <limits>
#include <string>
#include <utility>

#include "platform/edit_byte_limit.h"
#include "platform/ui_qt_app.h"

namespace ui::qt {
namespace {

// Sets a flag for the length of one program change.
class ProgramChange {
public:
    explicit ProgramChange(bool& flag) : flag_(flag), previous_(std::exchange(flag, true)) {}
    ProgramChange(const ProgramChange&) = delete;
    ProgramChange& operator=(const ProgramChange&) = delete;
    ~ProgramChange() { flag_ = previous_; }

private:
    bool& flag_;
    bool previous_;
};

// The palette an edit paints with: its dialog's, with the face and text
// colours of the colour request. Edits that the platform asks about as
// statics (read-only or disabled) show the dialog's face by default.
void applyEditColors(QWidget& edit, const ControlColors& colors, bool staticFace) {
    QPalette wanted = edit.parentWidget()->palette();
    if (staticFace) wanted.setBrush(QPalette::Base, wanted.brush(QPalette::Window));
    if (colors.face) wanted.setColor(QPalette::Base, *colors.face);
    if (colors.text) wanted.setColor(QPalette::Text, *colors.text);
    // Only a real change, or every paint would ask for the next one.
    if (wanted != edit.palette()) edit.setPalette(wanted);
}

QString toLf(const QString& text) {
    QString result = text;
    return result.replace("\r\n", "\n");
}

}  // namespace

ControlColors requestColors(Dialog& dialog, int id, CtlKind kind) {
    CtlColorRequest request;
    request.controlId = id;
    request.kind = kind;
    const Brush* brush = dialog.OnCtlColor(request);
    ControlColors colors;
    if (brush != nullptr && brush->valid()) colors.face = toQColor(brush->color());
    if (request.textColor) colors.text = toQColor(*request.textColor);
    if (request.textBackground) colors.textBackground = toQColor(*request.textBackground);
    return colors;
}

// ---- StaticControl ----------------------------------------------------------

StaticControl::StaticControl(Dialog& dialog, int id, std::uint32_t styles, const QString& text,
                             QWidget* parent)
    : QWidget(parent), dialog_(dialog), id_(id), styles_(styles), text_(text) {}

void StaticControl::setText(const QString& text) {
    text_ = text;
    update();
}

void StaticControl::paintEvent(QPaintEvent*) {
    const ControlColors colors = requestColors(dialog_, id_, CtlKind::Static);
    QPainter painter(this);
    QRect face = rect();
    if ((styles_ & styleBorder) != 0) {
        painter.setPen(Qt::black);
        painter.drawRect(face.adjusted(0, 0, -1, -1));
        face.adjust(1, 1, -1, -1);
    } else if ((styles_ & styleSunkenEdge) != 0) {
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawLine(face.topLeft(), face.topRight());
        painter.drawLine(face.topLeft(), face.bottomLeft());
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(face.bottomLeft(), face.bottomRight());
        painter.drawLine(face.topRight(), face.bottomRight());
        face.adjust(1, 1, -1, -1);
    }
    if (colors.face) painter.fillRect(face, *colors.face);
    if (text_.isEmpty()) return;

    int flags = Qt::TextShowMnemonic;
    if ((styles_ & styleAlignRight) != 0) {
        flags |= Qt::AlignRight;
    } else if ((styles_ & styleAlignCenter) != 0) {
        flags |= Qt::AlignHCenter;
    } else {
        flags |= Qt::AlignLeft;
    }
    flags |= (styles_ & styleCenterVertical) != 0 ? Qt::AlignVCenter | Qt::TextSingleLine
                                                  : Qt::AlignTop | Qt::TextWordWrap;
    painter.setClipRect(face);
    painter.setFont(font());
    if (colors.textBackground) {
        painter.fillRect(painter.boundingRect(face, flags, text_), *colors.textBackground);
    }
    painter.setPen(colors.text.value_or(palette().color(QPalette::WindowText)));
    painter.drawText(face, flags, text_);
}

// ---- EtchedLine -------------------------------------------------------------

EtchedLine::EtchedLine(QWidget* parent) : QWidget(parent) {}

void EtchedLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(0, 0, width() - 1, 0);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(0, 1, width() - 1, 1);
}

// ---- GroupBoxControl --------------------------------------------------------

GroupBoxControl::GroupBoxControl(Dialog& dialog, int id, const QString& title, QWidget* parent)
    : QGroupBox(title, parent), dialog_(dialog), id_(id) {}

void GroupBoxControl::paintEvent(QPaintEvent*) {
    const ControlColors colors = requestColors(dialog_, id_, CtlKind::Static);
    QStylePainter painter(this);
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    if (colors.face) {
        painter.fillRect(
            style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, this),
            *colors.face);
    }
    if (colors.text) {
        option.textColor = *colors.text;
        option.palette.setColor(QPalette::WindowText, *colors.text);
    }
    painter.drawComplexControl(QStyle::CC_GroupBox, option);
}

// ---- CheckBoxControl --------------------------------------------------------

CheckBoxControl::CheckBoxControl(Dialog& dialog, int id, const QString& text, QWidget* parent)
    : QCheckBox(text, parent), dialog_(dialog), id_(id) {}

void CheckBoxControl::paintEvent(QPaintEvent*) {
    const ControlColors colors = requestColors(dialog_, id_, CtlKind::Static);
    QStylePainter painter(this);
    if (colors.face) painter.fillRect(rect(), *colors.face);
    QStyleOptionButton option;
    initStyleOption(&option);
    if (colors.text) option.palette.setColor(QPalette::WindowText, *colors.text);
    painter.drawControl(QStyle::CE_CheckBox, option);
}

// ---- PushButtonControl ------------------------------------------------------

PushButtonControl::PushButtonControl(const QString& text, bool isDefault, QWidget* parent)
    : QPushButton(text, parent) {
    setAutoDefault(false);
    setDefault(isDefault);
}

void PushButtonControl::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore();
        return;
    }
    QPushButton::keyPressEvent(event);
}

// ---- LineEditControl --------------------------------------------------------

// What the user may type: digits only where the style says so, and no more
// CP932 bytes than the limit; an insertion that does not fit is cut between
// characters, and one of which nothing fits is refused.
class LineEditControl::TypingRules : public QValidator {
public:
    TypingRules(LineEditControl& edit, bool digitsOnly)
        : QValidator(&edit), edit_(edit), digitsOnly_(digitsOnly) {
        QObject::connect(&edit, &QLineEdit::textChanged, this,
                         [this](const QString& text) { before_ = text.toStdU16String(); });
    }
    void setLimit(std::size_t bytes) { limit_ = bytes; }

    State validate(QString& input, int& pos) const override {
        if (edit_.programChanging()) return Acceptable;
        const std::u16string after = input.toStdU16String();
        if (digitsOnly_ && insertsNonDigit(after)) return Invalid;
        const auto fitted = editlimit::fitUserChange(before_, after, limit_);
        if (!fitted) return Acceptable;
        if (fitted->text == before_) return Invalid;
        input = QString::fromStdU16String(fitted->text);
        pos = static_cast<int>(fitted->caret);
        return Acceptable;
    }

private:
    bool insertsNonDigit(const std::u16string& after) const {
        std::size_t prefix = 0;
        while (prefix < before_.size() && prefix < after.size() &&
               before_[prefix] == after[prefix]) {
            ++prefix;
        }
        std::size_t suffix = 0;
        while (suffix < before_.size() - prefix && suffix < after.size() - prefix &&
               before_[before_.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
            ++suffix;
        }
        for (std::size_t i = prefix; i < after.size() - suffix; ++i) {
            if (after[i] < u'0' || after[i] > u'9') return true;
        }
        return false;
    }

    LineEditControl& edit_;
    bool digitsOnly_;
    std::size_t limit_ = std::numeric_limits<std::size_t>::max();
    std::u16string before_;
};

LineEditControl::LineEditControl(Dialog& dialog, int id, std::uint32_t styles, QWidget* parent)
    : QLineEdit(parent),
      dialog_(dialog),
      id_(id),
      rules_(new TypingRules(*this, (styles & styleDigitsOnly) != 0)) {
    setValidator(rules_);
    setFrame((styles & styleBorder) != 0);
    setReadOnly((styles & styleReadOnly) != 0);
}

void LineEditControl::setProgramText(const QString& text) {
    ProgramChange change(programChanging_);
    setText(text);
}

void LineEditControl::insertProgramText(const QString& text) {
    ProgramChange change(programChanging_);
    insert(text);
}

// As the platform's edit takes a limit of 0: no limit.
void LineEditControl::setByteLimit(int bytes) {
    rules_->setLimit(bytes > 0 ? static_cast<std::size_t>(bytes)
                               : std::numeric_limits<std::size_t>::max());
}

void LineEditControl::paintEvent(QPaintEvent* event) {
    const bool staticFace = isReadOnly() || !isEnabled();
    applyEditColors(*this,
                    requestColors(dialog_, id_, staticFace ? CtlKind::Static : CtlKind::Edit),
                    staticFace);
    QLineEdit::paintEvent(event);
}

// ---- MultiLineEditControl ---------------------------------------------------

MultiLineEditControl::MultiLineEditControl(Dialog& dialog, int id, std::uint32_t styles,
                                           QWidget* parent)
    : QPlainTextEdit(parent), dialog_(dialog), id_(id) {
    setReadOnly((styles & styleReadOnly) != 0);
    setTabChangesFocus(true);
    setFrameShape((styles & styleBorder) != 0 ? QFrame::StyledPanel : QFrame::NoFrame);
    document()->setDocumentMargin(1);
    setVerticalScrollBarPolicy((styles & styleVScroll) != 0 ? Qt::ScrollBarAlwaysOn
                                                            : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    if ((styles & styleAutoHScroll) != 0) {
        setLineWrapMode(QPlainTextEdit::NoWrap);
    } else {
        setLineWrapMode(QPlainTextEdit::WidgetWidth);
        setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    }
}

QString MultiLineEditControl::text() const {
    QString result = toPlainText();
    return result.replace("\n", "\r\n");
}

void MultiLineEditControl::setProgramText(const QString& text) {
    ProgramChange change(programChanging_);
    setPlainText(toLf(text));
}

void MultiLineEditControl::insertProgramText(const QString& text) {
    ProgramChange change(programChanging_);
    insertPlainText(toLf(text));
    ensureCursorVisible();
}

void MultiLineEditControl::paintEvent(QPaintEvent* event) {
    const bool staticFace = isReadOnly() || !isEnabled();
    applyEditColors(*this,
                    requestColors(dialog_, id_, staticFace ? CtlKind::Static : CtlKind::Edit),
                    staticFace);
    QPlainTextEdit::paintEvent(event);
}

// ---- QtPainter --------------------------------------------------------------

QtPainter::QtPainter(QPainter& painter, QSize size) : painter_(painter), size_(size) {
    painter_.setRenderHint(QPainter::Antialiasing, false);
}

void QtPainter::fillRect(const Rect& area, Color color) {
    painter_.fillRect(QRect(area.x, area.y, area.cx, area.cy), toQColor(color));
}

void QtPainter::line(int x0, int y0, int x1, int y1, Color color) {
    painter_.setPen(QPen(toQColor(color), 0));
    painter_.drawLine(x0, y0, x1, y1);
}

void QtPainter::text(int x, int y, std::string_view cp932, Color color) {
    painter_.setPen(toQColor(color));
    painter_.drawText(QPoint(x, y + painter_.fontMetrics().ascent()), fromCp932(cp932));
}

Size QtPainter::textExtent(std::string_view cp932) {
    const QFontMetrics metrics = painter_.fontMetrics();
    return {metrics.horizontalAdvance(fromCp932(cp932)), metrics.height()};
}

// ---- SurfaceControl ---------------------------------------------------------

SurfaceControl::SurfaceControl(Dialog& dialog, int id, QWidget* parent)
    : QWidget(parent), dialog_(dialog), id_(id) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SurfaceControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    QtPainter drawing(painter, size());
    dialog_.OnSurfacePaint(id_, drawing);
}

Image SurfaceControl::capture() {
    QImage picture(size(), QImage::Format_RGB32);
    picture.fill(Qt::white);
    {
        QPainter painter(&picture);
        painter.setFont(font());
        QtPainter drawing(painter, size());
        dialog_.OnSurfacePaint(id_, drawing);
    }
    Image image;
    image.width = picture.width();
    image.height = picture.height();
    image.pixels.reserve(static_cast<std::size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const QRgb pixel = picture.pixel(x, y);
            image.pixels.push_back(rgb(qRed(pixel), qGreen(pixel), qBlue(pixel)));
        }
    }
    return image;
}

void SurfaceControl::send(MouseEvent::Kind kind, QPointF at, Qt::MouseButtons buttons,
                          Qt::KeyboardModifiers modifiers, Qt::MouseButton button, int wheelDelta) {
    MouseEvent event;
    event.kind = kind;
    event.x = static_cast<int>(at.x());
    event.y = static_cast<int>(at.y());
    event.wheelDelta = wheelDelta;
    event.leftButton = (buttons & Qt::LeftButton) != 0;
    event.rightButton = (buttons & Qt::RightButton) != 0;
    event.control = (modifiers & Qt::ControlModifier) != 0;
    event.shift = (modifiers & Qt::ShiftModifier) != 0;
    event.button = button == Qt::LeftButton    ? MouseEvent::Button::Left
                   : button == Qt::RightButton ? MouseEvent::Button::Right
                                               : MouseEvent::Button::None;
    dialog_.OnSurfaceMouse(id_, event);
}

namespace {
bool isReported(Qt::MouseButton button) {
    return button == Qt::LeftButton || button == Qt::RightButton;
}
}  // namespace

void SurfaceControl::mousePressEvent(QMouseEvent* event) {
    if (!isReported(event->button())) return;
    setFocus(Qt::MouseFocusReason);
    send(MouseEvent::Kind::Press, event->position(), event->buttons(), event->modifiers(),
         event->button());
}

void SurfaceControl::mouseReleaseEvent(QMouseEvent* event) {
    if (!isReported(event->button())) return;
    send(MouseEvent::Kind::Release, event->position(), event->buttons(), event->modifiers(),
         event->button());
}

void SurfaceControl::mouseMoveEvent(QMouseEvent* event) {
    send(MouseEvent::Kind::Move, event->position(), event->buttons(), event->modifiers(),
         Qt::NoButton);
}

void SurfaceControl::wheelEvent(QWheelEvent* event) {
    send(MouseEvent::Kind::Wheel, event->position(), event->buttons(), event->modifiers(),
         Qt::NoButton, event->angleDelta().y());
}

void SurfaceControl::leaveEvent(QEvent*) {
    send(MouseEvent::Kind::Leave, QPointF(), Qt::NoButton, Qt::NoModifier, Qt::NoButton);
}

// ---- ScrollBarControl -------------------------------------------------------

ScrollBarControl::ScrollBarControl(Dialog& dialog, int id, QWidget* parent)
    : QScrollBar(Qt::Horizontal, parent) {
    QObject::connect(this, &QScrollBar::valueChanged, this, [this, &dialog, id] {
        if (!programChanging_) dialog.OnCommand(Notification::Scroll, id);
    });
}

void ScrollBarControl::setProgramScroll(int max, int page, int pos) {
    ProgramChange change(programChanging_);
    setRange(0, std::max(0, max - page));
    setPageStep(std::max(1, page));
    setSingleStep(std::max(1, page / 10));
    setValue(pos);
}

}  // namespace ui::qt
