// The headless ui backend: in-memory controls that behave as the platform's
// do, driven by the test's modal scripts through ui::headless::Window.
#include "platform/ui_headless.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <type_traits>
#include <utility>

#include "platform/text.h"
#include "platform/ui_backend.h"

namespace ui::headless {

namespace {

// Pixels per 4 horizontal and 8 vertical dialog units: the base units of a
// 9 pt dialog font, fixed so that sizes do not depend on the machine.
constexpr int baseUnitX = 6;
constexpr int baseUnitY = 13;
constexpr int systemIconSide = 32;
constexpr int virtualKeyReturn = 0x0D;
constexpr int virtualKeyEscape = 0x1B;

int dialogUnitsToPixels(int units, int baseUnit, int unitsPerBase) {
    return (units * baseUnit + unitsPerBase / 2) / unitsPerBase;
}

struct Session {
    std::mutex mutex;
    std::deque<std::function<void(Window&)>> scripts;
    std::deque<FileChoice> fileDialogAnswers;
    std::vector<std::string> messageBoxes;
    std::vector<std::string> messageBoxCaptions;
    std::vector<FileDialogRequest> fileDialogRequests;
    std::atomic<bool> failNextWorkerCall{false};
    std::vector<Image> clipboardImages;
};

Session& session() {
    static Session instance;
    return instance;
}
void throwIfAWorkerCallMustFail() {
    if (session().failNextWorkerCall.load() && session().failNextWorkerCall.exchange(false)) {
        throw std::runtime_error("a worker's call into the window failed");
    }
}

std::optional<std::function<void(Window&)>> takeModalScript() {
    std::lock_guard lock(session().mutex);
    if (session().scripts.empty()) return std::nullopt;
    auto script = std::move(session().scripts.front());
    session().scripts.pop_front();
    return script;
}

struct ControlState {
    Kind kind = Kind::Static;
    std::uint32_t styles = styleNone;
    std::string text;
    bool enabled = true;
    bool visible = true;
    std::optional<int> limit;
    std::vector<std::string> entries;
    int curSel = -1;
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

// The colour request kind the platform uses for each kind of control.
CtlKind colourKindOf(const ControlState& control) {
    switch (control.kind) {
        case Kind::PushButton:
        case Kind::DefPushButton:
            return CtlKind::Button;
        case Kind::Edit:
            return control.isReadOnly() || !control.enabled ? CtlKind::Static : CtlKind::Edit;
        case Kind::DropDownList:
            return CtlKind::ListBox;
        case Kind::AutoCheckBox:
        case Kind::GroupBox:
        case Kind::Static:
        case Kind::EtchedLine:
            return CtlKind::Static;
        case Kind::Surface:
        case Kind::HScrollBar:
            return CtlKind::Other;
    }
    return CtlKind::Other;
}

// Draws nothing, and keeps every call: what a person would see, as data.
class RecordingPainter : public Painter {
public:
    explicit RecordingPainter(Size size) : size_(size) {}
    Size size() const override { return size_; }
    void fillRect(const Rect& area, Color color) override {
        ops_.push_back({DrawOp::Kind::Fill, area, color, {}});
    }
    void line(int x0, int y0, int x1, int y1, Color color) override {
        ops_.push_back({DrawOp::Kind::Line, {x0, y0, x1, y1}, color, {}});
    }
    void text(int x, int y, std::string_view cp932, Color color) override {
        const Size extent = textExtent(cp932);
        ops_.push_back(
            {DrawOp::Kind::Text, {x, y, extent.cx, extent.cy}, color, std::string(cp932)});
    }
    Size textExtent(std::string_view cp932) override {
        return {static_cast<int>(cp932.size()) * baseUnitX, baseUnitY};
    }
    std::vector<DrawOp>& ops() { return ops_; }

private:
    Size size_;
    std::vector<DrawOp> ops_;
};

// A scroll bar's thumb stays where a page still fits.
int scrollPosWithin(int max, int page, int pos) {
    return std::clamp(pos, 0, std::max(0, max - page));
}

// The fills and lines of a paint as pixels; texts leave no mark.
Image rasterise(Size size, const std::vector<DrawOp>& ops) {
    Image image;
    image.width = std::max(size.cx, 0);
    image.height = std::max(size.cy, 0);
    image.pixels.assign(static_cast<std::size_t>(image.width) * image.height, rgb(255, 255, 255));
    const auto set = [&](int x, int y, Color color) {
        if (x >= 0 && y >= 0 && x < image.width && y < image.height) {
            image.pixels[static_cast<std::size_t>(y) * image.width + x] = color;
        }
    };
    for (const DrawOp& op : ops) {
        if (op.kind == DrawOp::Kind::Fill) {
            for (int y = op.area.y; y < op.area.y + op.area.cy; ++y) {
                for (int x = op.area.x; x < op.area.x + op.area.cx; ++x) set(x, y, op.color);
            }
        } else if (op.kind == DrawOp::Kind::Line) {
            // The program draws horizontal and vertical lines only.
            for (int y = std::min(op.area.y, op.area.cy); y <= std::max(op.area.y, op.area.cy);
                 ++y) {
                for (int x = std::min(op.area.x, op.area.cx); x <= std::max(op.area.x, op.area.cx);
                     ++x) {
                    set(x, y, op.color);
                }
            }
        }
    }
    return image;
}

class RecordingPaintContext : public PaintContext {
public:
    explicit RecordingPaintContext(PaintResult& result) : result_(result) {}
    void eraseIconBackground() override { result_.backgroundErased = true; }
    void drawIcon(int x, int y) override { result_.icons.push_back({x, y}); }

private:
    PaintResult& result_;
};

}  // namespace

class HeadlessBackend : public detail::WindowBackend {
public:
    explicit HeadlessBackend(Dialog& owner)
        : WindowBackend(owner), windowThread_(std::this_thread::get_id()), hands_(*this) {}

    bool create() override {
        std::lock_guard guard(lock());
        buildControls();
        open_ = true;
        if (dialog().OnInitDialog()) focusFirstTabStop();
        runPosted();
        return true;
    }
    void destroy() override {
        if (!open_) return;
        open_ = false;
        timers_.clear();
        destroySequence();
    }
    bool isOpen() const override { return open_; }
    void bringToFront() override { ++frontRequests_; }

    int runModal() override {
        {
            std::lock_guard guard(lock());
            buildControls();
            // true: the system gives the focus to the first tab stop.
            if (dialog().OnInitDialog()) focusFirstTabStop();
            runPosted();
        }
        if (!ended_.load()) {
            if (auto script = takeModalScript()) {
                Window window(*this);
                try {
                    (*script)(window);
                } catch (...) {
                    // A script that throws still closes the window, so its
                    // workers end and the exception reaches the test instead
                    // of a destructor that waits for them for ever.
                    destroySequence();
                    throw;
                }
            }
            if (!ended_.load()) endDialog(idCancel);
        }
        // Without the lock: OnDestroy's control calls take it one by one, and
        // workers waiting for it must get it to see the gate closing.
        destroySequence();
        return endCode_.load();
    }

    void endDialog(int code) override {
        endCode_.store(code);
        ended_.store(true);
    }

    std::string text(int id) override {
        const ControlState* control = find(id);
        if (control == nullptr) return {};
        if (control->kind == Kind::DropDownList) {
            const int sel = control->curSel;
            return sel >= 0 ? control->entries[static_cast<std::size_t>(sel)] : std::string();
        }
        return control->text;
    }

    void setText(int id, std::string_view cp932) override {
        ControlState* control = find(id);
        if (control == nullptr || control->kind == Kind::DropDownList) return;
        control->text = cp932;
        // The platform does not notify a multi-line edit's text set by the program.
        if (control->isSingleLineEdit()) dialog().OnCommand(Notification::Changed, id);
    }

    void enable(int id, bool enabled) override {
        if (ControlState* control = find(id)) control->enabled = enabled;
    }
    bool isEnabled(int id) override {
        const ControlState* control = find(id);
        return control != nullptr && control->enabled;
    }
    void show(int id, bool visible) override {
        if (ControlState* control = find(id)) control->visible = visible;
    }
    void invalidate(int id) override {
        if (ControlState* control = find(id)) ++control->invalidations;
    }
    void limitText(int id, int bytes) override {
        if (ControlState* control = find(id); control != nullptr && control->isEdit()) {
            control->limit = bytes;
        }
    }

    void replaceSel(int id, std::string_view cp932) override {
        ControlState* control = find(id);
        if (control == nullptr || !control->isEdit()) return;
        control->text.append(cp932);
        dialog().OnCommand(Notification::Changed, id);
    }

    void addString(int id, std::string_view cp932) override {
        ControlState* control = find(id);
        if (control != nullptr && control->kind == Kind::DropDownList) {
            control->entries.emplace_back(cp932);
        }
    }
    void resetContent(int id) override {
        ControlState* control = find(id);
        if (control == nullptr || control->kind != Kind::DropDownList) return;
        control->entries.clear();
        control->curSel = -1;
    }
    void setCurSel(int id, int index) override {
        ControlState* control = find(id);
        if (control == nullptr || control->kind != Kind::DropDownList) return;
        control->curSel = inRange(*control, index) ? index : -1;
    }
    int curSel(int id) override {
        const ControlState* control = find(id);
        return control != nullptr ? control->curSel : -1;
    }
    bool isChecked(int id) override {
        const ControlState* control = find(id);
        return control != nullptr && control->checked;
    }
    void setChecked(int id, bool checked) override {
        ControlState* control = find(id);
        if (control != nullptr && control->kind == Kind::AutoCheckBox) control->checked = checked;
    }
    void setFont(int id, const Font& font) override {
        if (ControlState* control = find(id)) {
            control->font = FontInfo{font.face(), font.tenthsOfPoint()};
        }
    }
    void moveTo(int id, const Rect& pixels) override {
        if (ControlState* control = find(id)) control->place = pixels;
    }
    Rect place(int id) override {
        const ControlState* control = find(id);
        return control != nullptr ? control->place : Rect{};
    }
    void setScroll(int id, int max, int page, int pos) override {
        if (ControlState* control = find(id)) {
            control->scroll = {max, page, scrollPosWithin(max, page, pos)};
        }
    }
    int scrollPos(int id) override {
        const ControlState* control = find(id);
        return control != nullptr ? control->scroll.pos : 0;
    }
    std::vector<DrawOp> paintSurface(int id) {
        const ControlState* control = find(id);
        if (control == nullptr || control->kind != Kind::Surface) return {};
        RecordingPainter painter({control->place.cx, control->place.cy});
        dialog().OnSurfacePaint(id, painter);
        return std::move(painter.ops());
    }
    Image capture(int id) override {
        const ControlState* control = find(id);
        if (control == nullptr) return {};
        return rasterise({control->place.cx, control->place.cy}, paintSurface(id));
    }
    Rect mapDialogRect(const Rect& du) override {
        return {dialogUnitsToPixels(du.x, baseUnitX, 4), dialogUnitsToPixels(du.y, baseUnitY, 8),
                dialogUnitsToPixels(du.cx, baseUnitX, 4), dialogUnitsToPixels(du.cy, baseUnitY, 8)};
    }
    void setTimer(int id, int intervalMs) override { timers_[id] = intervalMs; }
    void killTimer(int id) override { timers_.erase(id); }
    bool copyImage(const Image& image) override {
        std::lock_guard lock(session().mutex);
        session().clipboardImages.push_back(image);
        return true;
    }

    void setCaption(std::string_view cp932) override { caption_ = cp932; }
    std::string caption() override { return caption_; }
    void setIcon(int iconResourceId, bool big) override {
        (big ? icons_.bigIcon : icons_.smallIcon) = iconResourceId;
    }
    bool isIconic() override { return minimised_; }
    int focusedControl() override { return focus_; }
    Size clientSize() override {
        if (resized_) return *resized_;
        const DialogLayout& layout = dialog().layout();
        return {dialogUnitsToPixels(layout.cx, baseUnitX, 4),
                dialogUnitsToPixels(layout.cy, baseUnitY, 8)};
    }

    void messageBox(std::string_view cp932) override {
        std::lock_guard lock(session().mutex);
        session().messageBoxes.emplace_back(cp932);
        session().messageBoxCaptions.emplace_back(applicationName());
    }

    FileChoice fileDialog(const FileDialogRequest& request) override {
        std::lock_guard lock(session().mutex);
        session().fileDialogRequests.push_back(request);
        if (session().fileDialogAnswers.empty()) return {};
        auto answer = std::move(session().fileDialogAnswers.front());
        session().fileDialogAnswers.pop_front();
        return answer;
    }

    // Never blocks: the work is queued, and run at once only when the window
    // is free; otherwise the driver runs it after its current action.
    void post(std::function<void()> fn) override {
        if (!isWindowThread()) throwIfAWorkerCallMustFail();
        {
            std::lock_guard guard(postedMutex_);
            posted_.push_back(std::move(fn));
        }
        if (lock().try_lock()) {
            std::lock_guard guard(lock(), std::adopt_lock);
            runPosted();
        }
    }

    bool isWindowThread() const override { return std::this_thread::get_id() == windowThread_; }
    bool runsCallsDirectly() const override { return true; }
    void workerCallStarts() override {
        if (!isWindowThread()) throwIfAWorkerCallMustFail();
    }

    // ---- the driver's side; every call below is made under lock() ----

    std::recursive_mutex& lock() { return detail::CallGate::directLock(); }
    Dialog& owner() { return dialog(); }

    void runPosted() {
        for (;;) {
            std::function<void()> fn;
            {
                std::lock_guard guard(postedMutex_);
                if (posted_.empty()) return;
                if (dialog().gate()->closing()) {
                    posted_.clear();
                    return;
                }
                fn = std::move(posted_.front());
                posted_.pop_front();
            }
            fn();
        }
    }

    ControlState* find(int id) {
        auto it = controls_.find(id);
        return it != controls_.end() ? &it->second : nullptr;
    }

    static bool inRange(const ControlState& control, int index) {
        return index >= 0 && static_cast<std::size_t>(index) < control.entries.size();
    }

    FontInfo dialogFont() {
        const DialogLayout& layout = dialog().layout();
        return FontInfo{layout.fontFace != nullptr ? layout.fontFace : "", layout.fontPoints * 10};
    }

    bool isTabStop(int id) {
        const ControlState* control = find(id);
        return control != nullptr && (control->styles & styleTabStop) != 0 && control->reachable();
    }
    void setFocus(int id) { focus_ = id; }

    const IconSet& icons() const { return icons_; }
    Window& hands() { return hands_; }
    int frontRequests() const { return frontRequests_; }
    void setResized(Size client) { resized_ = client; }
    std::optional<int> timerInterval(int id) const {
        const auto found = timers_.find(id);
        return found != timers_.end() ? std::optional<int>(found->second) : std::nullopt;
    }
    void setMinimised(bool minimised) { minimised_ = minimised; }
    bool ended() const { return ended_.load(); }
    int endCode() const { return endCode_.load(); }

private:
    void buildControls() {
        const DialogLayout& layout = dialog().layout();
        caption_ = text::utf8ToCp932(layout.caption != nullptr ? layout.caption : "");
        for (const ControlLayout& entry : layout.controls) {
            if (entry.id == idNone) continue;
            ControlState control;
            control.kind = entry.kind;
            control.styles = entry.styles;
            if (entry.kind != Kind::DropDownList && entry.text != nullptr) {
                control.text = text::utf8ToCp932(entry.text);
            }
            control.place = mapDialogRect({entry.x, entry.y, entry.cx, entry.cy});
            // The platform finds the first control with an id.
            controls_.emplace(entry.id, std::move(control));
        }
    }

    void focusFirstTabStop() {
        for (const ControlLayout& entry : dialog().layout().controls) {
            if (isTabStop(entry.id)) {
                focus_ = entry.id;
                return;
            }
        }
    }

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
    int frontRequests_ = 0;
    std::optional<Size> resized_;
    std::map<int, int> timers_;
};

// ---- Window -----------------------------------------------------------------

template <class F>
auto Window::act(F&& fn) {
    std::lock_guard guard(backend_.lock());
    backend_.runPosted();
    if constexpr (std::is_void_v<std::invoke_result_t<F>>) {
        fn();
        backend_.runPosted();
    } else {
        auto result = fn();
        backend_.runPosted();
        return result;
    }
}

Dialog& Window::dialog() {
    return backend_.owner();
}

void Window::type(int id, std::string_view cp932) {
    act([&] {
        ControlState* control = backend_.find(id);
        if (control == nullptr || !control->isEdit() || !control->reachable() ||
            control->isReadOnly()) {
            return;
        }
        std::string_view accepted = cp932;
        if (control->limit && *control->limit > 0) {
            accepted = text::truncateCp932(cp932, static_cast<std::size_t>(*control->limit));
        }
        control->text = accepted;
        dialog().OnCommand(Notification::Changed, id);
    });
}

void Window::click(int id) {
    act([&] {
        ControlState* control = backend_.find(id);
        if (control == nullptr || !control->reachable()) return;
        if (control->kind == Kind::AutoCheckBox) {
            control->checked = !control->checked;
        } else if (!control->isButton()) {
            return;
        }
        dialog().OnCommand(Notification::Clicked, id);
    });
}

void Window::pickComboEntry(int id, int index) {
    act([&] {
        ControlState* control = backend_.find(id);
        if (control == nullptr || control->kind != Kind::DropDownList || !control->reachable() ||
            !HeadlessBackend::inRange(*control, index)) {
            return;
        }
        control->curSel = index;
        dialog().OnCommand(Notification::SelChange, id);
    });
}

void Window::setCheck(int id, bool ticked) {
    if (checked(id) != ticked) click(id);
}

void Window::pressKey(Key key) {
    act([&] {
        KeyMessage message{key, 0};
        if (key == Key::Enter) message.keyCode = virtualKeyReturn;
        if (key == Key::Escape) message.keyCode = virtualKeyEscape;
        if (dialog().PreTranslateMessage(message)) return;
        if (key == Key::Escape) dialog().OnCommand(Notification::Clicked, idCancel);
    });
}

void Window::focus(int id) {
    act([&] {
        if (backend_.isTabStop(id)) backend_.setFocus(id);
    });
}

int Window::focused() {
    return act([&] { return backend_.focusedControl(); });
}

void Window::closeBox() {
    act([&] { dialog().OnCancel(); });
}

void Window::setMinimised(bool minimised) {
    act([&] { backend_.setMinimised(minimised); });
}

PaintResult Window::paint() {
    return act([&] {
        PaintResult result;
        RecordingPaintContext context(result);
        result.handled = dialog().OnPaint(context);
        return result;
    });
}

std::string Window::text(int id) {
    return act([&] { return backend_.text(id); });
}
bool Window::enabled(int id) {
    return act([&] { return backend_.isEnabled(id); });
}
bool Window::visible(int id) {
    return act([&] {
        const ControlState* control = backend_.find(id);
        return control != nullptr && control->visible;
    });
}
std::string Window::caption() {
    return act([&] { return backend_.caption(); });
}
std::optional<int> Window::textLimit(int id) {
    return act([&]() -> std::optional<int> {
        const ControlState* control = backend_.find(id);
        return control != nullptr ? control->limit : std::nullopt;
    });
}
std::vector<std::string> Window::comboEntries(int id) {
    return act([&] {
        const ControlState* control = backend_.find(id);
        return control != nullptr ? control->entries : std::vector<std::string>{};
    });
}
int Window::curSel(int id) {
    return act([&] { return backend_.curSel(id); });
}
bool Window::checked(int id) {
    return act([&] { return backend_.isChecked(id); });
}
FontInfo Window::fontOf(int id) {
    return act([&] {
        const ControlState* control = backend_.find(id);
        if (control == nullptr) return FontInfo{};
        return control->font ? *control->font : backend_.dialogFont();
    });
}
IconSet Window::icons() {
    return act([&] { return backend_.icons(); });
}
int Window::invalidationCount(int id) {
    return act([&] {
        const ControlState* control = backend_.find(id);
        return control != nullptr ? control->invalidations : 0;
    });
}
ColourDecision Window::colourOf(int id) {
    return act([&] {
        ColourDecision decision;
        const ControlState* control = backend_.find(id);
        if (control == nullptr) return decision;
        CtlColorRequest request;
        request.controlId = id;
        request.kind = colourKindOf(*control);
        decision.kind = request.kind;
        if (const Brush* brush = dialog().OnCtlColor(request); brush != nullptr && brush->valid()) {
            decision.brush = brush->color();
        }
        decision.textColor = request.textColor;
        decision.textBackground = request.textBackground;
        return decision;
    });
}
Size Window::clientSize() {
    return act([&] { return backend_.clientSize(); });
}
bool Window::ended() {
    return backend_.ended();
}
int Window::endCode() {
    return backend_.endCode();
}

bool Window::open() {
    return act([&] { return backend_.isOpen(); });
}
int Window::frontRequests() {
    return act([&] { return backend_.frontRequests(); });
}
void Window::resize(Size client) {
    act([&] {
        backend_.setResized(client);
        dialog().OnSize(client);
    });
}
std::optional<int> Window::timerInterval(int id) {
    return act([&] { return backend_.timerInterval(id); });
}
void Window::fireTimer(int id) {
    act([&] {
        if (backend_.timerInterval(id)) dialog().OnTimer(id);
    });
}
std::vector<DrawOp> Window::paintSurface(int id) {
    return act([&] { return backend_.paintSurface(id); });
}
void Window::mouse(int id, const MouseEvent& event) {
    act([&] {
        const ControlState* control = backend_.find(id);
        if (control != nullptr && control->kind == Kind::Surface) {
            dialog().OnSurfaceMouse(id, event);
        }
    });
}
void Window::pressKeyCode(int keyCode, bool control) {
    act([&] { dialog().PreTranslateMessage(KeyMessage{Key::Other, keyCode, control}); });
}
void Window::scrollTo(int id, int pos) {
    act([&] {
        ControlState* control = backend_.find(id);
        if (control == nullptr || control->kind != Kind::HScrollBar) return;
        control->scroll.pos = scrollPosWithin(control->scroll.max, control->scroll.page, pos);
        dialog().OnCommand(Notification::Scroll, id);
    });
}
ScrollInfo Window::scrollInfo(int id) {
    return act([&] {
        const ControlState* control = backend_.find(id);
        return control != nullptr ? control->scroll : ScrollInfo{};
    });
}
Rect Window::place(int id) {
    return act([&] { return backend_.place(id); });
}

Window& windowOf(Dialog& dialog) {
    return static_cast<HeadlessBackend*>(dialog.backend())->hands();
}

// ---- session ----------------------------------------------------------------

void queueModalScript(std::function<void(Window&)> script) {
    std::lock_guard lock(session().mutex);
    session().scripts.push_back(std::move(script));
}

void queueFileDialogAnswer(std::optional<std::string> cp932Path) {
    std::lock_guard lock(session().mutex);
    session().fileDialogAnswers.push_back(cp932Path ? FileChoice::chosen(std::move(cp932Path))
                                                    : FileChoice{});
}

void queueFileDialogAnswerUtf8(std::string_view utf8Path) {
    std::lock_guard lock(session().mutex);
    session().fileDialogAnswers.push_back(FileChoice::chosen(text::utf8ToCp932Exact(utf8Path)));
}

std::vector<std::string> messageBoxes() {
    std::lock_guard lock(session().mutex);
    return session().messageBoxes;
}

std::vector<std::string> messageBoxCaptions() {
    std::lock_guard lock(session().mutex);
    return session().messageBoxCaptions;
}

std::vector<FileDialogRequest> fileDialogRequests() {
    std::lock_guard lock(session().mutex);
    return session().fileDialogRequests;
}

Leftovers leftovers() {
    std::lock_guard lock(session().mutex);
    return {session().scripts.size(), session().fileDialogAnswers.size()};
}

void failNextWorkerCall() {
    session().failNextWorkerCall.store(true);
}

std::vector<Image> clipboardImages() {
    std::lock_guard lock(session().mutex);
    return session().clipboardImages;
}

void resetSession() {
    session().failNextWorkerCall.store(false);
    std::lock_guard lock(session().mutex);
    session().scripts.clear();
    session().fileDialogAnswers.clear();
    session().messageBoxes.clear();
    session().messageBoxCaptions.clear();
    session().fileDialogRequests.clear();
    session().clipboardImages.clear();
}

}  // namespace ui::headless

namespace ui::detail {

std::unique_ptr<WindowBackend> createBackend(Dialog& dialog) {
    return std::make_unique<headless::HeadlessBackend>(dialog);
}

Size systemIconSize() {
    return {headless::systemIconSide, headless::systemIconSide};
}

}  // namespace ui::detail
