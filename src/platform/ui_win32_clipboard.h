// The clipboard of the Win32 backend: a picture as a device-independent
// bitmap, text as UTF-16.
#pragma once

#include <windows.h>

#include <string_view>

#include "platform/ui.h"

namespace ui::win32 {

// Both replace what the clipboard held; owner is the window that opens it.
bool copyImageToClipboard(HWND owner, const Image& image);
bool copyTextToClipboard(HWND owner, std::string_view cp932);

}  // namespace ui::win32
