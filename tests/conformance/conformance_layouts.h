// The dialogs the conformance cases run, as layout tables: the same data
// every backend builds its windows from (the Windows test program's
// resource script is written from them).
#pragma once

#include <span>

#include "platform/ui.h"

namespace conformance {

// Controls of the form dialog, in template (tab) order.
inline constexpr int nameLabel = 100;     // static "名前(&N)", then the name edit
inline constexpr int nameEdit = 101;      // tab stop
inline constexpr int digitsEdit = 102;    // tab stop, digits only
inline constexpr int readOnlyEdit = 103;  // no tab stop, read-only
inline constexpr int disabledEdit = 104;  // tab stop, disabled by the dialog
inline constexpr int recordCheck = 105;   // "記録(&R)"
inline constexpr int pressButton = 106;   // "押す(&P)"
inline constexpr int choiceList = 107;    // drop-down list
inline constexpr int diagram = 108;       // surface
inline constexpr int limitedEdit = 109;   // tab stop

inline constexpr int formTemplate = 950;
inline constexpr int innerTemplate = 951;
inline constexpr int childTemplate = 952;

const ui::DialogLayout& formLayout();
// A small modal dialog without an owner of its own, opened from the form.
const ui::DialogLayout& innerLayout();
// A modeless window beside the form.
const ui::DialogLayout& childLayout();

// Every layout, for the resource script.
std::span<const ui::DialogLayout* const> allLayouts();

}  // namespace conformance
