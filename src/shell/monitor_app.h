// The application object: starts the socket library, runs the main window
// as a modal dialog, and shuts the library down again.
#pragma once

class CMonitorApp {
public:
    // Always false: the program ends when the main window's run ends.
    bool InitInstance();
};
