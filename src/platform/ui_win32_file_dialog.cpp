#include "platform/ui_win32_file_dialog.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "platform/ui_win32_text.h"

namespace ui::win32 {
namespace {

// Room for the longest path the system's file names allow.
constexpr std::size_t pathUnits = 32768;

// "a|b|c||" becomes the system's list of terminated strings. The bars are
// replaced after the conversion, so a double-byte character whose second
// byte is the bar's code stays whole.
std::wstring systemFilter(const std::string& cp932Filter) {
    std::wstring filter = wideFromCp932(cp932Filter);
    std::replace(filter.begin(), filter.end(), L'|', L'\0');
    return filter;
}

}  // namespace

FileChoice runFileDialog(HWND owner, const FileDialogRequest& request) {
    const std::wstring filter = systemFilter(request.filter);
    const std::wstring extension = wideFromCp932(request.defaultExtension);
    const std::wstring initial = wideFromCp932(request.initialPath);

    std::vector<wchar_t> file(pathUnits, L'\0');
    std::copy_n(initial.begin(), std::min(initial.size(), pathUnits - 1), file.begin());

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    // The program works with full paths only; the current folder stays.
    dialog.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR;
    if (request.hideReadOnly) dialog.Flags |= OFN_HIDEREADONLY;
    if (request.save && request.overwritePrompt) dialog.Flags |= OFN_OVERWRITEPROMPT;

    const BOOL chosen = request.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!chosen) return {};
    const std::wstring_view path(file.data());
    return FileChoice::chosen(text::utf16ToCp932Exact(std::u16string(path.begin(), path.end())));
}

}  // namespace ui::win32
