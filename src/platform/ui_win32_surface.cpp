#include "platform/ui_win32_surface.h"

#include "platform/ui_win32_text.h"

namespace ui::win32 {

namespace {

const std::wstring& className() {
    static const std::wstring name = wideFromUtf8(surfaceWindowClass);
    return name;
}

bool isSurface(HWND window) {
    wchar_t name[64] = {};
    return GetClassNameW(window, name, 64) > 0 && className() == name;
}

COLORREF colorRef(Color color) {
    return static_cast<COLORREF>(color);
}

// Draws with the device context's brush and pen, whose colour changes per
// call without objects being made.
class GdiPainter final : public Painter {
public:
    GdiPainter(HDC dc, Size size) : dc_(dc), size_(size) {
        SelectObject(dc_, GetStockObject(DC_BRUSH));
        SelectObject(dc_, GetStockObject(DC_PEN));
        SetBkMode(dc_, TRANSPARENT);
    }
    Size size() const override { return size_; }
    void fillRect(const Rect& area, Color color) override {
        SetDCBrushColor(dc_, colorRef(color));
        const RECT r{area.x, area.y, area.x + area.cx, area.y + area.cy};
        FillRect(dc_, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    }
    void line(int x0, int y0, int x1, int y1, Color color) override {
        SetDCPenColor(dc_, colorRef(color));
        MoveToEx(dc_, x0, y0, nullptr);
        // LineTo leaves out its end point; one pixel further draws it.
        const int stepX = x1 > x0 ? 1 : (x1 < x0 ? -1 : 0);
        const int stepY = y1 > y0 ? 1 : (y1 < y0 ? -1 : 0);
        LineTo(dc_, x1 + (stepX == 0 && stepY == 0 ? 1 : stepX), y1 + stepY);
    }
    void text(int x, int y, std::string_view cp932, Color color) override {
        const std::wstring wide = wideFromCp932(cp932);
        SetTextColor(dc_, colorRef(color));
        TextOutW(dc_, x, y, wide.c_str(), static_cast<int>(wide.size()));
    }
    Size textExtent(std::string_view cp932) override {
        const std::wstring wide = wideFromCp932(cp932);
        SIZE extent{};
        GetTextExtentPoint32W(dc_, wide.c_str(), static_cast<int>(wide.size()), &extent);
        return {extent.cx, extent.cy};
    }

private:
    HDC dc_;
    Size size_;
};

Dialog* dialogOf(HWND surface) {
    return reinterpret_cast<Dialog*>(GetWindowLongPtrW(surface, GWLP_USERDATA));
}

// Paints the surface's whole face into a bitmap of its own; pixels, when
// asked for, are read back from it as 32-bit colours.
void paintInto(HWND surface, HDC target, Image* pixels) {
    Dialog* dialog = dialogOf(surface);
    RECT client{};
    GetClientRect(surface, &client);
    const Size size{client.right, client.bottom};
    HDC memory = CreateCompatibleDC(target);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(target, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memory == nullptr || bitmap == nullptr || size.cx <= 0 || size.cy <= 0) {
        if (bitmap != nullptr) DeleteObject(bitmap);
        if (memory != nullptr) DeleteDC(memory);
        return;
    }
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(GetParent(surface), WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = font != nullptr ? SelectObject(memory, font) : nullptr;
    {
        GdiPainter painter(memory, size);
        painter.fillRect({0, 0, size.cx, size.cy}, rgb(255, 255, 255));
        if (dialog != nullptr) dialog->OnSurfacePaint(GetDlgCtrlID(surface), painter);
    }
    GdiFlush();
    if (target != nullptr && pixels == nullptr) {
        BitBlt(target, 0, 0, size.cx, size.cy, memory, 0, 0, SRCCOPY);
    }
    if (pixels != nullptr) {
        pixels->width = size.cx;
        pixels->height = size.cy;
        const auto* source = static_cast<const std::uint32_t*>(bits);
        const std::size_t count = static_cast<std::size_t>(size.cx) * size.cy;
        pixels->pixels.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t bgr = source[i];  // blue in the low byte
            pixels->pixels[i] = rgb((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
        }
    }
    if (oldFont != nullptr) SelectObject(memory, oldFont);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

void sendMouse(HWND surface, MouseEvent::Kind kind, int x, int y, WPARAM keys, int wheel = 0,
               MouseEvent::Button button = MouseEvent::Button::None) {
    Dialog* dialog = dialogOf(surface);
    if (dialog == nullptr) return;
    MouseEvent event;
    event.kind = kind;
    event.x = x;
    event.y = y;
    event.wheelDelta = wheel;
    event.leftButton = (keys & MK_LBUTTON) != 0;
    event.rightButton = (keys & MK_RBUTTON) != 0;
    event.control = (keys & MK_CONTROL) != 0;
    event.shift = (keys & MK_SHIFT) != 0;
    event.button = button;
    dialog->OnSurfaceMouse(GetDlgCtrlID(surface), event);
}

LRESULT CALLBACK surfaceProc(HWND surface, UINT message, WPARAM wParam, LPARAM lParam) {
    const int x = static_cast<short>(LOWORD(lParam));
    const int y = static_cast<short>(HIWORD(lParam));
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // the paint covers every pixel
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            HDC dc = BeginPaint(surface, &paint);
            paintInto(surface, dc, nullptr);
            EndPaint(surface, &paint);
            return 0;
        }
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            SetFocus(surface);
            SetCapture(surface);
            sendMouse(
                surface, MouseEvent::Kind::Press, x, y, wParam, 0,
                message == WM_LBUTTONDOWN ? MouseEvent::Button::Left : MouseEvent::Button::Right);
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            if ((wParam & (MK_LBUTTON | MK_RBUTTON)) == 0) ReleaseCapture();
            sendMouse(
                surface, MouseEvent::Kind::Release, x, y, wParam, 0,
                message == WM_LBUTTONUP ? MouseEvent::Button::Left : MouseEvent::Button::Right);
            return 0;
        case WM_MOUSEMOVE: {
            TRACKMOUSEEVENT track{};
            track.cbSize = sizeof track;
            track.dwFlags = TME_LEAVE;
            track.hwndTrack = surface;
            TrackMouseEvent(&track);
            sendMouse(surface, MouseEvent::Kind::Move, x, y, wParam);
            return 0;
        }
        case WM_MOUSELEAVE:
            sendMouse(surface, MouseEvent::Kind::Leave, 0, 0, 0);
            return 0;
        case WM_MOUSEWHEEL: {
            POINT at{x, y};  // screen coordinates
            ScreenToClient(surface, &at);
            sendMouse(surface, MouseEvent::Kind::Wheel, at.x, at.y, GET_KEYSTATE_WPARAM(wParam),
                      GET_WHEEL_DELTA_WPARAM(wParam));
            return 0;
        }
        default:
            return DefWindowProcW(surface, message, wParam, lParam);
    }
}

}  // namespace

bool registerSurfaceClass() {
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = surfaceProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = className().c_str();
        return RegisterClassExW(&wc) != 0;
    }();
    return registered;
}

void attachSurface(HWND surface, Dialog& dialog) {
    SetWindowLongPtrW(surface, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&dialog));
}

Image captureSurface(HWND surface) {
    Image image;
    HDC screen = GetDC(surface);
    paintInto(surface, screen, &image);
    ReleaseDC(surface, screen);
    return image;
}

bool wheelOverSurface(HWND dialog, WPARAM wParam, LPARAM lParam) {
    POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    POINT inDialog = at;
    ScreenToClient(dialog, &inDialog);
    HWND child = ChildWindowFromPointEx(dialog, inDialog, CWP_SKIPINVISIBLE);
    if (child == nullptr || child == dialog || !isSurface(child)) return false;
    SendMessageW(child, WM_MOUSEWHEEL, wParam, lParam);
    return true;
}

}  // namespace ui::win32
