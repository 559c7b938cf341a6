// The test driver of the headless ui backend (ui_headless_backend.h): the
// user's hands and eyes on a dialog that runs without a screen.
//
// A test queues a modal script, then calls DoModal on its dialog. The backend
// builds the controls from the layout, runs OnInitDialog and hands the script
// a Window; when the script returns without ending the dialog, the user has
// closed it (end code idCancel). Calls from worker threads run directly on
// the worker under the gate's lock; every hand and eye holds that lock while
// it acts and runs the work posted to the window thread in the meantime.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ui.h"

namespace ui::headless {

class HeadlessBackend;

struct FontInfo {
    std::string face;  // UTF-8, as the program named it
    int tenthsOfPoint = 0;
};

struct IconSet {
    std::optional<int> bigIcon;
    std::optional<int> smallIcon;
};

// What the dialog's colour request decided for one control.
struct ColourDecision {
    CtlKind kind = CtlKind::Other;   // the kind the request was made with
    std::optional<Color> brush;      // nothing: the framework's default face
    std::optional<Color> textColor;  // as the handler set them
    std::optional<Color> textBackground;
};

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

// One drawing call of a surface's paint handler. A line runs from (x, y)
// to (cx, cy); a text's area is its top left and extent (6 pixels a byte,
// 13 high).
struct DrawOp {
    enum class Kind { Fill, Line, Text };
    Kind kind = Kind::Fill;
    Rect area;
    Color color = 0;
    std::string text;  // CP932
};

struct ScrollInfo {
    int max = 0;
    int page = 0;
    int pos = 0;
    bool operator==(const ScrollInfo&) const = default;
};

struct PaintResult {
    bool handled = false;  // OnPaint's answer; false: default painting
    bool backgroundErased = false;
    std::vector<Point> icons;  // where icons were drawn, in order
};

class Window {
public:
    explicit Window(HeadlessBackend& backend) : backend_(backend) {}
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    Dialog& dialog();

    // ---- hands ----
    // Replaces the text of an enabled, writable edit as a paste of the whole
    // text would; bytes beyond the text limit are refused at a character
    // boundary. Raises Changed.
    void type(int id, std::string_view cp932);
    // Types key by key as a person does: the edit takes the focus with its
    // caret at the end, then each character goes in at the caret through
    // the digits-only rule and the byte limit, raising Changed when taken.
    void typeKeys(int id, std::string_view cp932);
    // A click on a button or check box; nothing on a disabled or hidden one.
    void click(int id);
    // A pick from a drop-down list; raises SelChange.
    void pickComboEntry(int id, int index);
    // Ticks or clears a check box by clicking it when its state differs.
    void setCheck(int id, bool checked);
    // Moves the keyboard focus to a tab stop, as Tab or a click does;
    // nothing on a control that is no tab stop, disabled or hidden.
    void focus(int id);
    // The key goes to PreTranslateMessage first, whose framework default
    // presses the focused push button or the default button on Enter and
    // cancels on Escape. Unhandled, either is a plain keystroke to the
    // focused control, which a button, an edit or a closed list ignores.
    void pressKey(Key key);
    // A key with its virtual-key code, through PreTranslateMessage, except
    // Enter and Escape while a drop-down list is open, which the list takes.
    // Unhandled, the dialog manager and the focused control act: Tab and
    // Shift+Tab move the focus, Space presses a button, Home, End, Left,
    // Right, Delete and Back edit at an edit's caret, Up, Down and F4 work a
    // drop-down list.
    void pressKeyCode(int keyCode, bool control = false, bool shift = false);
    // Alt and a letter or digit: the control whose text marks it acts.
    void pressAccessKey(char key);
    // The system menu's Close: the Cancel command, as the close box sends it.
    void closeBox();
    void setMinimised(bool minimised);
    PaintResult paint();

    // ---- eyes ----
    std::string text(int id);  // a drop-down list shows its selected entry
    bool enabled(int id);
    bool visible(int id);
    std::string caption();
    std::optional<int> textLimit(int id);  // nothing: never limited
    std::vector<std::string> comboEntries(int id);
    int curSel(int id);
    int focused();  // idNone: no control with an id has the focus
    // An edit's selection in bytes; start == end is the caret alone.
    std::pair<std::size_t, std::size_t> selection(int id);
    bool dropped(int id);  // a drop-down list's list is open
    // The window's place on the virtual screen.
    Rect frame();
    bool checked(int id);
    FontInfo fontOf(int id);  // the dialog's font unless the program set one
    IconSet icons();
    int invalidationCount(int id);
    ColourDecision colourOf(int id);
    Size clientSize();
    bool ended();
    int endCode();

    // ---- modeless windows, surfaces, scroll bars and timers ----
    bool open();
    int frontRequests();  // how often the program brought the window to the front
    // The user drags the window's border: the client area's new size.
    void resize(Size client);
    std::optional<int> timerInterval(int id);  // nothing: no timer runs
    void fireTimer(int id);
    // Every running timer fires once, in the order of their ids.
    void fireTimers();
    // A surface repaints: what its paint handler drew, in order.
    std::vector<DrawOp> paintSurface(int id);
    void mouse(int id, const MouseEvent& event);
    // The user moves a scroll bar's thumb; raises Scroll.
    void scrollTo(int id, int pos);
    ScrollInfo scrollInfo(int id);
    Rect place(int id);

private:
    template <class F>
    auto act(F&& fn);
    HeadlessBackend& backend_;
};

// The hands and eyes of a modeless dialog while its window is open.
Window& windowOf(Dialog& dialog);

// ---- session: shared by every dialog a test runs ----

// Scripts run in the order queued, one per modal run (nested runs included).
void queueModalScript(std::function<void(Window&)> script);
// The next file dialog's answer: a CP932 path, or nothing for cancel. With
// no answer queued, a file dialog is cancelled.
void queueFileDialogAnswer(std::optional<std::string> cp932Path);
// The next file dialog's answer as the file system names it (UTF-8), taken
// as the Qt dialog takes a choice: refused when CP932 cannot hold it.
void queueFileDialogAnswerUtf8(std::string_view utf8Path);
std::vector<std::string> messageBoxes();        // CP932 texts, in order shown
std::vector<std::string> messageBoxCaptions();  // as ui::applicationName() gave them
std::vector<FileDialogRequest> fileDialogRequests();
// What a test queued and the window never used: scripts that no modal run
// took (a window that ended during start-up skips its script) and file
// dialog answers that no dialog asked for.
struct Leftovers {
    std::size_t scriptsNotRun = 0;
    std::size_t fileDialogAnswersUnused = 0;
    bool operator==(const Leftovers&) const = default;
};
Leftovers leftovers();
// The next call or hand-over that a worker thread makes into the window
// throws, as a failure inside the window system would (a worker's fault).
void failNextWorkerCall();
std::vector<Image> clipboardImages();        // in the order copied
std::optional<std::string> clipboardText();  // CP932; nothing: no text copied
// Forgets queued scripts and answers and every record.
void resetSession();

}  // namespace ui::headless
