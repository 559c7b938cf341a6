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

class WindowBackend {
public:
    explicit WindowBackend(Dialog& dialog) : dialog_(dialog) {}
    WindowBackend(const WindowBackend&) = delete;
    WindowBackend& operator=(const WindowBackend&) = delete;
    virtual ~WindowBackend() = default;

    // Builds the window from the dialog's layout, calls OnInitDialog, runs
    // until EndDialog, then calls destroySequence() while the controls still
    // exist, tears the window down and returns the end code.
    virtual int runModal() = 0;
    virtual void endDialog(int code) = 0;
    // A modeless window: built from the layout, OnInitDialog called, shown;
    // false when it could not be built. destroy() calls destroySequence()
    // while the controls still exist and takes the window down; it may be
    // called from the window's own handlers.
    virtual bool create() = 0;
    virtual void destroy() = 0;
    virtual bool isOpen() const = 0;
    virtual void bringToFront() = 0;

    virtual std::string text(int id) = 0;
    virtual void setText(int id, std::string_view cp932) = 0;
    virtual void enable(int id, bool enabled) = 0;
    virtual bool isEnabled(int id) = 0;
    virtual void show(int id, bool visible) = 0;
    virtual void invalidate(int id) = 0;
    virtual void limitText(int id, int bytes) = 0;
    virtual void replaceSel(int id, std::string_view cp932) = 0;
    virtual void addString(int id, std::string_view cp932) = 0;
    virtual void resetContent(int id) = 0;
    virtual void setCurSel(int id, int index) = 0;
    virtual int curSel(int id) = 0;
    virtual bool isChecked(int id) = 0;
    virtual void setChecked(int id, bool checked) = 0;
    virtual void setFont(int id, const Font& font) = 0;
    virtual void moveTo(int id, const Rect& pixels) = 0;
    virtual Rect place(int id) = 0;
    virtual void setScroll(int id, int max, int page, int pos) = 0;
    virtual int scrollPos(int id) = 0;
    virtual Image capture(int id) = 0;

    virtual void setCaption(std::string_view cp932) = 0;
    virtual std::string caption() = 0;
    virtual void setIcon(int iconResourceId, bool big) = 0;
    virtual bool isIconic() = 0;
    virtual Size clientSize() = 0;
    virtual Rect mapDialogRect(const Rect& dialogUnits) = 0;
    virtual void setTimer(int id, int intervalMs) = 0;
    virtual void killTimer(int id) = 0;
    virtual bool copyImage(const Image& image) = 0;
    // The id of the control with the keyboard focus; idNone when no control
    // with an id has it.
    virtual int focusedControl() { return idNone; }

    virtual void messageBox(std::string_view cp932) = 0;
    virtual FileChoice fileDialog(const FileDialogRequest& request) = 0;

    // Queues fn for the window thread. Returns at once.
    virtual void post(std::function<void()> fn) = 0;
    virtual bool isWindowThread() const = 0;
    // true: worker calls are run directly on the calling thread under the
    // gate's lock instead of being queued (the headless backend).
    virtual bool runsCallsDirectly() const { return false; }
    // Before a worker's call is run directly: the headless backend makes it
    // fail when a test asks, as a fault in the window system would.
    virtual void workerCallStarts() {}

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
