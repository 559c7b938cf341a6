// The controls of a dialog as Qt widgets. Each one that the platform paints
// through a colour request asks its dialog for the colours every time it
// paints; the decision stays with the dialog.
#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>

#include "platform/ui.h"

namespace ui::qt {

struct ControlColors {
    std::optional<QColor> face;
    std::optional<QColor> text;
    std::optional<QColor> textBackground;
};
ControlColors requestColors(Dialog& dialog, int id, CtlKind kind);

// A static: text (left, right or centred, optionally centred vertically and
// then on one line), an empty face such as a lamp, a border or a sunken edge.
class StaticControl : public QWidget {
public:
    StaticControl(Dialog& dialog, int id, std::uint32_t styles, const QString& text,
                  QWidget* parent);
    QString text() const { return text_; }
    void setText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Dialog& dialog_;
    int id_;
    std::uint32_t styles_;
    QString text_;
};

class EtchedLine : public QWidget {
public:
    explicit EtchedLine(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class GroupBoxControl : public QGroupBox {
public:
    GroupBoxControl(Dialog& dialog, int id, const QString& title, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Dialog& dialog_;
    int id_;
};

class CheckBoxControl : public QCheckBox {
public:
    CheckBoxControl(Dialog& dialog, int id, const QString& text, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Dialog& dialog_;
    int id_;
};

// Never pressed by Enter, default button or not: the dialog's key
// pre-translation alone decides what Enter does.
class PushButtonControl : public QPushButton {
public:
    PushButtonControl(const QString& text, bool isDefault, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A single-line edit. Changes made by the program are marked, so that the
// byte limit and digits-only rule hold for the user's typing only.
class LineEditControl : public QLineEdit {
public:
    LineEditControl(Dialog& dialog, int id, std::uint32_t styles, QWidget* parent);
    void setProgramText(const QString& text);
    void insertProgramText(const QString& text);
    bool programChanging() const { return programChanging_; }
    void setByteLimit(int bytes);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    class TypingRules;
    Dialog& dialog_;
    int id_;
    bool programChanging_ = false;
    TypingRules* rules_;
};

// A multi-line edit; its text crosses the dialog framework with CR LF line ends.
class MultiLineEditControl : public QPlainTextEdit {
public:
    MultiLineEditControl(Dialog& dialog, int id, std::uint32_t styles, QWidget* parent);
    QString text() const;
    void setProgramText(const QString& text);
    void insertProgramText(const QString& text);
    bool programChanging() const { return programChanging_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Dialog& dialog_;
    int id_;
    bool programChanging_ = false;
};

// Drawing calls of a surface's paint handler, on a QPainter.
class QtPainter : public Painter {
public:
    QtPainter(QPainter& painter, QSize size);
    Size size() const override { return {size_.width(), size_.height()}; }
    void fillRect(const Rect& area, Color color) override;
    void line(int x0, int y0, int x1, int y1, Color color) override;
    void text(int x, int y, std::string_view cp932, Color color) override;
    Size textExtent(std::string_view cp932) override;

private:
    QPainter& painter_;
    QSize size_;
};

// A surface: its dialog paints it and hears its mouse.
class SurfaceControl : public QWidget {
public:
    SurfaceControl(Dialog& dialog, int id, QWidget* parent);
    // What the dialog paints, as a picture of the surface's size.
    Image capture();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void send(MouseEvent::Kind kind, QPointF at, Qt::MouseButtons buttons,
              Qt::KeyboardModifiers modifiers, Qt::MouseButton button, int wheelDelta = 0);
    Dialog& dialog_;
    int id_;
};

// A horizontal scroll bar that reports the user's moves only.
class ScrollBarControl : public QScrollBar {
public:
    ScrollBarControl(Dialog& dialog, int id, QWidget* parent);
    // Range and page as the platform counts them: positions 0 to max - page.
    void setProgramScroll(int max, int page, int pos);

private:
    bool programChanging_ = false;
};

}  // namespace ui::qt
