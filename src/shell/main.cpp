#include "platform/ui.h"
#include "shell/monitor_app.h"
#include "variant_constants.h"

int main() {
    ui::setApplicationName(variant::productName);
    CMonitorApp app;
    app.InitInstance();
    return 0;
}
