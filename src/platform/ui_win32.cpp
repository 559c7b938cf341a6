// The Win32 ui backend: each dialog is the program's own dialog template
// (generated from the same layout table as the other backends), run modally
// by a message loop of its own so that every key passes the dialog's
// pre-translation first, as in the platform's dialog framework.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/ui_backend.h"
#include "platform/ui_rules.h"
#include "platform/ui_win32_clipboard.h"
#include "platform/ui_win32_edit_limit.h"
#include "platform/ui_win32_file_dialog.h"
#include "platform/ui_win32_surface.h"
#include "platform/ui_win32_text.h"

namespace ui::detail {
namespace {

using win32::cp932FromWide;
using win32::wideFromCp932;
using win32::wideFromUtf8;
using win32::windowText;

// Wakes the window thread for calls handed over by other threads.
constexpr UINT postedCallsMessage = WM_APP + 0x31;

class Win32Backend;
// The modeless windows of this thread, whose keys the running loop passes
// through their own pre-translation.
thread_local std::vector<Win32Backend*> t_modeless;

Key keyOf(WPARAM virtualKey) {
    switch (virtualKey) {
        case VK_RETURN:
            return Key::Enter;
        case VK_ESCAPE:
            return Key::Escape;
        default:
            return Key::Other;
    }
}

COLORREF colorRef(Color color) {
    return static_cast<COLORREF>(color);
}

// Paints the minimised window; the paint begins only when the handler
// draws, so that declining leaves the default painting to the system.
class Win32PaintContext final : public PaintContext {
public:
    Win32PaintContext(HWND window, HICON icon) : window_(window), icon_(icon) {}
    Win32PaintContext(const Win32PaintContext&) = delete;
    Win32PaintContext& operator=(const Win32PaintContext&) = delete;
    ~Win32PaintContext() override { end(); }

    void eraseIconBackground() override {
        begin();
        SendMessageW(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint_.hdc), 0);
    }
    void drawIcon(int x, int y) override {
        begin();
        if (icon_ != nullptr) DrawIcon(paint_.hdc, x, y, icon_);
    }

    void begin() {
        if (!begun_) BeginPaint(window_, &paint_);
        begun_ = true;
    }
    bool begun() const { return begun_; }
    void end() {
        if (begun_) EndPaint(window_, &paint_);
        begun_ = false;
    }

private:
    HWND window_;
    HICON icon_;
    PAINTSTRUCT paint_{};
    bool begun_ = false;
};

class Win32Backend final : public WindowBackend {
public:
    explicit Win32Backend(Dialog& dialog)
        : WindowBackend(dialog), windowThread_(std::this_thread::get_id()) {
        win32::registerSurfaceClass();
    }
    ~Win32Backend() override {
        std::erase(t_modeless, this);
        releaseObjects();
    }

    int runModal() override;
    bool create() override;
    void destroy() override;
    bool isOpen() const override { return modeless_ && window_ != nullptr; }
    void bringToFront() override {
        if (window_ == nullptr) return;
        if (IsIconic(window_) != FALSE) ShowWindow(window_, SW_RESTORE);
        SetForegroundWindow(window_);
        BringWindowToTop(window_);
    }
    // Passes a key of any modeless window through that window's own
    // pre-translation.
    static bool preTranslateModeless(const MSG& message) {
        for (Win32Backend* backend : t_modeless) {
            if (backend->preTranslate(message)) return true;
        }
        return false;
    }
    void endDialog(int code) override {
        code_.store(code);
        ended_.store(true);
        std::lock_guard lock(postMutex_);
        if (postTarget_ != nullptr) PostMessageW(postTarget_, WM_NULL, 0, 0);
    }

    std::string text(int id) override { return cp932FromWide(windowText(item(id))); }
    void setText(int id, std::string_view cp932) override {
        const std::wstring wide = wideFromCp932(cp932);
        programWrite(id, [&](HWND control) { SetWindowTextW(control, wide.c_str()); });
    }
    void enable(int id, bool enabled) override {
        if (!enabled) moveFocusOnFrom(id);
        EnableWindow(item(id), enabled ? TRUE : FALSE);
    }
    bool isEnabled(int id) override {
        HWND control = item(id);
        return control != nullptr && IsWindowEnabled(control) != FALSE;
    }
    void show(int id, bool visible) override {
        if (!visible) moveFocusOnFrom(id);
        if (HWND control = item(id)) ShowWindow(control, visible ? SW_SHOW : SW_HIDE);
    }
    void invalidate(int id) override {
        if (HWND control = item(id)) InvalidateRect(control, nullptr, TRUE);
    }
    void limitText(int id, int bytes) override { edits_.setLimit(id, bytes); }
    void replaceSel(int id, std::string_view cp932) override {
        const std::wstring wide = wideFromCp932(cp932);
        programWrite(id, [&](HWND control) {
            SendMessageW(control, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide.c_str()));
        });
    }
    void addString(int id, std::string_view cp932) override {
        const std::wstring wide = wideFromCp932(cp932);
        SendMessageW(item(id), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    }
    void resetContent(int id) override { SendMessageW(item(id), CB_RESETCONTENT, 0, 0); }
    void setCurSel(int id, int index) override {
        SendMessageW(item(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    int curSel(int id) override {
        HWND control = item(id);
        if (control == nullptr) return -1;
        return static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0));
    }
    bool isChecked(int id) override {
        HWND control = item(id);
        return control != nullptr && SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    void setChecked(int id, bool checked) override {
        SendMessageW(item(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    void setFont(int id, const Font& font) override {
        if (HWND control = item(id)) {
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(font)), TRUE);
        }
    }

    void moveTo(int id, const Rect& pixels) override {
        if (HWND control = item(id))
            MoveWindow(control, pixels.x, pixels.y, pixels.cx, pixels.cy, TRUE);
    }
    Rect place(int id) override {
        HWND control = item(id);
        RECT area{};
        if (control == nullptr || GetWindowRect(control, &area) == FALSE) return {};
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&area), 2);
        return {area.left, area.top, area.right - area.left, area.bottom - area.top};
    }
    // The platform's range counts the last position of the page: positions
    // run from 0 to max - page.
    void setScroll(int id, int max, int page, int pos) override {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMin = 0;
        info.nMax = std::max(0, max - 1);
        info.nPage = static_cast<UINT>(std::max(page, 1));
        info.nPos = pos;
        SetScrollInfo(item(id), SB_CTL, &info, TRUE);
    }
    int scrollPos(int id) override {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_POS;
        return GetScrollInfo(item(id), SB_CTL, &info) != FALSE ? info.nPos : 0;
    }
    Image capture(int id) override {
        HWND control = item(id);
        return control != nullptr ? win32::captureSurface(control) : Image{};
    }
    Rect mapDialogRect(const Rect& du) override {
        RECT area{du.x, du.y, du.x + du.cx, du.y + du.cy};
        if (window_ != nullptr) MapDialogRect(window_, &area);
        return {area.left, area.top, area.right - area.left, area.bottom - area.top};
    }
    void setTimer(int id, int intervalMs) override {
        if (window_ != nullptr)
            ::SetTimer(window_, static_cast<UINT_PTR>(id), static_cast<UINT>(intervalMs), nullptr);
    }
    void killTimer(int id) override {
        if (window_ != nullptr) ::KillTimer(window_, static_cast<UINT_PTR>(id));
    }
    bool copyImage(const Image& image) override {
        return win32::copyImageToClipboard(window_, image);
    }
    bool copyText(std::string_view cp932) override {
        return win32::copyTextToClipboard(window_, cp932);
    }

    void setCaption(std::string_view cp932) override {
        if (window_ != nullptr) SetWindowTextW(window_, wideFromCp932(cp932).c_str());
    }
    std::string caption() override { return cp932FromWide(windowText(window_)); }
    void setIcon(int iconResourceId, bool big) override;
    bool isIconic() override { return window_ != nullptr && IsIconic(window_) != FALSE; }
    Size clientSize() override {
        RECT client{};
        if (window_ != nullptr) GetClientRect(window_, &client);
        return Size{client.right - client.left, client.bottom - client.top};
    }

    void messageBox(std::string_view cp932) override {
        MessageBoxW(window_, wideFromCp932(cp932).c_str(), wideFromUtf8(applicationName()).c_str(),
                    MB_OK);
    }
    FileChoice fileDialog(const FileDialogRequest& request) override {
        return win32::runFileDialog(window_, request);
    }

    void post(std::function<void()> fn) override {
        std::lock_guard lock(postMutex_);
        posted_.push_back(std::move(fn));
        if (postTarget_ != nullptr) PostMessageW(postTarget_, postedCallsMessage, 0, 0);
    }
    bool isWindowThread() const override { return std::this_thread::get_id() == windowThread_; }
    int focusedControl() override;
    void moveFocusOnFrom(int id);

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL initialise(HWND window);
    HWND ownerWindow();
    void placeByOwner();
    bool preTranslate(const MSG& message);
    bool listDropped(HWND control) const;
    void runPostedCalls();
    void command(int id, int code);
    void editChanged(int id);
    INT_PTR controlColour(CtlKind kind, HDC dc, HWND control);
    bool paint();
    void scroll(HWND bar, int code);
    void buildTables();
    HWND item(int id) const { return window_ != nullptr ? GetDlgItem(window_, id) : nullptr; }
    HBRUSH brushFor(Color color);
    HFONT fontFor(const Font& font);
    void releaseObjects();

    template <class Write>
    void programWrite(int id, Write write) {
        HWND control = item(id);
        if (control == nullptr) return;
        edits_.programWrite(id, control, [&] { write(control); });
    }

    const std::thread::id windowThread_;
    HWND window_ = nullptr;
    bool modeless_ = false;
    SIZE minimumSize_{};  // a resizable window's first size
    std::atomic<bool> ended_{false};
    std::atomic<int> code_{idCancel};

    std::mutex postMutex_;
    HWND postTarget_ = nullptr;  // the window while calls can reach it
    std::deque<std::function<void()>> posted_;

    std::map<int, Kind> kinds_;
    win32::EditByteLimits edits_;
    std::map<Color, HBRUSH> brushes_;
    std::map<std::pair<int, std::string>, HFONT> fonts_;
    HICON bigIcon_ = nullptr;
};

HWND Win32Backend::ownerWindow() {
    if (Dialog* owner = dialog().windowOwner()) {
        if (auto* backend = static_cast<Win32Backend*>(owner->backend())) return backend->window_;
    }
    return nullptr;
}

void Win32Backend::buildTables() {
    for (const ControlLayout& control : dialog().layout().controls) {
        if (control.id == idNone) continue;
        kinds_[control.id] = control.kind;
        if (control.kind == Kind::Edit) edits_.add(control.id);
    }
}

bool Win32Backend::create() {
    modeless_ = true;
    buildTables();
    HWND window = CreateDialogParamW(GetModuleHandleW(nullptr),
                                     MAKEINTRESOURCEW(dialog().layout().templateId), ownerWindow(),
                                     dialogProc, reinterpret_cast<LPARAM>(this));
    if (window == nullptr) {
        destroySequence();
        return false;
    }
    t_modeless.push_back(this);
    ShowWindow(window, SW_SHOW);
    return true;
}

// May run inside the window's own message handler, which returns to a
// window that is gone; the handler touches nothing of it afterwards.
void Win32Backend::destroy() {
    if (window_ == nullptr) return;
    HWND window = window_;
    ShowWindow(window, SW_HIDE);
    destroySequence();
    {
        std::lock_guard lock(postMutex_);
        postTarget_ = nullptr;
        posted_.clear();
    }
    std::erase(t_modeless, this);
    SetWindowLongPtrW(window, DWLP_USER, 0);
    window_ = nullptr;
    DestroyWindow(window);
    releaseObjects();
}

int Win32Backend::runModal() {
    HWND owner = ownerWindow();
    buildTables();
    HWND window = CreateDialogParamW(GetModuleHandleW(nullptr),
                                     MAKEINTRESOURCEW(dialog().layout().templateId), owner,
                                     dialogProc, reinterpret_cast<LPARAM>(this));
    if (window == nullptr) {
        destroySequence();
        return -1;
    }
    if (owner != nullptr) EnableWindow(owner, FALSE);
    if (!ended_.load()) ShowWindow(window, SW_SHOW);

    MSG message{};
    while (!ended_.load()) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            // The quit request belongs to whoever runs the outermost loop.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got == -1) break;
        if (!preTranslate(message) && !preTranslateModeless(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    // The owner takes the activation back, and the window leaves the screen
    // as the modal run ends, before the destroy handler's work.
    if (owner != nullptr) EnableWindow(owner, TRUE);
    ShowWindow(window, SW_HIDE);
    // A look at the queue hands the hide to the screen now; the destroy
    // handler may keep the thread busy for a while.
    MSG next{};
    PeekMessageW(&next, nullptr, 0, 0, PM_NOREMOVE);
    destroySequence();
    {
        std::lock_guard lock(postMutex_);
        postTarget_ = nullptr;
    }
    DestroyWindow(window);
    window_ = nullptr;
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(postMutex_);
        dropped.swap(posted_);
    }
    releaseObjects();
    return code_.load();
}

BOOL Win32Backend::initialise(HWND window) {
    window_ = window;
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(this));
    {
        std::lock_guard lock(postMutex_);
        postTarget_ = window;
        if (!posted_.empty()) PostMessageW(window, postedCallsMessage, 0, 0);
    }
    RECT before{};
    GetWindowRect(window, &before);
    minimumSize_ = {before.right - before.left, before.bottom - before.top};
    for (const auto& [id, kind] : kinds_) {
        if (kind == Kind::Surface) win32::attachSurface(GetDlgItem(window, id), dialog());
    }
    const BOOL focusDefault = dialog().OnInitDialog() ? TRUE : FALSE;
    RECT after{};
    GetWindowRect(window, &after);
    // A dialog that neither its template nor its initialisation placed
    // opens centred over its owner, as the framework does; a modeless one
    // beside it, so that both are seen at once.
    if (EqualRect(&before, &after) != FALSE) placeByOwner();
    return focusDefault;
}

void Win32Backend::placeByOwner() {
    HWND owner = GetWindow(window_, GW_OWNER);
    if (owner == nullptr) return;
    RECT ownerRect{};
    RECT own{};
    GetWindowRect(owner, &ownerRect);
    GetWindowRect(window_, &own);
    RECT work = ownerRect;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor) != FALSE) {
        work = monitor.rcWork;
    }
    const auto rect = [](const RECT& r) {
        return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
    };
    const Rect place = rules::placeByOwner(
        rect(ownerRect), {own.right - own.left, own.bottom - own.top}, rect(work), modeless_);
    SetWindowPos(window_, nullptr, place.x, place.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK Win32Backend::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        return reinterpret_cast<Win32Backend*>(lParam)->initialise(window);
    }
    auto* self = reinterpret_cast<Win32Backend*>(GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) return FALSE;
    return self->handle(message, wParam, lParam);
}

INT_PTR Win32Backend::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case postedCallsMessage:
            runPostedCalls();
            return TRUE;
        case WM_COMMAND:
            command(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            // The close box and the system menu's Close are the Cancel command.
            dialog().OnCommand(Notification::Clicked, idCancel);
            return TRUE;
        case WM_CTLCOLORSTATIC:
            return controlColour(CtlKind::Static, reinterpret_cast<HDC>(wParam),
                                 reinterpret_cast<HWND>(lParam));
        case WM_CTLCOLOREDIT:
            return controlColour(CtlKind::Edit, reinterpret_cast<HDC>(wParam),
                                 reinterpret_cast<HWND>(lParam));
        case WM_CTLCOLORBTN:
            return controlColour(CtlKind::Button, reinterpret_cast<HDC>(wParam),
                                 reinterpret_cast<HWND>(lParam));
        case WM_CTLCOLORLISTBOX:
            return controlColour(CtlKind::ListBox, reinterpret_cast<HDC>(wParam),
                                 reinterpret_cast<HWND>(lParam));
        case WM_CTLCOLORDLG:
            return controlColour(CtlKind::Dialog, reinterpret_cast<HDC>(wParam), nullptr);
        case WM_CTLCOLORSCROLLBAR:
            return controlColour(CtlKind::Other, reinterpret_cast<HDC>(wParam),
                                 reinterpret_cast<HWND>(lParam));
        case WM_PAINT:
            return paint() ? TRUE : FALSE;
        case WM_TIMER:
            dialog().OnTimer(static_cast<int>(wParam));
            return TRUE;
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) dialog().OnSize({LOWORD(lParam), HIWORD(lParam)});
            return TRUE;
        case WM_GETMINMAXINFO:
            if ((dialog().layout().frameStyles & frameResizable) != 0 && minimumSize_.cx > 0) {
                auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
                limits->ptMinTrackSize = {minimumSize_.cx, minimumSize_.cy};
                return TRUE;
            }
            return FALSE;
        case WM_HSCROLL:
            scroll(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
            return TRUE;
        case WM_MOUSEWHEEL:
            return win32::wheelOverSurface(window_, wParam, lParam) ? TRUE : FALSE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(bigIcon_);
        default:
            return FALSE;
    }
}

bool Win32Backend::preTranslate(const MSG& message) {
    if (window_ == nullptr || (message.hwnd != window_ && !IsChild(window_, message.hwnd))) {
        return false;
    }
    if (message.message == WM_KEYDOWN) {
        const KeyMessage key{keyOf(message.wParam), static_cast<int>(message.wParam),
                             GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_SHIFT) < 0};
        // An open drop-down list takes Enter and Escape itself: it picks the
        // entry or closes, and the dialog goes on.
        if (key.key != Key::Other && listDropped(message.hwnd)) return false;
        if (dialog().PreTranslateMessage(key)) return true;
        // Enter or Escape declined by the dialog is a plain keystroke for the
        // focused control; the dialog's own keyboard handling would make it
        // the OK or Cancel command.
        if (key.key != Key::Other) return false;
    }
    return IsDialogMessageW(window_, const_cast<MSG*>(&message)) != FALSE;
}

bool Win32Backend::listDropped(HWND control) const {
    const auto kind = kinds_.find(GetDlgCtrlID(control));
    return kind != kinds_.end() && kind->second == Kind::DropDownList &&
           GetParent(control) == window_ && SendMessageW(control, CB_GETDROPPEDSTATE, 0, 0) != 0;
}

// A focused control that is disabled or hidden keeps the focus, and the
// keyboard then reaches nothing: the focus goes to the next tab stop first,
// as the dialog manager would take it there.
void Win32Backend::moveFocusOnFrom(int id) {
    if (window_ != nullptr && id != idNone && focusedControl() == id) {
        SendMessageW(window_, WM_NEXTDLGCTL, 0, FALSE);
    }
}

int Win32Backend::focusedControl() {
    HWND focus = GetFocus();
    if (focus == nullptr || window_ == nullptr || !IsChild(window_, focus)) return idNone;
    const int id = GetDlgCtrlID(focus);
    return kinds_.count(id) != 0 ? id : idNone;
}

void Win32Backend::runPostedCalls() {
    std::deque<std::function<void()>> calls;
    {
        std::lock_guard lock(postMutex_);
        calls.swap(posted_);
    }
    for (auto& call : calls) call();
}

void Win32Backend::command(int id, int code) {
    const auto kind = kinds_.find(id);
    const bool edit = kind != kinds_.end() && kind->second == Kind::Edit;
    const bool combo = kind != kinds_.end() && kind->second == Kind::DropDownList;
    if (edit) {
        if (code == EN_CHANGE) editChanged(id);
        return;
    }
    if (combo) {
        if (code == CBN_SELCHANGE) dialog().OnCommand(Notification::SelChange, id);
        return;
    }
    // Buttons, and the OK and Cancel commands of the dialog's keyboard
    // handling, which may come without a control.
    if (code == BN_CLICKED) dialog().OnCommand(Notification::Clicked, id);
}

void Win32Backend::editChanged(int id) {
    if (edits_.changed(id, item(id))) dialog().OnCommand(Notification::Changed, id);
}

INT_PTR Win32Backend::controlColour(CtlKind kind, HDC dc, HWND control) {
    CtlColorRequest request;
    request.kind = kind;
    request.controlId = control != nullptr ? GetDlgCtrlID(control) : idNone;
    const Brush* brush = dialog().OnCtlColor(request);
    if ((brush == nullptr || !brush->valid()) && !request.textColor && !request.textBackground) {
        return FALSE;  // the system's colours
    }
    // The system's colours first, as the framework's default handling sets
    // them, then the handler's.
    const bool windowFace = kind == CtlKind::Edit || kind == CtlKind::ListBox;
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(windowFace ? COLOR_WINDOW : COLOR_3DFACE));
    if (request.textColor) SetTextColor(dc, colorRef(*request.textColor));
    if (request.textBackground) SetBkColor(dc, colorRef(*request.textBackground));
    HBRUSH face = brush != nullptr && brush->valid()
                      ? brushFor(brush->color())
                      : GetSysColorBrush(windowFace ? COLOR_WINDOW : COLOR_3DFACE);
    return reinterpret_cast<INT_PTR>(face);
}

bool Win32Backend::paint() {
    Win32PaintContext context(window_, bigIcon_);
    const bool handled = dialog().OnPaint(context);
    if (!handled && !context.begun()) return false;
    // A handled paint validates the window even when nothing was drawn.
    context.begin();
    context.end();
    return true;
}

void Win32Backend::setIcon(int iconResourceId, bool big) {
    if (window_ == nullptr) return;
    const int width = GetSystemMetrics(big ? SM_CXICON : SM_CXSMICON);
    const int height = GetSystemMetrics(big ? SM_CYICON : SM_CYSMICON);
    // Shared icons belong to the system's cache and are never destroyed.
    auto* icon =
        static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconResourceId),
                                      IMAGE_ICON, width, height, LR_SHARED));
    if (big) bigIcon_ = icon;
    SendMessageW(window_, WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

// The bar moves as the platform's keyboard and mouse ask, then the dialog
// hears of it.
void Win32Backend::scroll(HWND bar, int code) {
    if (bar == nullptr) return;
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    if (GetScrollInfo(bar, SB_CTL, &info) == FALSE) return;
    const int page = static_cast<int>(info.nPage);
    const int last = std::max(info.nMin, info.nMax - std::max(page, 1) + 1);
    int pos = info.nPos;
    switch (code) {
        case SB_LINELEFT:
            pos -= rules::scrollLineStep(page);
            break;
        case SB_LINERIGHT:
            pos += rules::scrollLineStep(page);
            break;
        case SB_PAGELEFT:
            pos -= page;
            break;
        case SB_PAGERIGHT:
            pos += page;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            pos = info.nTrackPos;
            break;
        case SB_LEFT:
            pos = info.nMin;
            break;
        case SB_RIGHT:
            pos = last;
            break;
        default:
            return;
    }
    info.fMask = SIF_POS;
    info.nPos = std::clamp(pos, info.nMin, last);
    SetScrollInfo(bar, SB_CTL, &info, TRUE);
    dialog().OnCommand(Notification::Scroll, GetDlgCtrlID(bar));
}

HBRUSH Win32Backend::brushFor(Color color) {
    auto found = brushes_.find(color);
    if (found != brushes_.end()) return found->second;
    HBRUSH brush = CreateSolidBrush(colorRef(color));
    brushes_.emplace(color, brush);
    return brush;
}

HFONT Win32Backend::fontFor(const Font& font) {
    const auto key = std::make_pair(font.tenthsOfPoint(), font.face());
    auto found = fonts_.find(key);
    if (found != fonts_.end()) return found->second;
    // A point size for the screen: tenths of a point at the screen's
    // pixels per inch, as a character height.
    HDC screen = GetDC(nullptr);
    const int pixelsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const int height = -(pixelsPerInch * font.tenthsOfPoint() / 720);
    HFONT created = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                DEFAULT_PITCH | FF_DONTCARE, wideFromUtf8(font.face()).c_str());
    fonts_.emplace(key, created);
    return created;
}

void Win32Backend::releaseObjects() {
    for (auto& [color, brush] : brushes_) DeleteObject(brush);
    brushes_.clear();
    for (auto& [key, font] : fonts_) DeleteObject(font);
    fonts_.clear();
}

}  // namespace

std::unique_ptr<WindowBackend> createBackend(Dialog& dialog) {
    return std::make_unique<Win32Backend>(dialog);
}

Size systemIconSize() {
    return Size{GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)};
}

}  // namespace ui::detail
