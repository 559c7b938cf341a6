// The main window's history button.
#include "platform/text.h"
#include "window/history_dlg.h"
#include "window/monitor_dlg.h"

void CMonitorDlg::OnSignalHistory() {
    if (!historyDlg) historyDlg = std::make_unique<CHistoryDlg>(*this);
    if (historyDlg->IsWindowOpen()) {
        historyDlg->BringToFront();
        return;
    }
    if (!historyDlg->Create()) ShowMessage(text::jp("信号の履歴を開けません"));
}
