// The conformance cases' dialog: it records what the backend routes to it
// and takes the behaviour each case gives it.
#pragma once

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <tuple>
#include <vector>

#include "conformance_layouts.h"
#include "driver.h"
#include "platform/ui.h"

namespace conformance {

struct Command {
    ui::Notification notification;
    int id;
    bool operator==(const Command&) const = default;
};

class ProbeDialog : public ui::Dialog {
public:
    explicit ProbeDialog(const ui::DialogLayout& layout = formLayout(), ui::Dialog* owner = nullptr)
        : ui::Dialog(layout, owner) {}

    std::function<void(ProbeDialog&)> onInit;
    std::function<void(ProbeDialog&, int)> onClick;
    std::function<void()> onDestroy;
    std::atomic<bool> declineEnterAndEscape{false};
    std::atomic<bool> refuseCancel{false};
    // A modal run the harness drives; a modeless window is not.
    bool driven = true;

    bool OnInitDialog() override {
        if (onInit) onInit(*this);
        if (driven) harness().opened(*this);
        return true;
    }
    bool PreTranslateMessage(const ui::KeyMessage& message) override {
        {
            std::lock_guard lock(mutex);
            keys.push_back(message);
        }
        if (declineEnterAndEscape && message.key != ui::Key::Other) return false;
        return ui::Dialog::PreTranslateMessage(message);
    }
    bool OnCommand(ui::Notification notification, int id) override {
        {
            std::lock_guard lock(mutex);
            commands.push_back({notification, id});
        }
        if (notification == ui::Notification::Clicked && onClick) onClick(*this, id);
        return ui::Dialog::OnCommand(notification, id);
    }
    void OnDestroy() override {
        if (onDestroy) onDestroy();
    }
    void OnCancel() override {
        if (!refuseCancel) ui::Dialog::OnCancel();
    }
    void OnTimer(int id) override {
        std::lock_guard lock(mutex);
        timers.push_back(id);
    }
    void OnSurfaceMouse(int, const ui::MouseEvent& event) override {
        std::lock_guard lock(mutex);
        mice.push_back(event);
    }

    // Read from a driver's thread while the window thread writes.
    std::vector<Command> commandsSeen() {
        std::lock_guard lock(mutex);
        return commands;
    }
    std::size_t count(const Command& command) {
        std::lock_guard lock(mutex);
        return static_cast<std::size_t>(std::count(commands.begin(), commands.end(), command));
    }
    std::size_t timerCount(int id) {
        std::lock_guard lock(mutex);
        return static_cast<std::size_t>(std::count(timers.begin(), timers.end(), id));
    }
    std::vector<int> keysSeen() {
        std::lock_guard lock(mutex);
        std::vector<int> codes;
        for (const ui::KeyMessage& key : keys) codes.push_back(key.keyCode);
        return codes;
    }
    // Each key but the modifiers' own presses, with the modifiers held:
    // its code, then Ctrl and Shift.
    std::vector<std::tuple<int, bool, bool>> keysWithModifiersSeen() {
        std::lock_guard lock(mutex);
        std::vector<std::tuple<int, bool, bool>> seen;
        for (const ui::KeyMessage& key : keys) {
            if (key.keyCode == ui::vk::shift || key.keyCode == ui::vk::control) continue;
            seen.emplace_back(key.keyCode, key.control, key.shift);
        }
        return seen;
    }
    std::vector<ui::MouseEvent> miceSeen() {
        std::lock_guard lock(mutex);
        return mice;
    }
    void forget() {
        std::lock_guard lock(mutex);
        commands.clear();
        mice.clear();
        keys.clear();
    }

private:
    std::mutex mutex;
    std::vector<Command> commands;
    std::vector<int> timers;
    std::vector<ui::MouseEvent> mice;
    std::vector<ui::KeyMessage> keys;
};

}  // namespace conformance
