// The main window's caption, changed through the title bar dialog.
#include "window/monitor_dlg.h"
#include "window/title_bar_dlg.h"

void CMonitorDlg::OnChangeTitleBar() {
    CTitleBarDlg dialog(this);
    dialog.text = titleText;
    if (dialog.DoModal() == ui::idOk) {
        titleText = dialog.text;
        SetTitle(titleText);
    }
}
