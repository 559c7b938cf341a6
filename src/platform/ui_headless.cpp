// The headless backend's driver and the session its windows share with the
// test.
#include "platform/ui_headless.h"

#include <stdexcept>
#include <type_traits>
#include <utility>

#include "platform/text.h"
#include "platform/ui_headless_backend.h"
#include "platform/ui_headless_session.h"
#include "platform/ui_rules.h"

namespace ui::headless {

namespace {

class RecordingPaintContext : public PaintContext {
public:
    explicit RecordingPaintContext(PaintResult& result) : result_(result) {}
    void eraseIconBackground() override { result_.backgroundErased = true; }
    void drawIcon(int x, int y) override { result_.icons.push_back({x, y}); }

private:
    PaintResult& result_;
};

}  // namespace

// ---- session ----------------------------------------------------------------

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
        if (control->limit) {
            accepted = text::truncateCp932(cp932, static_cast<std::size_t>(*control->limit));
        }
        control->text = accepted;
        control->selStart = control->selEnd = control->text.size();
        dialog().OnCommand(Notification::Changed, id);
    });
}

void Window::typeKeys(int id, std::string_view cp932) {
    act([&] {
        ControlState* control = backend_.find(id);
        if (control == nullptr || !control->isEdit() || !control->reachable()) return;
        backend_.setFocus(id, false);
        control->selStart = control->selEnd = control->text.size();
        for (std::size_t at = 0; at < cp932.size();) {
            const std::size_t length =
                text::isLeadByte(static_cast<unsigned char>(cp932[at])) ? 2 : 1;
            backend_.typeCharacter(id, cp932.substr(at, length));
            at += length;
        }
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
    pressKeyCode(key == Key::Enter ? vk::enter : key == Key::Escape ? vk::escape : 0);
}

void Window::pressKeyCode(int keyCode, bool control, bool shift) {
    act([&] {
        const ControlState* focused = backend_.find(backend_.focusedControl());
        const bool listTakesIt = focused != nullptr && focused->dropped &&
                                 (keyCode == vk::enter || keyCode == vk::escape);
        if (!listTakesIt &&
            dialog().PreTranslateMessage(KeyMessage{keyOfCode(keyCode), keyCode, control, shift})) {
            return;
        }
        backend_.defaultKey(keyCode, shift);
    });
}

void Window::pressAccessKey(char key) {
    act([&] { backend_.accessKey(key); });
}

void Window::focus(int id) {
    act([&] {
        if (backend_.isTabStop(id)) backend_.setFocus(id, true);
    });
}

int Window::focused() {
    return act([&] { return backend_.focusedControl(); });
}

std::pair<std::size_t, std::size_t> Window::selection(int id) {
    return act([&] {
        const ControlState* control = backend_.find(id);
        return control != nullptr ? std::pair(control->selStart, control->selEnd)
                                  : std::pair<std::size_t, std::size_t>(0, 0);
    });
}

bool Window::dropped(int id) {
    return act([&] {
        const ControlState* control = backend_.find(id);
        return control != nullptr && control->dropped;
    });
}

Rect Window::frame() {
    return act([&] { return backend_.frame(); });
}

void Window::closeBox() {
    act([&] { dialog().OnCommand(Notification::Clicked, idCancel); });
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
        request.kind = rules::colourKindOf(control->kind, control->styles, control->enabled);
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
void Window::fireTimers() {
    act([&] {
        for (int id : backend_.runningTimers()) {
            if (backend_.timerInterval(id)) dialog().OnTimer(id);
        }
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
void Window::scrollTo(int id, int pos) {
    act([&] {
        ControlState* control = backend_.find(id);
        if (control == nullptr || control->kind != Kind::HScrollBar) return;
        control->scroll.pos =
            rules::scrollPosWithin(control->scroll.max, control->scroll.page, pos);
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

// ---- the session's side of the test -----------------------------------------

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

std::optional<std::string> clipboardText() {
    std::lock_guard lock(session().mutex);
    return session().clipboardText;
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
    session().clipboardText.reset();
}

}  // namespace ui::headless
