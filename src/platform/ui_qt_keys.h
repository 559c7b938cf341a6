// Qt's keys as the dialog framework names them: the platform's virtual-key
// codes (ui::vk, letters and digits), Enter and Escape.
#pragma once

#include <QKeyEvent>

#include "platform/ui.h"

namespace ui::qt {

KeyMessage toKeyMessage(const QKeyEvent& event);

}  // namespace ui::qt
