// The headless ui backend: in-memory controls that behave as the platform's
// dialog manager and controls do, with no screen. Tests reach it through
// its driver (ui_headless.h).
//
// Implements every WindowBackend call. Its windows stand on a virtual
// screen of 1920 x 1040 pixels without frames, a window without owner at its
// top left; dialog units use fixed base units (6 x 13 pixels), text extents
// are 6 pixels a byte and 13 high. Timers do not run by themselves: the
// driver fires them. Drawing is recorded, not rasterised (fills and lines
// become pixels in capture(); texts leave no mark).
// Lacks: file dialogs and message boxes are answered from the test's
// session, not shown; the clipboard is the session's.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui_backend.h"
#include "platform/ui_headless.h"
#include "platform/ui_rules.h"

namespace ui::headless {

inline constexpr Rect virtualScreen{0, 0, 1920, 1040};

struct ControlState {
    Kind kind = Kind::Static;
    std::uint32_t styles = styleNone;
    const char* layoutText = nullptr;  // UTF-8, for its access key
    std::string text;
    // An edit's selection in bytes, at character boundaries; the caret is
    // at selEnd.
    std::size_t selStart = 0;
    std::size_t selEnd = 0;
    bool enabled = true;
    bool visible = true;
    std::optional<int> limit;  // bytes; nothing: no limit
    std::vector<std::string> entries;
    int curSel = -1;
    bool dropped = false;
    bool checked = false;
    std::optional<FontInfo> font;
    int invalidations = 0;
    Rect place;
    ScrollInfo scroll;

    bool isEdit() const { return kind == Kind::Edit; }
    bool isSingleLineEdit() const { return isEdit() && (styles & styleMultiline) == 0; }
    bool isReadOnly() const { return (styles & styleReadOnly) != 0; }
    bool isButton() const { return kind == Kind::PushButton || kind == Kind::DefPushButton; }
    bool reachable() const { return enabled && visible; }
};

class HeadlessBackend : public detail::WindowBackend {
public:
    explicit HeadlessBackend(Dialog& owner);

    bool create() override;
    void destroy() override;
    bool isOpen() const override { return open_; }
    void bringToFront() override { ++frontRequests_; }
    int runModal() override;
    void endDialog(int code) override;

    std::string text(int id) override;
    void setText(int id, std::string_view cp932) override;
    void enable(int id, bool enabled) override;
    bool isEnabled(int id) override;
    void show(int id, bool visible) override;
    void invalidate(int id) override;
    void limitText(int id, int bytes) override;
    void replaceSel(int id, std::string_view cp932) override;
    void addString(int id, std::string_view cp932) override;
    void resetContent(int id) override;
    void setCurSel(int id, int index) override;
    int curSel(int id) override;
    bool isChecked(int id) override;
    void setChecked(int id, bool checked) override;
    void setFont(int id, const Font& font) override;
    void moveTo(int id, const Rect& pixels) override;
    Rect place(int id) override;
    void setScroll(int id, int max, int page, int pos) override;
    int scrollPos(int id) override;
    Image capture(int id) override;
    Rect mapDialogRect(const Rect& du) override;
    void setTimer(int id, int intervalMs) override { timers_[id] = intervalMs; }
    void killTimer(int id) override { timers_.erase(id); }
    bool copyImage(const Image& image) override;
    bool copyText(std::string_view cp932) override;

    void setCaption(std::string_view cp932) override { caption_ = cp932; }
    std::string caption() override { return caption_; }
    void setIcon(int iconResourceId, bool big) override;
    bool isIconic() override { return minimised_; }
    int focusedControl() override { return focus_; }
    Size clientSize() override;
    void messageBox(std::string_view cp932) override;
    FileChoice fileDialog(const FileDialogRequest& request) override;
    void post(std::function<void()> fn) override;
    bool isWindowThread() const override { return std::this_thread::get_id() == windowThread_; }
    bool runsCallsDirectly() const override { return true; }
    void workerCallStarts() override;
    bool takesWorkerCalls() const override { return isWindowThread() || !ending_; }

    // ---- the driver's side; every call below is made under lock() ----

    static std::recursive_mutex& lock() { return detail::CallGate::directLock(); }
    Dialog& owner() { return dialog(); }
    Window& hands() { return hands_; }
    void runPosted();
    ControlState* find(int id);
    static bool inRange(const ControlState& control, int index);
    FontInfo dialogFont();
    bool isTabStop(int id);
    // Whether a control of the layout can take the focus now.
    rules::Reachable reachableRule();
    void moveFocusOnFrom(int id);
    // The focus moves as the dialog manager moves it: an edit's whole text
    // is selected when Tab or an access key brings the focus there.
    void setFocus(int id, bool selectAll);
    // A key with its code after the dialog's pre-translation declined it:
    // what the dialog manager and the focused control do with it.
    void defaultKey(int keyCode, bool shift);
    // One character typed into the focused edit at its caret, through its
    // digits-only rule and byte limit; true when it was taken.
    bool typeCharacter(int id, std::string_view character);
    void accessKey(char key);
    std::vector<DrawOp> paintSurface(int id);
    Rect frame() const { return frame_; }
    const IconSet& icons() const { return icons_; }
    int frontRequests() const { return frontRequests_; }
    void setResized(Size client) { resized_ = client; }
    std::optional<int> timerInterval(int id) const;
    std::vector<int> runningTimers() const;
    void setMinimised(bool minimised) { minimised_ = minimised; }
    bool ended() const { return ended_.load(); }
    int endCode() const { return endCode_.load(); }

private:
    void open();
    // The window's end: from here on the window thread takes no worker's
    // work, as a real one busy in its end handlers would not.
    void end();
    void buildControls();
    void placeWindow(bool modeless);
    void editKey(ControlState& control, int id, int keyCode);
    void listKey(ControlState& control, int id, int keyCode);
    void removeSelection(ControlState& control);

    const std::thread::id windowThread_;
    std::map<int, ControlState> controls_;
    int focus_ = idNone;
    std::string caption_;
    IconSet icons_;
    bool minimised_ = false;
    std::atomic<bool> ended_{false};
    std::atomic<int> endCode_{0};
    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;
    Window hands_;
    bool open_ = false;
    bool ending_ = false;
    int frontRequests_ = 0;
    std::optional<Size> resized_;
    std::map<int, int> timers_;
    Rect frame_;
};

}  // namespace ui::headless
