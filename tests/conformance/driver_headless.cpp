// The conformance driver on the headless backend: its test driver's hands.
// Refuses nothing; its screen is virtual (ui_headless_backend.h).
#include <deque>

#include "driver.h"
#include "platform/ui_headless.h"

namespace conformance {
namespace {

using ui::headless::Window;

// Rounds of the window's timers a wait lets pass: time does not run here.
constexpr int roundsOfTimers = 1000;

class HeadlessDriver final : public Driver {
public:
    explicit HeadlessDriver(Window& window) : window_(window) {}

    ui::Dialog& dialog() override { return window_.dialog(); }
    void typeKeys(int id, std::string_view cp932) override { window_.typeKeys(id, cp932); }
    void pressKey(int keyCode, bool shift, bool control) override {
        window_.pressKeyCode(keyCode, control, shift);
    }
    void pressAccessKey(char key) override { window_.pressAccessKey(key); }
    void click(int id) override { window_.click(id); }
    void focus(int id) override { window_.focus(id); }
    void closeBox() override { window_.closeBox(); }
    void mouse(int id, const MouseAction& action) override {
        using ui::MouseEvent;
        MouseEvent event;
        event.kind = action.kind;
        event.x = action.x;
        event.y = action.y;
        event.button = action.button;
        const bool pressed = action.kind == MouseEvent::Kind::Press;
        event.leftButton =
            action.leftHeld || (pressed && action.button == MouseEvent::Button::Left);
        event.rightButton = pressed && action.button == MouseEvent::Button::Right;
        event.shift = action.shift;
        event.control = action.control;
        event.wheelDelta = action.wheelDelta;
        window_.mouse(id, event);
    }
    bool dropped(int id) override { return window_.dropped(id); }
    std::optional<ui::Rect> frame() override { return window_.frame(); }
    std::string ownerCaption() override {
        ui::Dialog* owner = window_.dialog().windowOwner();
        return owner != nullptr ? owner->layout().caption : std::string();
    }
    std::optional<std::string> clipboardText() override { return ui::headless::clipboardText(); }
    bool waitFor(const std::function<bool()>& pred) override {
        for (int round = 0; round < roundsOfTimers; ++round) {
            if (pred()) return true;
            window_.fireTimers();
        }
        return pred();
    }

private:
    Window& window_;
};

class HeadlessHarness final : public Harness {
public:
    void queue(Script script) override {
        ui::headless::queueModalScript([script = std::move(script)](Window& window) {
            HeadlessDriver driver(window);
            script(driver);
        });
    }
    void opened(ui::Dialog&) override {}
    bool finish() override {
        const bool clean = ui::headless::leftovers() == ui::headless::Leftovers{};
        ui::headless::resetSession();
        return clean;
    }
};

}  // namespace

Harness& harness() {
    static HeadlessHarness instance;
    return instance;
}

}  // namespace conformance
