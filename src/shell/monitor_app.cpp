#include "shell/monitor_app.h"

#include "platform/sock.h"
#include "window/monitor_dlg.h"

bool CMonitorApp::InitInstance() {
    // A failed start is not examined: later socket calls report their own errors.
    sock::startup();
    {
        CMonitorDlg dlg;
        dlg.DoModal();
    }
    sock::cleanup();
    return false;
}
