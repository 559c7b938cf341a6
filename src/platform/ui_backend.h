// What a ui backend (qt, win32, headless) provides to the common dialog code.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "ui.h"

namespace ui::detail {

// One window of one dialog on one backend. Contract of every backend, proven
// by the conformance suite (tests/conformance) on each:
// - Thread: every call is made on the window thread (the thread that made
//   the backend), except post, isWindowThread, runsCallsDirectly,
//   workerCallStarts and takesWorkerCalls, which any thread may call. The
//   common layer carries worker calls over (CallGate); a backend never sees
//   them otherwise.
// - Ids: a call naming an id the layout lacks, or a control of another kind
//   than the call is for, does nothing and reads as empty, -1, false or 0.
// - Notifications go to Dialog::OnCommand on the window thread, as the
//   platform raises them: only where said below for programmatic calls.
// - After the window closed (destroySequence ran), the common layer makes
//   no more calls but post, whose work is dropped.
class WindowBackend {
public:
    explicit WindowBackend(Dialog& dialog) : dialog_(dialog) {}
    WindowBackend(const WindowBackend&) = delete;
    WindowBackend& operator=(const WindowBackend&) = delete;
    virtual ~WindowBackend() = default;

    // Builds the window from the dialog's layout, placed by its owner
    // (rules::placeByOwner; Dialog::windowOwner), calls OnInitDialog (true:
    // the first reachable tab stop takes the focus, an edit's text all
    // selected), runs the loop until endDialog, then calls destroySequence()
    // while the controls still exist, tears the window down and returns the
    // end code. Every key of the window, and of its modeless windows, passes
    // PreTranslateMessage first, except Enter and Escape while a drop-down
    // list is open (the list closes). Declined, Enter and Escape are plain
    // keystrokes for the focused control; other keys go on to the dialog
    // manager (Tab, Shift+Tab, arrows, access keys). The close box is
    // OnCommand(Clicked, idCancel).
    virtual int runModal() = 0;
    // Ends the run after the current handler returns; the last code wins.
    virtual void endDialog(int code) = 0;
    // A modeless window: built from the layout, OnInitDialog called, shown
    // beside its owner; false when it could not be built. destroy() calls
    // destroySequence() while the controls still exist and takes the window
    // down, dropping work posted to it; it may be called from the window's
    // own handlers and does nothing on a closed window.
    virtual bool create() = 0;
    virtual void destroy() = 0;
    virtual bool isOpen() const = 0;
    // Restores a minimised window and raises it; a request the window
    // system may refuse.
    virtual void bringToFront() = 0;

    // CP932 text of a control; a drop-down list's is its selected entry's,
    // a multi-line edit's has CR LF line ends.
    virtual std::string text(int id) = 0;
    // Changed follows, at once, for a single-line edit (also for the same
    // text); not for a multi-line edit, a static or a button. A drop-down
    // list's text is not set. Where an edit's caret goes is no part of the
    // contract: the platform's and the headless edit's go to the start,
    // Qt's to the end.
    virtual void setText(int id, std::string_view cp932) = 0;
    virtual void enable(int id, bool enabled) = 0;
    virtual bool isEnabled(int id) = 0;
    virtual void show(int id, bool visible) = 0;
    // The whole face repaints later, its colours asked for again.
    virtual void invalidate(int id) = 0;
    // The most CP932 bytes the user may type into an edit; 0 or less is no
    // limit, as the platform's limit of 0. A change that would pass it keeps
    // what fits, cut between characters (a beep when nothing fits). Text the
    // program writes is never cut.
    virtual void limitText(int id, int bytes) = 0;
    // Replaces an edit's selection (the caret alone: inserts there), the
    // caret after it; Changed follows. Not limited.
    virtual void replaceSel(int id, std::string_view cp932) = 0;
    // A drop-down list's entries, in the order added; adding leaves the
    // selection as it was (none stays none). No SelChange.
    virtual void addString(int id, std::string_view cp932) = 0;
    virtual void resetContent(int id) = 0;
    // An index out of range selects none (-1). No SelChange.
    virtual void setCurSel(int id, int index) = 0;
    virtual int curSel(int id) = 0;
    virtual bool isChecked(int id) = 0;
    // No Clicked.
    virtual void setChecked(int id, bool checked) = 0;
    virtual void setFont(int id, const Font& font) = 0;
    // Pixels in the client area.
    virtual void moveTo(int id, const Rect& pixels) = 0;
    virtual Rect place(int id) = 0;
    // A scroll bar's range as rules::lastScrollPos counts it; pos is kept
    // within it. No Scroll notification.
    virtual void setScroll(int id, int max, int page, int pos) = 0;
    virtual int scrollPos(int id) = 0;
    // What a surface's paint handler draws, as pixels of its size.
    virtual Image capture(int id) = 0;

    virtual void setCaption(std::string_view cp932) = 0;
    virtual std::string caption() = 0;
    virtual void setIcon(int iconResourceId, bool big) = 0;
    virtual bool isIconic() = 0;
    virtual Size clientSize() = 0;
    virtual Rect mapDialogRect(const Rect& dialogUnits) = 0;
    // OnTimer(id) about every intervalMs on the window thread until
    // killTimer or the window's end; setting a running timer again restarts it.
    virtual void setTimer(int id, int intervalMs) = 0;
    virtual void killTimer(int id) = 0;
    // Replace what the clipboard holds; false when it could not be opened.
    virtual bool copyImage(const Image& image) = 0;
    virtual bool copyText(std::string_view cp932) = 0;
    // The id of the control with the keyboard focus; idNone when no control
    // with an id has it.
    virtual int focusedControl() { return idNone; }

    // Modal over the window; return when the user closed them.
    virtual void messageBox(std::string_view cp932) = 0;
    virtual FileChoice fileDialog(const FileDialogRequest& request) = 0;

    // Queues fn for the window thread, to run after the current handler;
    // returns at once, from any thread. Dropped once the window closed.
    virtual void post(std::function<void()> fn) = 0;
    virtual bool isWindowThread() const = 0;
    // true: worker calls are run directly on the calling thread under the
    // gate's lock instead of being queued (the headless backend).
    virtual bool runsCallsDirectly() const { return false; }
    // Before a worker's call is run directly: the headless backend makes it
    // fail when a test asks, as a fault in the window system would.
    virtual void workerCallStarts() {}
    // Under the gate's lock, before a call is run directly: false once the
    // window's end has begun and the call is a worker's, which then waits
    // for the close and fails, as it would on a window thread busy ending.
    virtual bool takesWorkerCalls() const { return true; }

protected:
    Dialog& dialog() { return dialog_; }
    // OnDestroy, then the gate closes (waiting worker calls are released and
    // new ones return at once), then every worker is joined.
    void destroySequence();

private:
    Dialog& dialog_;
};

std::unique_ptr<WindowBackend> createBackend(Dialog& dialog);
Size systemIconSize();

// Carries calls from worker threads to the window thread and waits for them,
// until the window begins to close.
class CallGate {
public:
    explicit CallGate(WindowBackend& backend) : backend_(backend) {}
    bool call(const std::function<void()>& fn);
    void post(std::function<void()> fn);
    void beginClose();
    bool closing() const;
    // The lock under which a direct-mode backend runs every call; its driver
    // holds it while it acts on the window. One for all windows, as they all
    // have the one window thread: a window's handler may call another's.
    static std::recursive_mutex& directLock();

private:
    struct Pending;
    WindowBackend& backend_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool closing_ = false;
    std::list<std::shared_ptr<Pending>> pending_;
};

// Worker threads started through the window; finished ones are reaped as new
// ones start, and joinAll waits for the rest, but lets go of those started
// to be let go that have not ended.
class WorkerSet {
public:
    ~WorkerSet();
    bool start(std::function<void()> body, bool letGoAtClose = false);
    void joinAll();

private:
    struct Worker;
    void reapFinished();
    mutable std::mutex mutex_;
    std::list<std::unique_ptr<Worker>> workers_;
};

}  // namespace ui::detail
