// A small dialog of every control kind, and the bounded waits the ui tests use.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui.h"

namespace uitest {

inline constexpr int editId = 10;
inline constexpr int digitsEditId = 11;
inline constexpr int logEditId = 12;
inline constexpr int readOnlyEditId = 13;
inline constexpr int buttonId = 20;
inline constexpr int checkId = 21;
inline constexpr int comboId = 22;
inline constexpr int labelId = 23;
inline constexpr int lampId = 24;
inline constexpr int unknownId = 999;

inline constexpr ui::ControlLayout testControls[] = {
    {ui::idNone, ui::Kind::GroupBox, ui::styleNone, "設定", 4, 4, 192, 60},
    {editId, ui::Kind::Edit, ui::styleTabStop | ui::styleBorder | ui::styleAutoHScroll, "", 10, 14,
     80, 12},
    {digitsEditId, ui::Kind::Edit, ui::styleTabStop | ui::styleBorder | ui::styleDigitsOnly, "0",
     100, 14, 40, 12},
    {readOnlyEditId, ui::Kind::Edit, ui::styleBorder | ui::styleReadOnly, "読み取り", 150, 14, 40,
     12},
    {logEditId, ui::Kind::Edit,
     ui::styleMultiline | ui::styleReadOnly | ui::styleVScroll | ui::styleAutoVScroll, "", 10, 30,
     80, 30},
    {buttonId, ui::Kind::PushButton, ui::styleTabStop, "押す", 100, 30, 40, 14},
    {checkId, ui::Kind::AutoCheckBox, ui::styleTabStop, "記録", 150, 30, 40, 10},
    {comboId, ui::Kind::DropDownList, ui::styleTabStop | ui::styleVScroll, "", 100, 46, 90, 60},
    {labelId, ui::Kind::Static, ui::styleNone, "状態", 10, 66, 60, 8},
    {lampId, ui::Kind::Static, ui::styleSunkenEdge, "", 80, 66, 10, 10},
    {ui::idNone, ui::Kind::EtchedLine, ui::styleNone, "", 4, 78, 192, 1},
    {ui::idOk, ui::Kind::DefPushButton, ui::styleTabStop, "OK", 90, 82, 50, 14},
    {ui::idCancel, ui::Kind::PushButton, ui::styleTabStop, "キャンセル", 146, 82, 50, 14},
};

inline constexpr ui::DialogLayout testLayout{900,
                                             "テスト",
                                             200,
                                             100,
                                             "ＭＳ Ｐゴシック",
                                             9,
                                             ui::frameCaption | ui::frameSysMenu | ui::frameModal,
                                             testControls};

// Hooks and counters let each test give the dialog the behaviour it needs.
class TestDialog : public ui::Dialog {
public:
    explicit TestDialog(ui::Dialog* owner = nullptr) : ui::Dialog(testLayout, owner) {}

    std::function<void(TestDialog&)> onInit;
    std::function<void(TestDialog&)> onDestroy;
    std::function<void(TestDialog&)> onButton;
    std::function<bool(const ui::KeyMessage&)> preTranslate;

    int buttonClicks = 0;
    int checkClicks = 0;
    int editChanges = 0;
    int logChanges = 0;
    int comboPicks = 0;
    std::vector<std::string> editTextsSeen;  // the edit's text at each change
    std::vector<int> keyCodesSeen;
    ui::Brush lampBrush;
    ui::Brush neverCreatedBrush;

    bool OnInitDialog() override {
        if (onInit) onInit(*this);
        return true;
    }
    void OnDestroy() override {
        if (onDestroy) onDestroy(*this);
    }
    bool PreTranslateMessage(const ui::KeyMessage& message) override {
        keyCodesSeen.push_back(message.keyCode);
        return preTranslate ? preTranslate(message) : ui::Dialog::PreTranslateMessage(message);
    }
    bool OnCommand(ui::Notification notification, int controlId) override {
        return dispatch(this, routes(), notification, controlId) ||
               ui::Dialog::OnCommand(notification, controlId);
    }
    const ui::Brush* OnCtlColor(ui::CtlColorRequest& request) override {
        if (request.controlId == lampId) {
            request.textColor = ui::rgb(255, 255, 255);
            return &lampBrush;
        }
        if (request.controlId == labelId) {
            request.textBackground = ui::rgb(0, 0, 0);
            return &neverCreatedBrush;
        }
        return nullptr;
    }
    // Draws the icon in the middle of the minimised window, as the programs do.
    bool OnPaint(ui::PaintContext& context) override {
        if (!IsIconic()) return false;
        context.eraseIconBackground();
        const ui::Size client = GetClientSize();
        const ui::Size icon = SystemIconSize();
        context.drawIcon((client.cx - icon.cx + 1) / 2, (client.cy - icon.cy + 1) / 2);
        return true;
    }

private:
    void OnButton() {
        ++buttonClicks;
        if (onButton) onButton(*this);
    }
    void OnCheck() { ++checkClicks; }
    void OnEditChanged() {
        ++editChanges;
        editTextsSeen.push_back(item(editId).text());
    }
    void OnLogChanged() { ++logChanges; }
    void OnComboPick() { ++comboPicks; }

    static std::span<const Route<TestDialog>> routes() {
        static constexpr Route<TestDialog> rows[] = {
            {ui::Notification::Clicked, buttonId, &TestDialog::OnButton},
            {ui::Notification::Clicked, checkId, &TestDialog::OnCheck},
            {ui::Notification::Changed, editId, &TestDialog::OnEditChanged},
            {ui::Notification::Changed, logEditId, &TestDialog::OnLogChanged},
            {ui::Notification::SelChange, comboId, &TestDialog::OnComboPick},
        };
        return rows;
    }
};

// Polls pred until it holds or the time is up; the answer is pred's last value.
inline bool waitUntil(const std::function<bool()>& pred,
                      std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return pred();
}

// Ends the test process when a scope that could deadlock outlives its limit,
// so that a hang shows as a failure with its name instead of a timeout.
class Watchdog {
public:
    explicit Watchdog(const char* what, std::chrono::seconds limit = std::chrono::seconds(20))
        : thread_([this, what, limit] {
              std::unique_lock lock(mutex_);
              if (!changed_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "deadlock: %s did not finish in time\n", what);
                  std::abort();
              }
          }) {}
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace uitest
