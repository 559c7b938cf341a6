// Surfaces of the Win32 backend: the window class of the surface control,
// which paints through the dialog's paint handler into a bitmap first and
// then onto the screen in one step, and passes its mouse to the dialog.
#pragma once

#include <windows.h>

#include "platform/ui.h"

namespace ui::win32 {

// Registers the class the dialog templates name; once per process.
bool registerSurfaceClass();
// Ties a surface of a dialog to that dialog's handlers.
void attachSurface(HWND surface, Dialog& dialog);
// What the surface shows, painted afresh.
Image captureSurface(HWND surface);
// The wheel over a surface that the dialog received (it went to the focus).
bool wheelOverSurface(HWND dialog, WPARAM wParam, LPARAM lParam);

}  // namespace ui::win32
