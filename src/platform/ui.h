// The dialog framework the program is written against: dialogs built from
// layout data, controls addressed by id, message routing, modal runs, common
// dialogs, and the thread rule for calls from worker threads.
//
// Backends (qt, win32, headless) implement ui::detail::WindowBackend and
// ui::detail::createBackend; exactly one is linked into each executable.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/hand_over.h"

namespace ui {

// End codes of a modal run, as the platform numbers them.
inline constexpr int idOk = 1;
inline constexpr int idCancel = 2;
// Id of controls without an identifier.
inline constexpr int idNone = -1;

enum class Kind {
    PushButton,
    DefPushButton,
    AutoCheckBox,
    GroupBox,
    Static,      // text or empty face (a lamp), see the static styles
    EtchedLine,  // etched horizontal separator
    Edit,
    DropDownList,  // combo box with a drop-down list
    Surface,       // drawn by the dialog (OnSurfacePaint), with mouse events
    HScrollBar
};

// The window class of a surface in a Windows dialog template; the Windows
// backend registers it.
inline constexpr char surfaceWindowClass[] = "MonitorSurface";

// Platform-neutral control styles; each backend maps them to its own.
enum Style : std::uint32_t {
    styleNone = 0,
    styleTabStop = 1u << 0,
    styleBorder = 1u << 1,
    styleDigitsOnly = 1u << 2,
    styleAutoHScroll = 1u << 3,
    styleAutoVScroll = 1u << 4,
    styleReadOnly = 1u << 5,
    styleMultiline = 1u << 6,
    styleVScroll = 1u << 7,
    styleAlignRight = 1u << 8,
    styleAlignCenter = 1u << 9,
    styleCenterVertical = 1u << 10,
    styleSunkenEdge = 1u << 11,  // the static edge of a lamp
};

// Frame styles of a dialog.
enum FrameStyle : std::uint32_t {
    frameVisible = 1u << 0,
    frameCaption = 1u << 1,
    frameSysMenu = 1u << 2,
    frameModal = 1u << 3,
    frameAppWindow = 1u << 4,  // shown in the task bar
    frameResizable = 1u << 5,  // sizing border, minimise and maximise boxes
};

// One control of a dialog template. Positions are dialog units; texts are
// UTF-8 source literals (converted by the backend when the window is built).
struct ControlLayout {
    int id;
    Kind kind;
    std::uint32_t styles;
    const char* text;
    int x, y, cx, cy;
};

struct DialogLayout {
    int templateId;
    const char* caption;   // UTF-8
    int cx, cy;            // dialog units
    const char* fontFace;  // UTF-8
    int fontPoints;
    std::uint32_t frameStyles;
    std::span<const ControlLayout> controls;  // template order = tab order
};

// Colour value as the platform stores it: red in bits 0-7, green 8-15, blue 16-23.
using Color = std::uint32_t;
constexpr Color rgb(int r, int g, int b) {
    return static_cast<Color>(r & 0xFF) | (static_cast<Color>(g & 0xFF) << 8) |
           (static_cast<Color>(b & 0xFF) << 16);
}

// A solid brush owned by the window object. Backends that need native
// objects create and cache them by colour.
class Brush {
public:
    void createSolid(Color color) {
        color_ = color;
        created_ = true;
    }
    bool valid() const { return created_; }
    Color color() const { return color_; }

private:
    Color color_ = 0;
    bool created_ = false;
};

// A point-size font for the screen.
class Font {
public:
    // Point size in tenths of a point; face as a UTF-8 literal (mapped by the
    // backend to an installed face where the named one is missing).
    void createPointFont(int tenthsOfPoint, const char* faceUtf8) {
        tenths_ = tenthsOfPoint;
        face_ = faceUtf8;
        created_ = true;
    }
    bool valid() const { return created_; }
    int tenthsOfPoint() const { return tenths_; }
    const std::string& face() const { return face_; }

private:
    int tenths_ = 0;
    std::string face_;
    bool created_ = false;
};

// The kind of control whose colours are asked for.
enum class CtlKind { Static, Edit, Button, ListBox, Dialog, Other };

// A colour request for one control. The handler returns the brush for the
// face (nullptr: the framework's default) and may set text colours.
struct CtlColorRequest {
    int controlId = idNone;
    CtlKind kind = CtlKind::Other;
    std::optional<Color> textColor;
    std::optional<Color> textBackground;
};

enum class Notification { Clicked, Changed, SelChange, Scroll };

enum class Key { Enter, Escape, Other };
struct KeyMessage {
    Key key = Key::Other;
    int keyCode = 0;  // the platform's virtual-key code, one of vk or a letter or digit
    bool control = false;
    bool shift = false;
};
// The platform's virtual-key codes of the keys the program and its tests
// name; letters and digits are their upper-case ASCII codes. Every backend
// maps its keys to these, and only here are they written.
namespace vk {
inline constexpr int back = 0x08;
inline constexpr int tab = 0x09;
inline constexpr int enter = 0x0D;
inline constexpr int shift = 0x10;
inline constexpr int control = 0x11;
inline constexpr int menu = 0x12;  // Alt
inline constexpr int escape = 0x1B;
inline constexpr int space = 0x20;
inline constexpr int end = 0x23;
inline constexpr int home = 0x24;
inline constexpr int left = 0x25;
inline constexpr int up = 0x26;
inline constexpr int right = 0x27;
inline constexpr int down = 0x28;
inline constexpr int deleteKey = 0x2E;
inline constexpr int add = 0x6B;  // on the number pad
inline constexpr int subtract = 0x6D;
inline constexpr int f4 = 0x73;
inline constexpr int oemPlus = 0xBB;
inline constexpr int oemMinus = 0xBD;
}  // namespace vk
// Enter and Escape by their codes; every other key is Other.
constexpr Key keyOfCode(int keyCode) {
    return keyCode == vk::enter ? Key::Enter : keyCode == vk::escape ? Key::Escape : Key::Other;
}

// What a paint request offers the handler: the minimised window's state and
// the calls needed to draw its icon.
class PaintContext {
public:
    virtual ~PaintContext() = default;
    virtual void eraseIconBackground() = 0;
    virtual void drawIcon(int x, int y) = 0;
};

struct Size {
    int cx = 0;
    int cy = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    bool operator==(const Rect&) const = default;
};

// Drawing on a surface control, in pixels from its top left; the backend
// shows the result at once when the paint handler returns.
class Painter {
public:
    virtual ~Painter() = default;
    virtual Size size() const = 0;
    virtual void fillRect(const Rect& area, Color color) = 0;
    // One pixel wide, both ends drawn.
    virtual void line(int x0, int y0, int x1, int y1, Color color) = 0;
    // In the dialog's font, the text's top left at x, y, no background.
    virtual void text(int x, int y, std::string_view cp932, Color color) = 0;
    virtual Size textExtent(std::string_view cp932) = 0;
};

struct MouseEvent {
    enum class Kind { Press, Release, Move, Wheel, Leave };
    Kind kind = Kind::Move;
    int x = 0;  // from the surface's top left
    int y = 0;
    int wheelDelta = 0;  // 120 per notch, positive away from the user
    // The buttons held once the event happened (a release no longer holds
    // its button) and the modifier keys held.
    bool leftButton = false;
    bool rightButton = false;
    bool control = false;
    bool shift = false;
    // Which button a Press or Release is about.
    enum class Button { None, Left, Right };
    Button button = Button::None;
};

// A picture: pixels row by row from the top left.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<Color> pixels;
};

// Save and open file dialogs. Filters use the platform's "a|b|c||" form.
struct FileDialogRequest {
    bool save = true;
    std::string defaultExtension;  // without the dot
    std::string initialPath;       // CP932
    std::string filter;            // CP932
    bool overwritePrompt = true;
    bool hideReadOnly = true;
};

// What the user did in a file dialog. A path that CP932 cannot hold exactly
// is refused rather than changed, so that the program never uses another
// file than the one chosen.
struct FileChoice {
    enum class Outcome { Cancelled, Chosen, NotCp932 };
    Outcome outcome = Outcome::Cancelled;
    std::string path;  // CP932, when chosen

    // A path the user chose, as its exact CP932 form gave it (or did not).
    static FileChoice chosen(std::optional<std::string> exactCp932) {
        if (!exactCp932) return {Outcome::NotCp932, {}};
        return {Outcome::Chosen, std::move(*exactCp932)};
    }
    bool operator==(const FileChoice&) const = default;
};

class Dialog;

// A (dialog, id) pair. Every call is safe from any thread: calls from a
// worker are carried to the window thread and wait for it, and do nothing
// (reading as empty, -1, false or 0) once the window has begun to close,
// on the window thread too; so do calls naming an id the layout lacks or a
// control of another kind. Texts are CP932 bytes. What each call does in
// detail, and which notifications it raises, is WindowBackend's contract
// (ui_backend.h), which every backend keeps.
class Control {
public:
    Control() = default;
    Control(Dialog* dialog, int id) : dialog_(dialog), id_(id) {}

    int id() const { return id_; }
    // A drop-down list's is its selected entry's; a multi-line edit's has
    // CR LF line ends.
    std::string text() const;
    // Changed follows for a single-line edit, even for the same text; not
    // for other kinds. Where the caret goes differs (ui_backend.h).
    void setText(std::string_view cp932) const;
    // A control that has the focus when it is disabled or hidden hands it
    // to the next tab stop first, so that the keyboard still reaches the
    // dialog.
    void enable(bool enabled) const;
    bool isEnabled() const;
    void show(bool visible) const;
    // Whole face, with background erase. From a worker it does not wait:
    // at most one request per control waits for the window thread.
    void invalidate() const;
    // Bytes the user may type into an edit; 0 or less: no limit. The
    // program's own texts are never cut.
    void limitText(int bytes) const;
    // Replaces the selection, or inserts at the caret; Changed follows.
    void replaceSel(std::string_view cp932) const;
    // A drop-down list's entries; adding keeps the selection (none stays
    // none). Neither raises SelChange.
    void addString(std::string_view cp932) const;
    void resetContent() const;  // the entries all go, and the selection
    // Out of range: none (-1). No SelChange.
    void setCurSel(int index) const;
    int curSel() const;
    bool isChecked() const;
    void setChecked(bool checked) const;  // no Clicked
    void setFont(const Font& font) const;
    // Place in the dialog's client area, in pixels.
    void moveTo(const Rect& pixels) const;
    Rect place() const;
    // A scroll bar's range 0 to max, page and position, the position kept
    // within 0 to max - page. No Scroll notification.
    void setScroll(int max, int page, int pos) const;
    int scrollPos() const;
    // What a surface shows, as it would paint now.
    Image capture() const;

private:
    Dialog* dialog_ = nullptr;
    int id_ = idNone;
};

namespace detail {
class WindowBackend;
class CallGate;
class WorkerSet;
}  // namespace detail

class Dialog {
public:
    explicit Dialog(const DialogLayout& layout, Dialog* owner = nullptr);
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    virtual ~Dialog();

    // Window thread only. Builds the window, placed over its window owner,
    // runs OnInitDialog and the window's loop until EndDialog; closes the
    // window (its open modeless windows first, then OnDestroy, then the gate
    // closes and every worker is joined) and returns the end code, -1 when
    // the window could not be built. The backend and the call gate are gone
    // after it: calls then do nothing.
    int DoModal();
    // Ends the modal run once the current handler returns; the last code
    // given wins. Nothing outside a run.
    void EndDialog(int code);
    // A modeless window: built, initialised and shown, then it lives in the
    // loop of the window that runs until DestroyWindow. Its close box and
    // Escape come to OnCancel, whose default then is DestroyWindow. False
    // when it could not be built; a dialog may be created again once
    // destroyed. Window thread only.
    // A dialog with clean-up in its own OnDestroy is closed before its
    // destructor runs (its owner's close does it): the base destructor can
    // close a forgotten window, but only with the base OnDestroy.
    bool Create();
    // Closes a modeless window (its OnDestroy, then the gate, then its
    // workers); work posted to it is dropped. Nothing on a closed window.
    void DestroyWindow();
    bool IsWindowOpen() const;
    void BringToFront();
    // Dialog units of the dialog's font in pixels, as the platform maps them.
    Rect MapDialogRect(const Rect& dialogUnits);
    // OnTimer(id) every interval on the window thread until KillTimer or
    // the window's end; the headless backend's timers fire when its driver
    // says. Setting a running timer restarts it.
    void SetTimer(int id, int intervalMs);
    void KillTimer(int id);
    // Replace what the clipboard holds: a picture, or text (CP932). False
    // when the clipboard could not be had or the window is gone.
    bool CopyImageToClipboard(const Image& image);
    bool CopyTextToClipboard(std::string_view cp932);
    // The control with the keyboard focus; idNone when none with an id has it.
    int FocusedControl();

    Control item(int id) { return Control(this, id); }
    const DialogLayout& layout() const { return layout_; }
    Dialog* owner() const { return owner_; }
    // The dialog whose window owns this one's while it is open: the owner
    // given, or else the innermost modal run of the window thread when this
    // one opened (as the platform's framework takes its active window);
    // nullptr for a window of its own.
    Dialog* windowOwner() const { return windowOwner_; }

    // The caption, CP932. These and the calls below are safe from any
    // thread, as Control's are, and do nothing once the window closes.
    // Named apart from the Win32 functions whose names <windows.h> makes
    // macros, so that every file spells them alike.
    void SetTitle(std::string_view cp932);
    std::string Title();
    void SetIcon(int iconResourceId, bool big);
    bool IsIconic();
    Size GetClientSize();
    static Size SystemIconSize();

    // OK-only message box without icon, captioned with the application's
    // name, owned by this dialog. Callable from any thread; returns when closed.
    void ShowMessage(std::string_view cp932);
    // A file dialog: the full path chosen (CP932), a cancel, or a refusal.
    FileChoice FileDialog(const FileDialogRequest& request);

    // Starts a worker thread counted by the window; false when it could not
    // be started or the window is closing. The window joins every worker
    // before its destruction completes.
    bool StartWorker(std::function<void()> body);
    // The same for a worker that may be stuck in the file system when the
    // window closes (a network share that stops answering): the close lets
    // it go instead of waiting for it. Its body must hold nothing of the
    // window, only what it shares with it.
    bool StartWorkerLetGoAtClose(std::function<void()> body);
    // Runs fn on the window thread and waits for it (at once on the window
    // thread itself); false (fn not run) when the window is closing or gone.
    bool CallOnWindowThread(const std::function<void()>& fn);
    // Hands fn to the window thread without waiting for it, from any
    // thread; it runs after the handler that is running. Work still queued
    // when the window closes, or posted after, never runs.
    void PostToWindowThread(std::function<void()> fn);
    bool IsWindowThread() const;

    // Lifecycle hooks and routing, called by the backend on the window thread.
    // true: the system focuses the first reachable tab stop.
    virtual bool OnInitDialog() { return true; }
    // Every key pressed in the window, before the control with the focus
    // sees it. true: handled, it goes no further. The default presses the
    // focused push button, or else the default button (OK without one), on
    // Enter, and cancels on Escape. Declined (false), Enter and Escape are
    // plain keystrokes for the focused control, which no control of ours
    // acts on; any other key goes on to the dialog manager and the control.
    virtual bool PreTranslateMessage(const KeyMessage& message);
    virtual const Brush* OnCtlColor(CtlColorRequest& request);
    // Returns false to let the backend do its default painting.
    virtual bool OnPaint(PaintContext& context);
    virtual void OnDestroy() {}
    // Framework defaults of the OK and Cancel commands.
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnTimer(int) {}
    // The client area's new size, after the user resized the window.
    virtual void OnSize(Size) {}
    virtual void OnSurfacePaint(int, Painter&) {}
    // Presses and releases of the left and right buttons, moves, the wheel
    // and the pointer's leaving, over a surface.
    virtual void OnSurfaceMouse(int, const MouseEvent&) {}
    // Routes a control notification to the derived class's handler; false
    // when no row of its routing table matches. The default runs OnOK for
    // Clicked idOk and OnCancel for Clicked idCancel, which the close box
    // also sends.
    virtual bool OnCommand(Notification notification, int controlId);

    detail::WindowBackend* backend() const { return backend_.get(); }
    // Between the window's opening and the end of its modal run; a modeless
    // window's stays until it opens again. nullptr otherwise.
    detail::CallGate* gate() const { return gate_.get(); }

protected:
    // A routing table row: (notification, control id, member function).
    template <class D>
    struct Route {
        Notification notification;
        int controlId;
        void (D::*handler)();
    };
    template <class D>
    static bool dispatch(D* self, std::span<const Route<D>> routes, Notification n, int id) {
        for (const auto& route : routes) {
            if (route.notification == n && route.controlId == id) {
                (self->*route.handler)();
                return true;
            }
        }
        return false;
    }

private:
    friend class Control;
    friend class detail::WindowBackend;
    // A repaint request from a worker: at most one per control waits for
    // the window thread, however fast the requests come.
    void invalidateFromWorker(int id);
    void repaintHandedOver();
    bool pressEnter();

    void openBackend();
    // The owner's close takes its open modeless windows down first.
    void closeModelessWindows();
    // OK and Cancel end a modal run with code; a modeless window closes.
    void closeWith(int code);

    const DialogLayout& layout_;
    Dialog* owner_;
    Dialog* windowOwner_ = nullptr;
    bool modeless_ = false;
    std::unique_ptr<detail::WindowBackend> backend_;
    std::unique_ptr<detail::CallGate> gate_;
    std::unique_ptr<detail::WorkerSet> workers_;
    // The controls whose repaint workers asked for, on their way to the
    // window thread.
    HandOver<std::vector<int>> pendingRepaints_;
    std::vector<Dialog*> modelessWindows_;  // open ones owned by this dialog
};

// The application's name as message boxes show it in their caption (UTF-8).
void setApplicationName(const char* nameUtf8);
const char* applicationName();

}  // namespace ui
