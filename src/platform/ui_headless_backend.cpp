#include "platform/ui_headless_backend.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "platform/text.h"
#include "platform/ui_headless_session.h"
#include "platform/ui_rules.h"

namespace ui::headless {

namespace {

// Pixels per 4 horizontal and 8 vertical dialog units: the base units of a
// 9 pt dialog font, fixed so that sizes do not depend on the machine.
constexpr int baseUnitX = 6;
constexpr int baseUnitY = 13;
constexpr int systemIconSide = 32;

int dialogUnitsToPixels(int units, int baseUnit, int unitsPerBase) {
    return (units * baseUnit + unitsPerBase / 2) / unitsPerBase;
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

// The start of the character before and after a byte position.
std::size_t characterBefore(std::string_view cp932, std::size_t at) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < at;) {
        start = i;
        i += text::isLeadByte(static_cast<unsigned char>(cp932[i])) ? 2 : 1;
    }
    return start;
}
std::size_t characterAfter(std::string_view cp932, std::size_t at) {
    if (at >= cp932.size()) return cp932.size();
    const std::size_t step = text::isLeadByte(static_cast<unsigned char>(cp932[at])) ? 2 : 1;
    return std::min(cp932.size(), at + step);
}

}  // namespace

HeadlessBackend::HeadlessBackend(Dialog& owner)
    : WindowBackend(owner), windowThread_(std::this_thread::get_id()), hands_(*this) {}

void HeadlessBackend::open() {
    buildControls();
    // true: the system gives the focus to the first tab stop.
    if (dialog().OnInitDialog()) {
        setFocus(rules::firstTabStop(dialog().layout(), reachableRule()), true);
    }
    runPosted();
}

bool HeadlessBackend::create() {
    std::lock_guard guard(lock());
    placeWindow(true);
    open_ = true;
    open();
    return true;
}

void HeadlessBackend::destroy() {
    if (!open_) return;
    open_ = false;
    timers_.clear();
    end();
}

void HeadlessBackend::end() {
    {
        std::lock_guard guard(lock());
        ending_ = true;
    }
    destroySequence();
}

int HeadlessBackend::runModal() {
    {
        std::lock_guard guard(lock());
        placeWindow(false);
        open();
    }
    if (!ended_.load()) {
        if (auto script = takeModalScript()) {
            try {
                (*script)(hands_);
            } catch (...) {
                // A script that throws still closes the window, so its
                // workers end and the exception reaches the test instead
                // of a destructor that waits for them for ever.
                end();
                throw;
            }
        }
        if (!ended_.load()) endDialog(idCancel);
    }
    // Without the lock: OnDestroy's control calls take it one by one, and
    // workers waiting for it must get it to see the gate closing.
    end();
    return endCode_.load();
}

void HeadlessBackend::endDialog(int code) {
    endCode_.store(code);
    ended_.store(true);
}

void HeadlessBackend::placeWindow(bool modeless) {
    const Size size = clientSize();
    Dialog* owner = dialog().windowOwner();
    auto* ownerBackend =
        owner != nullptr ? dynamic_cast<HeadlessBackend*>(owner->backend()) : nullptr;
    frame_ = ownerBackend != nullptr
                 ? rules::placeByOwner(ownerBackend->frame(), size, virtualScreen, modeless)
                 : Rect{virtualScreen.x, virtualScreen.y, size.cx, size.cy};
}

std::string HeadlessBackend::text(int id) {
    const ControlState* control = find(id);
    if (control == nullptr) return {};
    if (control->kind == Kind::DropDownList) {
        const int sel = control->curSel;
        return sel >= 0 ? control->entries[static_cast<std::size_t>(sel)] : std::string();
    }
    return control->text;
}

void HeadlessBackend::setText(int id, std::string_view cp932) {
    ControlState* control = find(id);
    if (control == nullptr || control->kind == Kind::DropDownList) return;
    control->text = cp932;
    control->selStart = control->selEnd = 0;
    // The platform does not notify a multi-line edit's text set by the program.
    if (control->isSingleLineEdit()) dialog().OnCommand(Notification::Changed, id);
}

void HeadlessBackend::enable(int id, bool enabled) {
    if (!enabled) moveFocusOnFrom(id);
    if (ControlState* control = find(id)) control->enabled = enabled;
}
bool HeadlessBackend::isEnabled(int id) {
    const ControlState* control = find(id);
    return control != nullptr && control->enabled;
}
void HeadlessBackend::show(int id, bool visible) {
    if (!visible) moveFocusOnFrom(id);
    if (ControlState* control = find(id)) control->visible = visible;
}

// As the platform's dialog manager: a focused control about to be disabled
// or hidden hands the focus to the next tab stop.
void HeadlessBackend::moveFocusOnFrom(int id) {
    if (id != focus_) return;
    setFocus(rules::nextTabStop(dialog().layout(), focus_, true, reachableRule()), true);
}

rules::Reachable HeadlessBackend::reachableRule() {
    return [this](const ControlLayout& c) {
        const ControlState* state = find(c.id);
        return state != nullptr && state->reachable();
    };
}

void HeadlessBackend::invalidate(int id) {
    if (ControlState* control = find(id)) ++control->invalidations;
}
void HeadlessBackend::limitText(int id, int bytes) {
    ControlState* control = find(id);
    if (control == nullptr || !control->isEdit()) return;
    control->limit = bytes > 0 ? std::optional<int>(bytes) : std::nullopt;
}

void HeadlessBackend::removeSelection(ControlState& control) {
    control.text.erase(control.selStart, control.selEnd - control.selStart);
    control.selEnd = control.selStart;
}

void HeadlessBackend::replaceSel(int id, std::string_view cp932) {
    ControlState* control = find(id);
    if (control == nullptr || !control->isEdit()) return;
    removeSelection(*control);
    control->text.insert(control->selStart, cp932);
    control->selStart = control->selEnd = control->selStart + cp932.size();
    dialog().OnCommand(Notification::Changed, id);
}

void HeadlessBackend::addString(int id, std::string_view cp932) {
    ControlState* control = find(id);
    if (control != nullptr && control->kind == Kind::DropDownList) {
        control->entries.emplace_back(cp932);
    }
}
void HeadlessBackend::resetContent(int id) {
    ControlState* control = find(id);
    if (control == nullptr || control->kind != Kind::DropDownList) return;
    control->entries.clear();
    control->curSel = -1;
}
void HeadlessBackend::setCurSel(int id, int index) {
    ControlState* control = find(id);
    if (control == nullptr || control->kind != Kind::DropDownList) return;
    control->curSel = inRange(*control, index) ? index : -1;
}
int HeadlessBackend::curSel(int id) {
    const ControlState* control = find(id);
    return control != nullptr ? control->curSel : -1;
}
bool HeadlessBackend::isChecked(int id) {
    const ControlState* control = find(id);
    return control != nullptr && control->checked;
}
void HeadlessBackend::setChecked(int id, bool checked) {
    ControlState* control = find(id);
    if (control != nullptr && control->kind == Kind::AutoCheckBox) control->checked = checked;
}
void HeadlessBackend::setFont(int id, const Font& font) {
    if (ControlState* control = find(id)) {
        control->font = FontInfo{font.face(), font.tenthsOfPoint()};
    }
}
void HeadlessBackend::moveTo(int id, const Rect& pixels) {
    if (ControlState* control = find(id)) control->place = pixels;
}
Rect HeadlessBackend::place(int id) {
    const ControlState* control = find(id);
    return control != nullptr ? control->place : Rect{};
}
void HeadlessBackend::setScroll(int id, int max, int page, int pos) {
    if (ControlState* control = find(id)) {
        control->scroll = {max, page, rules::scrollPosWithin(max, page, pos)};
    }
}
int HeadlessBackend::scrollPos(int id) {
    const ControlState* control = find(id);
    return control != nullptr ? control->scroll.pos : 0;
}

std::vector<DrawOp> HeadlessBackend::paintSurface(int id) {
    const ControlState* control = find(id);
    if (control == nullptr || control->kind != Kind::Surface) return {};
    RecordingPainter painter({control->place.cx, control->place.cy});
    dialog().OnSurfacePaint(id, painter);
    return std::move(painter.ops());
}

Image HeadlessBackend::capture(int id) {
    const ControlState* control = find(id);
    if (control == nullptr) return {};
    return rasterise({control->place.cx, control->place.cy}, paintSurface(id));
}

Rect HeadlessBackend::mapDialogRect(const Rect& du) {
    return {dialogUnitsToPixels(du.x, baseUnitX, 4), dialogUnitsToPixels(du.y, baseUnitY, 8),
            dialogUnitsToPixels(du.cx, baseUnitX, 4), dialogUnitsToPixels(du.cy, baseUnitY, 8)};
}

bool HeadlessBackend::copyImage(const Image& image) {
    std::lock_guard guard(session().mutex);
    session().clipboardImages.push_back(image);
    return true;
}

bool HeadlessBackend::copyText(std::string_view cp932) {
    std::lock_guard guard(session().mutex);
    session().clipboardText = std::string(cp932);
    return true;
}

void HeadlessBackend::setIcon(int iconResourceId, bool big) {
    (big ? icons_.bigIcon : icons_.smallIcon) = iconResourceId;
}

Size HeadlessBackend::clientSize() {
    if (resized_) return *resized_;
    const DialogLayout& layout = dialog().layout();
    return {dialogUnitsToPixels(layout.cx, baseUnitX, 4),
            dialogUnitsToPixels(layout.cy, baseUnitY, 8)};
}

void HeadlessBackend::messageBox(std::string_view cp932) {
    std::lock_guard guard(session().mutex);
    session().messageBoxes.emplace_back(cp932);
    session().messageBoxCaptions.emplace_back(applicationName());
}

FileChoice HeadlessBackend::fileDialog(const FileDialogRequest& request) {
    std::lock_guard guard(session().mutex);
    session().fileDialogRequests.push_back(request);
    if (session().fileDialogAnswers.empty()) return {};
    auto answer = std::move(session().fileDialogAnswers.front());
    session().fileDialogAnswers.pop_front();
    return answer;
}

// Never blocks: the work is queued, and a worker's runs at once when the
// window is free; otherwise the driver runs it after its current action,
// and once the window's end has begun it is dropped at the close. The
// window thread's own waits for its current action to end, as a message
// posted by a handler waits for the handler to return.
void HeadlessBackend::post(std::function<void()> fn) {
    if (!isWindowThread()) throwIfAWorkerCallMustFail();
    {
        std::lock_guard guard(postedMutex_);
        posted_.push_back(std::move(fn));
    }
    if (!isWindowThread() && lock().try_lock()) {
        std::lock_guard guard(lock(), std::adopt_lock);
        if (!ending_) runPosted();
    }
}

void HeadlessBackend::workerCallStarts() {
    if (!isWindowThread()) throwIfAWorkerCallMustFail();
}

void HeadlessBackend::runPosted() {
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

ControlState* HeadlessBackend::find(int id) {
    auto it = controls_.find(id);
    return it != controls_.end() ? &it->second : nullptr;
}

bool HeadlessBackend::inRange(const ControlState& control, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < control.entries.size();
}

FontInfo HeadlessBackend::dialogFont() {
    const DialogLayout& layout = dialog().layout();
    return FontInfo{layout.fontFace != nullptr ? layout.fontFace : "", layout.fontPoints * 10};
}

bool HeadlessBackend::isTabStop(int id) {
    const ControlState* control = find(id);
    return control != nullptr && (control->styles & styleTabStop) != 0 && control->reachable();
}

void HeadlessBackend::setFocus(int id, bool selectAll) {
    focus_ = id;
    ControlState* control = find(id);
    if (control != nullptr && control->isEdit() && selectAll) {
        control->selStart = 0;
        control->selEnd = control->text.size();
    }
}

void HeadlessBackend::defaultKey(int keyCode, bool shift) {
    ControlState* control = find(focus_);
    if (control != nullptr && control->kind == Kind::DropDownList && keyCode != vk::tab) {
        listKey(*control, focus_, keyCode);
        return;
    }
    if (keyCode == vk::tab) {
        setFocus(rules::nextTabStop(dialog().layout(), focus_, !shift, reachableRule()), true);
        return;
    }
    if (control == nullptr) return;
    if (control->isEdit()) {
        editKey(*control, focus_, keyCode);
        return;
    }
    // Space presses the focused button or check box; Enter and Escape are
    // plain keystrokes that a button takes no notice of.
    if (keyCode == vk::space && (control->isButton() || control->kind == Kind::AutoCheckBox)) {
        if (control->kind == Kind::AutoCheckBox) control->checked = !control->checked;
        dialog().OnCommand(Notification::Clicked, focus_);
    }
}

void HeadlessBackend::editKey(ControlState& control, int id, int keyCode) {
    const std::string_view text = control.text;
    switch (keyCode) {
        case vk::home:
            control.selStart = control.selEnd = 0;
            return;
        case vk::end:
            control.selStart = control.selEnd = text.size();
            return;
        case vk::left:
            control.selStart = control.selEnd = characterBefore(text, control.selEnd);
            return;
        case vk::right:
            control.selStart = control.selEnd = characterAfter(text, control.selEnd);
            return;
        case vk::deleteKey:
        case vk::back: {
            if (control.isReadOnly()) return;
            if (control.selStart == control.selEnd) {
                if (keyCode == vk::deleteKey) {
                    control.selEnd = characterAfter(text, control.selEnd);
                } else {
                    control.selStart = characterBefore(text, control.selStart);
                }
            }
            if (control.selStart == control.selEnd) return;
            removeSelection(control);
            dialog().OnCommand(Notification::Changed, id);
            return;
        }
        default:
            return;
    }
}

// A closed list moves its selection with the arrows and opens with F4; an
// open one takes the arrows, Enter (keep the entry) and Escape (close).
void HeadlessBackend::listKey(ControlState& control, int id, int keyCode) {
    switch (keyCode) {
        case vk::f4:
            control.dropped = !control.dropped;
            return;
        case vk::up:
        case vk::down: {
            const int next = control.curSel + (keyCode == vk::down ? 1 : -1);
            if (!inRange(control, next)) return;
            control.curSel = next;
            dialog().OnCommand(Notification::SelChange, id);
            return;
        }
        case vk::enter:
        case vk::escape:
            control.dropped = false;
            return;
        default:
            return;
    }
}

bool HeadlessBackend::typeCharacter(int id, std::string_view character) {
    ControlState* control = find(id);
    if (control == nullptr || !control->isEdit() || !control->reachable() ||
        control->isReadOnly()) {
        return false;
    }
    if ((control->styles & styleDigitsOnly) != 0 &&
        (character.size() != 1 || std::isdigit(static_cast<unsigned char>(character[0])) == 0)) {
        return false;
    }
    const std::size_t kept = control->text.size() - (control->selEnd - control->selStart);
    if (control->limit && kept + character.size() > static_cast<std::size_t>(*control->limit)) {
        return false;
    }
    removeSelection(*control);
    control->text.insert(control->selStart, character);
    control->selStart = control->selEnd = control->selStart + character.size();
    dialog().OnCommand(Notification::Changed, id);
    return true;
}

// As the dialog manager does: a button's key clicks it (a check box
// toggles first); any other control's key takes the focus to its target.
void HeadlessBackend::accessKey(char key) {
    const int target = rules::accessKeyTarget(dialog().layout(), key, reachableRule());
    ControlState* control = find(target);
    if (control == nullptr) return;
    if (control->isButton() || control->kind == Kind::AutoCheckBox) {
        if (control->kind == Kind::AutoCheckBox) {
            control->checked = !control->checked;
            setFocus(target, false);
        }
        dialog().OnCommand(Notification::Clicked, target);
        return;
    }
    setFocus(target, true);
}

std::optional<int> HeadlessBackend::timerInterval(int id) const {
    const auto found = timers_.find(id);
    return found != timers_.end() ? std::optional<int>(found->second) : std::nullopt;
}

std::vector<int> HeadlessBackend::runningTimers() const {
    std::vector<int> ids;
    for (const auto& [id, interval] : timers_) ids.push_back(id);
    return ids;
}

void HeadlessBackend::buildControls() {
    const DialogLayout& layout = dialog().layout();
    caption_ = text::utf8ToCp932(layout.caption != nullptr ? layout.caption : "");
    for (const ControlLayout& entry : layout.controls) {
        if (entry.id == idNone) continue;
        ControlState control;
        control.kind = entry.kind;
        control.styles = entry.styles;
        control.layoutText = entry.text;
        if (entry.kind != Kind::DropDownList && entry.text != nullptr) {
            control.text = text::utf8ToCp932(entry.text);
        }
        control.place = mapDialogRect({entry.x, entry.y, entry.cx, entry.cy});
        // The platform finds the first control with an id.
        controls_.emplace(entry.id, std::move(control));
    }
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
