// The Windows resource script of one program: dialog templates written from
// the same layout tables the other window backends build their windows from,
// the program icon and the version resource.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "platform/ui.h"

namespace rcgen {

struct VersionNumbers {
    int major = 0, minor = 0, build = 0, revision = 0;
};

// Parses "1.0.3.0"; nothing when the text is not four numbers 0 to 65535.
std::optional<VersionNumbers> parseVersion(const std::string& text);

// Window class and style expression of one control, or nothing (with the
// reason in *error) when its styles do not belong to its kind.
struct ControlStyle {
    const char* windowClass;
    std::string style;    // WS_/BS_/SS_/ES_/CBS_ names joined with " | "
    std::string exStyle;  // "0" when there is none
};
std::optional<ControlStyle> controlStyle(const ui::ControlLayout& control, std::string* error);

// A DIALOGEX statement; nothing (with the reason in *error) when a control's
// styles do not fit its kind.
std::optional<std::string> dialogTemplate(const ui::DialogLayout& layout, std::string* error);

struct ProgramResources {
    const char* productName;  // "Kelvane"
    int iconId;
    std::string iconPath;  // as the resource compiler shall open it
    VersionNumbers version;
    std::span<const ui::DialogLayout* const> dialogs;
};

// The whole script, UTF-8, for a resource compiler reading code page 65001.
std::optional<std::string> resourceScript(const ProgramResources& program, std::string* error);

}  // namespace rcgen
