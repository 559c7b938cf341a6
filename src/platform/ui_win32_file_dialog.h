// The system's common open and save dialogs.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/ui.h"

namespace ui::win32 {

// The full path chosen (CP932), a cancel, or a path that CP932 cannot hold.
FileChoice runFileDialog(HWND owner, const FileDialogRequest& request);

}  // namespace ui::win32
