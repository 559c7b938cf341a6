// The byte limit of the Win32 backend's edits: the system's edit counts
// UTF-16 units, the program CP932 bytes. A user's change that passes the
// limit is cut back at once, before the dialog hears of it; text the
// program writes is not limited. A limit of 0 or less is no limit, as the
// system's own limit of 0 is.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>

namespace ui::win32 {

class EditByteLimits {
public:
    void add(int id) { edits_[id]; }
    bool has(int id) const { return edits_.count(id) != 0; }
    void setLimit(int id, int bytes);

    // Runs write (the program's own change of the edit's text) so that the
    // change is not limited, and remembers the text it left.
    template <class Write>
    void programWrite(int id, HWND control, Write write) {
        auto found = edits_.find(id);
        if (found == edits_.end()) {
            write();
            return;
        }
        found->second.programWrite = true;
        write();
        found->second.programWrite = false;
        // A multi-line edit reports no change for a written text.
        remember(found->second, control);
    }

    // The edit reported a change: true when the dialog is to hear of it,
    // false when it was the limit's own correction or a refused change.
    bool changed(int id, HWND control);

private:
    struct Edit {
        std::optional<int> limitBytes;
        std::u16string lastText;
        bool programWrite = false;
        bool correcting = false;
    };
    static void remember(Edit& edit, HWND control);
    std::map<int, Edit> edits_;
};

}  // namespace ui::win32
