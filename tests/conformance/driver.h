// The small interface the conformance cases drive a window through: a
// person's hands on one backend's real controls, and what only the window
// system can tell (focus aside, which the ui layer reads). Each backend's
// program links one implementation; the cases are written once against it.
//
// A case queues one script per modal run it starts, in order, then runs the
// dialog. The script gets the driver of that run; every hand returns once
// the window has dealt with it. A script that returns without ending its
// run leaves it to be ended with idCancel.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui.h"

namespace conformance {

struct MouseAction {
    ui::MouseEvent::Kind kind = ui::MouseEvent::Kind::Move;
    int x = 0;
    int y = 0;
    ui::MouseEvent::Button button = ui::MouseEvent::Button::None;  // of a press or release
    bool leftHeld = false;                                         // during a move
    bool shift = false;
    bool control = false;
    int wheelDelta = 0;
};

class Driver {
public:
    virtual ~Driver() = default;
    virtual ui::Dialog& dialog() = 0;

    // ---- hands ----
    // Clicks into the edit after its text and types each character.
    virtual void typeKeys(int id, std::string_view cp932) = 0;
    // A key, with its virtual-key code, to the control with the focus,
    // Shift and Ctrl held as asked.
    virtual void pressKey(int keyCode, bool shift = false, bool control = false) = 0;
    // Alt and the key.
    virtual void pressAccessKey(char key) = 0;
    // A click with the left button in the middle of the control.
    virtual void click(int id) = 0;
    // A click that gives the control the focus (a list, a button).
    virtual void focus(int id) = 0;
    virtual void closeBox() = 0;
    virtual void mouse(int id, const MouseAction& action) = 0;

    // ---- eyes ----
    virtual bool dropped(int id) = 0;
    // The window's frame on the screen; nothing where the backend has no
    // screen to place it on.
    virtual std::optional<ui::Rect> frame() = 0;
    // The caption (UTF-8) of the window that owns this one; empty for none.
    virtual std::string ownerCaption() = 0;
    virtual std::optional<std::string> clipboardText() = 0;  // CP932

    // ---- time ----
    // Lets the window's loop run (its timers and posted work) until pred
    // holds or a generous deadline passed; pred's last answer.
    virtual bool waitFor(const std::function<bool()>& pred) = 0;

    // Runs fn on the window thread, as the window's own code; false when
    // the window is gone.
    bool onWindow(const std::function<void()>& fn) { return dialog().CallOnWindowThread(fn); }
};

using Script = std::function<void(Driver&)>;

// The backend's side of the harness.
class Harness {
public:
    virtual ~Harness() = default;
    virtual void queue(Script script) = 0;
    // Called by every conformance dialog at the start of its modal run.
    virtual void opened(ui::Dialog& dialog) = 0;
    // After each case: every script has ended and nothing is left queued.
    virtual bool finish() = 0;
};

Harness& harness();

}  // namespace conformance
