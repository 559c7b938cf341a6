// The two programs built from this tree. Each build includes the
// variant_constants.h of its own program folder.
#pragma once

#include "platform/ui.h"

namespace variant {
enum class Product { Kelvane, Sorrel };

// Layout of the main window (template 102) of the program being built.
const ui::DialogLayout& mainDialogLayout();
}  // namespace variant
