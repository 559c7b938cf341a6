// Keys, the minimised window's icon, and the end of the main window.
#include "window/history_dlg.h"
#include "window/monitor_dlg.h"

bool CMonitorDlg::PreTranslateMessage(const ui::KeyMessage& message) {
    // Enter goes to the focused control as a plain keystroke: it neither
    // ends the window (which has no OK button) nor presses a button.
    if (message.key == ui::Key::Enter) return false;
    return ui::Dialog::PreTranslateMessage(message);
}

bool CMonitorDlg::OnPaint(ui::PaintContext& context) {
    if (!IsIconic()) return false;
    context.eraseIconBackground();
    const ui::Size icon = SystemIconSize();
    const ui::Size client = GetClientSize();
    context.drawIcon((client.cx - icon.cx + 1) / 2, (client.cy - icon.cy + 1) / 2);
    return true;
}

void CMonitorDlg::OnDestroy() {
    if (historyDlg) historyDlg->DestroyWindow();
    // Both programs end their workers before the window goes: the ui layer
    // joins every worker right after this handler. Once the connections
    // are stopped, every answered frame's line is with the log's writer.
    stopWorkersForClose();
    eventLog.finish();
}
