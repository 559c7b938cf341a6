#include "platform/ui_win32_edit_limit.h"

#include "platform/edit_byte_limit.h"
#include "platform/ui_win32_text.h"

namespace ui::win32 {

void EditByteLimits::setLimit(int id, int bytes) {
    edits_[id].limitBytes = bytes > 0 ? std::optional<int>(bytes) : std::nullopt;
}

void EditByteLimits::remember(Edit& edit, HWND control) {
    const std::wstring now = windowText(control);
    edit.lastText.assign(now.begin(), now.end());
}

bool EditByteLimits::changed(int id, HWND control) {
    Edit& edit = edits_[id];
    if (edit.correcting) return false;  // the correction below; the change is reported once
    const std::wstring wide = windowText(control);
    const std::u16string now(wide.begin(), wide.end());
    if (!edit.programWrite && edit.limitBytes) {
        const auto fitted = editlimit::fitUserChange(edit.lastText, now,
                                                     static_cast<std::size_t>(*edit.limitBytes));
        if (fitted) {
            const bool refused = fitted->text == edit.lastText;
            const std::wstring kept(fitted->text.begin(), fitted->text.end());
            edit.correcting = true;
            SetWindowTextW(control, kept.c_str());
            SendMessageW(control, EM_SETSEL, fitted->caret, fitted->caret);
            edit.correcting = false;
            edit.lastText = fitted->text;
            if (refused) {
                MessageBeep(MB_OK);
                return false;
            }
            return true;
        }
    }
    edit.lastText = now;
    return true;
}

}  // namespace ui::win32
