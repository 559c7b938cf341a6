// The layout of the signal history window, the same in both programs.
#pragma once

#include "platform/ui.h"

// Template 140.
const ui::DialogLayout& historyDialogLayout();
