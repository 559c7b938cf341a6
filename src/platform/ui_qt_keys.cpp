#include "platform/ui_qt_keys.h"

namespace ui::qt {

namespace {

// The virtual key of a key that is not a letter, digit or space; 0 for keys
// the program does not tell apart.
int virtualKeyOf(const QKeyEvent& event) {
    const bool keypad = (event.modifiers() & Qt::KeypadModifier) != 0;
    switch (event.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return vk::enter;
        case Qt::Key_Escape:
            return vk::escape;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return vk::tab;
        case Qt::Key_Backspace:
            return vk::back;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            return keypad ? vk::add : vk::oemPlus;
        case Qt::Key_Minus:
            return keypad ? vk::subtract : vk::oemMinus;
        case Qt::Key_Left:
            return vk::left;
        case Qt::Key_Right:
            return vk::right;
        case Qt::Key_Up:
            return vk::up;
        case Qt::Key_Down:
            return vk::down;
        case Qt::Key_Home:
            return vk::home;
        case Qt::Key_End:
            return vk::end;
        case Qt::Key_Delete:
            return vk::deleteKey;
        // A modifier pressed alone comes as its own key, as on Windows.
        case Qt::Key_Shift:
            return vk::shift;
        case Qt::Key_Control:
            return vk::control;
        case Qt::Key_Alt:
            return vk::menu;
        case Qt::Key_F4:
            return vk::f4;
        default:
            return 0;
    }
}

}  // namespace

KeyMessage toKeyMessage(const QKeyEvent& event) {
    const bool control = (event.modifiers() & Qt::ControlModifier) != 0;
    const bool shift = (event.modifiers() & Qt::ShiftModifier) != 0;
    // Letters, digits and space carry the same numbers as the platform's
    // virtual keys.
    const int key = event.key();
    const bool sameNumber = (key >= Qt::Key_A && key <= Qt::Key_Z) ||
                            (key >= Qt::Key_0 && key <= Qt::Key_9) || key == Qt::Key_Space;
    const int code = sameNumber ? key : virtualKeyOf(event);
    return {keyOfCode(code), code, control, shift};
}

}  // namespace ui::qt
