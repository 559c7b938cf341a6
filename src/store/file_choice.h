// The file a user picks for the log or the settings. A path that CP932
// cannot hold is refused where it is chosen, with a message that says why,
// so that no other file than the one chosen is ever written or read.
#pragma once

#include <optional>
#include <string>

#include "platform/ui.h"

namespace store {

// The CP932 path chosen; nothing after a cancel or a refusal.
std::optional<std::string> chooseFile(ui::Dialog& owner, const ui::FileDialogRequest& request);

}  // namespace store
