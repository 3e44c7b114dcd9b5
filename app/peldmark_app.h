// CPeldmarkApp, the application object: it prepares the platform, runs the main window
// as a modal dialog and ends the program when that dialog closes.
#pragma once

#include "platform/ui/winapp.h"

class CPeldmarkApp : public CWinApp
{
public:
    // Runs the main window to its end; always FALSE, so the framework skips its message
    // loop and goes straight to its exit processing.
    BOOL InitInstance() override;
    // The standard help command (ID_HELP, F1): there is no help file, so the usage page.
    void ShowHelp() override;

    DECLARE_MESSAGE_MAP()
};

extern CPeldmarkApp theApp;
