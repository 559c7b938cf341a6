#include "platform/ui_win32_clipboard.h"

#include <cstring>
#include <string>

#include "platform/ui_win32_text.h"

namespace ui::win32 {

namespace {

// Hands memory to the clipboard, which owns it once it took it.
bool place(HWND owner, UINT format, HGLOBAL memory) {
    if (OpenClipboard(owner) == FALSE) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    const bool placed = SetClipboardData(format, memory) != nullptr;
    CloseClipboard();
    if (!placed) GlobalFree(memory);
    return placed;
}

}  // namespace

// A device-independent bitmap, bottom-up rows of blue, green, red.
bool copyImageToClipboard(HWND owner, const Image& image) {
    const int stride = (image.width * 3 + 3) & ~3;
    const std::size_t bytes =
        sizeof(BITMAPINFOHEADER) + static_cast<std::size_t>(stride) * image.height;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr) return false;
    auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(memory));
    if (header == nullptr) {
        GlobalFree(memory);
        return false;
    }
    *header = BITMAPINFOHEADER{};
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = image.width;
    header->biHeight = image.height;
    header->biPlanes = 1;
    header->biBitCount = 24;
    header->biCompression = BI_RGB;
    auto* rows = reinterpret_cast<unsigned char*>(header + 1);
    for (int y = 0; y < image.height; ++y) {
        unsigned char* row = rows + static_cast<std::size_t>(image.height - 1 - y) * stride;
        for (int x = 0; x < image.width; ++x) {
            const Color c = image.pixels[static_cast<std::size_t>(y) * image.width + x];
            row[3 * x] = static_cast<unsigned char>((c >> 16) & 0xFF);
            row[3 * x + 1] = static_cast<unsigned char>((c >> 8) & 0xFF);
            row[3 * x + 2] = static_cast<unsigned char>(c & 0xFF);
        }
    }
    GlobalUnlock(memory);
    return place(owner, CF_DIB, memory);
}

bool copyTextToClipboard(HWND owner, std::string_view cp932) {
    const std::wstring wide = wideFromCp932(cp932);
    const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr) return false;
    void* target = GlobalLock(memory);
    if (target == nullptr) {
        GlobalFree(memory);
        return false;
    }
    std::memcpy(target, wide.c_str(), bytes);
    GlobalUnlock(memory);
    return place(owner, CF_UNICODETEXT, memory);
}

}  // namespace ui::win32
