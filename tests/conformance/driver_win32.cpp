// The conformance driver on the Win32 backend. Each script runs on a thread
// of its own, started as a worker of its dialog, while the window thread
// runs the backend's own message loop: keys, characters and the mouse are
// posted to the window with the focus, as the system queues input, so that
// they pass the dialog's pre-translation and the dialog manager; what the
// system holds as key state (Shift) is set on the window thread for the
// key's time. A hand returns once the window thread has dealt with all it
// posted. Refuses nothing.
#include <windows.h>

#include <chrono>
#include <deque>
#include <mutex>
#include <thread>

#include "driver.h"
#include "platform/text.h"
#include "platform/ui_win32_text.h"

namespace conformance {
namespace {

using ui::win32::cp932FromWide;
using ui::win32::wideFromCp932;
using ui::win32::wideFromUtf8;

constexpr auto deadline = std::chrono::seconds(10);

struct WindowSearch {
    std::wstring caption;
    HWND found = nullptr;
};

BOOL CALLBACK matchCaption(HWND window, LPARAM search) {
    auto* wanted = reinterpret_cast<WindowSearch*>(search);
    if (ui::win32::windowText(window) == wanted->caption) {
        wanted->found = window;
        return FALSE;
    }
    return TRUE;
}

class Win32Driver final : public Driver {
public:
    Win32Driver(ui::Dialog& dialog, DWORD windowThread)
        : dialog_(dialog), windowThread_(windowThread) {}

    ui::Dialog& dialog() override { return dialog_; }

    void typeKeys(int id, std::string_view cp932) override {
        HWND edit = control(id);
        onWindow([&] {
            SetFocus(edit);
            const int length = GetWindowTextLengthW(edit);
            SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(length), length);
        });
        for (wchar_t unit : wideFromCp932(cp932)) {
            PostMessageW(edit, WM_CHAR, static_cast<WPARAM>(unit), 1);
        }
        settle();
    }
    void pressKey(int keyCode, bool shift, bool control) override {
        holdModifiers(shift, control);
        HWND target = focusWindow();
        PostMessageW(target, WM_KEYDOWN, static_cast<WPARAM>(keyCode), 1);
        PostMessageW(target, WM_KEYUP, static_cast<WPARAM>(keyCode), (1u << 30) | (1u << 31) | 1);
        settle();
        holdModifiers(false, false);
    }
    void pressAccessKey(char key) override {
        // The character's message with Alt held, bit 29 of its flags.
        const auto character =
            static_cast<WPARAM>(key >= 'A' && key <= 'Z' ? key + ('a' - 'A') : key);
        PostMessageW(focusWindow(), WM_SYSCHAR, character, (1 << 29) | 1);
        settle();
    }
    // The system gives a disabled or hidden window no mouse input, where
    // a click message sent to it would still press it.
    void click(int id) override {
        HWND button = control(id);
        bool reachable = false;
        onWindow([&] {
            reachable = button != nullptr && IsWindowEnabled(button) != FALSE &&
                        IsWindowVisible(button) != FALSE;
        });
        if (reachable) SendMessageW(button, BM_CLICK, 0, 0);
        settle();
    }
    void focus(int id) override {
        HWND target = control(id);
        onWindow([&] {
            SendMessageW(GetParent(target), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
        });
        settle();
    }
    void closeBox() override {
        PostMessageW(window(), WM_SYSCOMMAND, SC_CLOSE, 0);
        settle();
    }
    void mouse(int id, const MouseAction& action) override {
        HWND surface = control(id);
        using K = ui::MouseEvent::Kind;
        using B = ui::MouseEvent::Button;
        WPARAM keys = 0;
        if (action.shift) keys |= MK_SHIFT;
        if (action.control) keys |= MK_CONTROL;
        if (action.leftHeld) keys |= MK_LBUTTON;
        const bool right = action.button == B::Right;
        UINT message = WM_MOUSEMOVE;
        LPARAM at = MAKELPARAM(action.x, action.y);
        switch (action.kind) {
            case K::Press:
                message = right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN;
                keys |= right ? MK_RBUTTON : MK_LBUTTON;
                break;
            case K::Release:
                message = right ? WM_RBUTTONUP : WM_LBUTTONUP;
                break;
            case K::Move:
                break;
            case K::Wheel: {
                // The wheel names the pointer in screen coordinates.
                message = WM_MOUSEWHEEL;
                POINT screen{action.x, action.y};
                ClientToScreen(surface, &screen);
                at = MAKELPARAM(screen.x, screen.y);
                keys = MAKEWPARAM(keys, static_cast<WORD>(static_cast<short>(action.wheelDelta)));
                break;
            }
            case K::Leave:
                return;
        }
        PostMessageW(surface, message, keys, at);
        settle();
    }

    bool dropped(int id) override {
        HWND list = control(id);
        bool open = false;
        onWindow([&] { open = SendMessageW(list, CB_GETDROPPEDSTATE, 0, 0) != 0; });
        return open;
    }
    std::optional<ui::Rect> frame() override {
        RECT area{};
        GetWindowRect(window(), &area);
        return ui::Rect{area.left, area.top, area.right - area.left, area.bottom - area.top};
    }
    std::string ownerCaption() override {
        HWND owner = GetWindow(window(), GW_OWNER);
        if (owner == nullptr) return {};
        return text::cp932ToUtf8(cp932FromWide(ui::win32::windowText(owner)));
    }
    std::optional<std::string> clipboardText() override {
        std::optional<std::string> result;
        if (OpenClipboard(nullptr) == FALSE) return result;
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* units = static_cast<const wchar_t*>(GlobalLock(data))) {
                result = cp932FromWide(units);
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
        return result;
    }
    bool waitFor(const std::function<bool()>& pred) override {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (std::chrono::steady_clock::now() < end) {
            if (pred()) return true;
            settle();
        }
        return pred();
    }

private:
    HWND window() {
        WindowSearch search{wideFromUtf8(dialog_.layout().caption)};
        EnumThreadWindows(windowThread_, matchCaption, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    HWND control(int id) { return GetDlgItem(window(), id); }
    HWND focusWindow() {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (GetGUIThreadInfo(windowThread_, &info) != FALSE && info.hwndFocus != nullptr) {
            return info.hwndFocus;
        }
        return window();
    }
    void holdModifiers(bool shift, bool control) {
        onWindow([shift, control] {
            BYTE state[256] = {};
            GetKeyboardState(state);
            state[VK_SHIFT] = shift ? 0x80 : 0;
            state[VK_CONTROL] = control ? 0x80 : 0;
            SetKeyboardState(state);
        });
    }
    // Twice round the window thread's queue: what the first round's
    // messages posted in turn (characters of keys) is dealt with too.
    void settle() {
        onWindow([] {});
        onWindow([] {});
    }

    ui::Dialog& dialog_;
    DWORD windowThread_;
};

class Win32Harness final : public Harness {
public:
    void queue(Script script) override {
        std::lock_guard lock(mutex_);
        scripts_.push_back(std::move(script));
    }
    void opened(ui::Dialog& dialog) override {
        Script script;
        {
            std::lock_guard lock(mutex_);
            if (scripts_.empty()) return;
            script = std::move(scripts_.front());
            scripts_.pop_front();
        }
        const DWORD windowThread = GetCurrentThreadId();
        // A worker of the dialog: its close waits for the script to end,
        // and the script's calls to the window are released at the close.
        dialog.StartWorker([&dialog, windowThread, script = std::move(script)] {
            Win32Driver driver(dialog, windowThread);
            script(driver);
            driver.onWindow([&dialog] { dialog.EndDialog(ui::idCancel); });
        });
    }
    bool finish() override {
        std::lock_guard lock(mutex_);
        const bool clean = scripts_.empty();
        scripts_.clear();
        return clean;
    }

private:
    std::mutex mutex_;
    std::deque<Script> scripts_;
};

}  // namespace

Harness& harness() {
    static Win32Harness instance;
    return instance;
}

}  // namespace conformance
