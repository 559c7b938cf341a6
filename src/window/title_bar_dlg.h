// The small dialog that edits the main window's caption.
#pragma once

#include <string>

#include "platform/ui.h"

// Template 134, the same in both programs.
const ui::DialogLayout& titleBarDialogLayout();

class CTitleBarDlg : public ui::Dialog {
public:
    explicit CTitleBarDlg(ui::Dialog* owner);

    bool OnInitDialog() override;
    void OnOK() override;

    ui::Control titleEdit;
    std::string text;
};
