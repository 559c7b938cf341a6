// The system's common open and save dialogs.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/ui.h"

namespace ui::win32 {

// The full path chosen (CP932), or nothing when the user cancelled.
std::optional<std::string> runFileDialog(HWND owner, const FileDialogRequest& request);

}  // namespace ui::win32
