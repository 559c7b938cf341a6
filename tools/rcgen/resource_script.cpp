#include "resource_script.h"

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <vector>

namespace rcgen {
namespace {

// One platform-neutral style bit and the resource style name it becomes.
struct StyleName {
    std::uint32_t bit;
    const char* name;
};

constexpr StyleName editStyles[] = {
    {ui::styleBorder, "WS_BORDER"},           {ui::styleDigitsOnly, "ES_NUMBER"},
    {ui::styleAutoHScroll, "ES_AUTOHSCROLL"}, {ui::styleAutoVScroll, "ES_AUTOVSCROLL"},
    {ui::styleReadOnly, "ES_READONLY"},       {ui::styleMultiline, "ES_MULTILINE"},
    {ui::styleVScroll, "WS_VSCROLL"},
};
constexpr StyleName staticStyles[] = {
    {ui::styleBorder, "WS_BORDER"},
    {ui::styleCenterVertical, "SS_CENTERIMAGE"},
};
constexpr StyleName comboStyles[] = {
    {ui::styleVScroll, "WS_VSCROLL"},
};

void append(std::string& expression, const char* name) {
    if (!expression.empty()) expression += " | ";
    expression += name;
}

// Appends the names of the bits in styles that the table knows and clears
// them from styles.
void appendNames(std::string& expression, std::uint32_t& styles, std::span<const StyleName> table) {
    for (const auto& entry : table) {
        if ((styles & entry.bit) != 0) {
            append(expression, entry.name);
            styles &= ~entry.bit;
        }
    }
}

const char* staticAlignment(std::uint32_t& styles, std::string* error) {
    const std::uint32_t alignment = styles & (ui::styleAlignRight | ui::styleAlignCenter);
    styles &= ~alignment;
    switch (alignment) {
        case 0:
            return "SS_LEFT";
        case ui::styleAlignRight:
            return "SS_RIGHT";
        case ui::styleAlignCenter:
            return "SS_CENTER";
        default:
            *error = "a static control cannot be right-aligned and centred at once";
            return nullptr;
    }
}

std::string quoted(const char* utf8) {
    std::string result = "\"";
    for (const char* p = utf8; *p != '\0'; ++p) {
        if (*p == '"') {
            result += "\"\"";
        } else if (*p == '\\') {
            result += "\\\\";
        } else {
            result += *p;
        }
    }
    return result + "\"";
}

std::string hex(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%X", value);
    return buffer;
}

}  // namespace

std::optional<VersionNumbers> parseVersion(const std::string& text) {
    int numbers[4] = {};
    std::size_t position = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (position >= text.size() || text[position] != '.') return std::nullopt;
            ++position;
        }
        const std::size_t start = position;
        long value = 0;
        while (position < text.size() && text[position] >= '0' && text[position] <= '9' &&
               position - start < 5) {
            value = value * 10 + (text[position] - '0');
            ++position;
        }
        if (position == start || value > 65535) return std::nullopt;
        numbers[i] = static_cast<int>(value);
    }
    if (position != text.size()) return std::nullopt;
    return VersionNumbers{numbers[0], numbers[1], numbers[2], numbers[3]};
}

std::optional<ControlStyle> controlStyle(const ui::ControlLayout& control, std::string* error) {
    std::uint32_t styles = control.styles;
    ControlStyle result{"", "", "0"};
    switch (control.kind) {
        case ui::Kind::PushButton:
            result.windowClass = "Button";
            append(result.style, "BS_PUSHBUTTON");
            break;
        case ui::Kind::DefPushButton:
            result.windowClass = "Button";
            append(result.style, "BS_DEFPUSHBUTTON");
            break;
        case ui::Kind::AutoCheckBox:
            result.windowClass = "Button";
            append(result.style, "BS_AUTOCHECKBOX");
            break;
        case ui::Kind::GroupBox:
            result.windowClass = "Button";
            append(result.style, "BS_GROUPBOX");
            break;
        case ui::Kind::Static: {
            result.windowClass = "Static";
            const char* alignment = staticAlignment(styles, error);
            if (alignment == nullptr) return std::nullopt;
            append(result.style, alignment);
            appendNames(result.style, styles, staticStyles);
            if ((styles & ui::styleSunkenEdge) != 0) {
                result.exStyle = "WS_EX_STATICEDGE";
                styles &= ~ui::styleSunkenEdge;
            }
            break;
        }
        case ui::Kind::EtchedLine:
            result.windowClass = "Static";
            append(result.style, "SS_ETCHEDHORZ");
            break;
        case ui::Kind::Edit:
            result.windowClass = "Edit";
            append(result.style, "ES_LEFT");
            appendNames(result.style, styles, editStyles);
            break;
        case ui::Kind::DropDownList:
            result.windowClass = "ComboBox";
            append(result.style, "CBS_DROPDOWNLIST");
            appendNames(result.style, styles, comboStyles);
            break;
        case ui::Kind::Surface:
            result.windowClass = ui::surfaceWindowClass;
            // Its children and siblings are not drawn over.
            append(result.style, "WS_CLIPCHILDREN");
            break;
        case ui::Kind::HScrollBar:
            result.windowClass = "ScrollBar";
            append(result.style, "SBS_HORZ");
            break;
    }
    if ((styles & ui::styleTabStop) != 0) {
        append(result.style, "WS_TABSTOP");
        styles &= ~ui::styleTabStop;
    }
    if (styles != 0) {
        *error = "control " + std::to_string(control.id) + " has styles " + hex(styles) +
                 " that its kind cannot carry";
        return std::nullopt;
    }
    return result;
}

std::optional<std::string> dialogTemplate(const ui::DialogLayout& layout, std::string* error) {
    std::string style = "WS_POPUP";
    if ((layout.frameStyles & ui::frameModal) != 0) append(style, "DS_MODALFRAME");
    if ((layout.frameStyles & ui::frameVisible) != 0) append(style, "WS_VISIBLE");
    if ((layout.frameStyles & ui::frameCaption) != 0) append(style, "WS_CAPTION");
    if ((layout.frameStyles & ui::frameSysMenu) != 0) append(style, "WS_SYSMENU");
    if ((layout.frameStyles & ui::frameResizable) != 0) {
        append(style, "WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX");
    }

    std::ostringstream out;
    out << layout.templateId << " DIALOGEX 0, 0, " << layout.cx << ", " << layout.cy << "\n";
    out << "STYLE " << style << "\n";
    if ((layout.frameStyles & ui::frameAppWindow) != 0) out << "EXSTYLE WS_EX_APPWINDOW\n";
    out << "CAPTION " << quoted(layout.caption) << "\n";
    // Weight 400, not italic, the Japanese character set.
    out << "FONT " << layout.fontPoints << ", " << quoted(layout.fontFace) << ", 400, 0, 0x80\n";
    out << "BEGIN\n";
    for (const auto& control : layout.controls) {
        const auto mapped = controlStyle(control, error);
        if (!mapped) return std::nullopt;
        out << "    CONTROL " << quoted(control.text) << ", " << control.id << ", \""
            << mapped->windowClass << "\", " << mapped->style << ", " << control.x << ", "
            << control.y << ", " << control.cx << ", " << control.cy << ", " << mapped->exStyle
            << "\n";
    }
    out << "END\n";
    return out.str();
}

std::optional<std::string> resourceScript(const ProgramResources& program, std::string* error) {
    const auto& v = program.version;
    const std::string numbers = std::to_string(v.major) + "," + std::to_string(v.minor) + "," +
                                std::to_string(v.build) + "," + std::to_string(v.revision);
    const std::string dotted = std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
                               std::to_string(v.build) + "." + std::to_string(v.revision);
    const std::string name = quoted(program.productName);

    std::ostringstream out;
    out << "// Generated by rcgen from the programs' dialog layout tables. Do not edit.\n"
        << "#pragma code_page(65001)\n"
        << "#include <windows.h>\n\n"
        << "LANGUAGE LANG_JAPANESE, SUBLANG_DEFAULT\n\n"
        << program.iconId << " ICON " << quoted(program.iconPath.c_str()) << "\n\n";
    for (const ui::DialogLayout* layout : program.dialogs) {
        const auto dialog = dialogTemplate(*layout, error);
        if (!dialog) return std::nullopt;
        out << *dialog << "\n";
    }
    out << "1 VERSIONINFO\n"
        << "FILEVERSION " << numbers << "\n"
        << "PRODUCTVERSION " << numbers << "\n"
        << "FILEFLAGSMASK VS_FFI_FILEFLAGSMASK\n"
        << "FILEFLAGS 0\n"
        << "FILEOS VOS_NT_WINDOWS32\n"
        << "FILETYPE VFT_APP\n"
        << "FILESUBTYPE VFT2_UNKNOWN\n"
        << "BEGIN\n"
        << "    BLOCK \"StringFileInfo\"\n"
        << "    BEGIN\n"
        << "        BLOCK \"041104B0\"\n"
        << "        BEGIN\n"
        << "            VALUE \"FileDescription\", " << name << "\n"
        << "            VALUE \"FileVersion\", \"" << dotted << "\"\n"
        << "            VALUE \"InternalName\", " << name << "\n"
        << "            VALUE \"OriginalFilename\", \"" << program.productName << ".exe\"\n"
        << "            VALUE \"ProductName\", " << name << "\n"
        << "            VALUE \"ProductVersion\", \"" << dotted << "\"\n"
        << "        END\n"
        << "    END\n"
        << "    BLOCK \"VarFileInfo\"\n"
        << "    BEGIN\n"
        << "        VALUE \"Translation\", 0x0411, 0x04B0\n"
        << "    END\n"
        << "END\n";
    return out.str();
}

}  // namespace rcgen
