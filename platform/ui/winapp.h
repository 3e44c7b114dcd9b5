// CWinApp, the application object, and the start-up calls that mean nothing on Linux.
#pragma once

#include <string>

#include "platform/ui/wnd.h"

class CWinApp : public CCmdTarget
{
public:
    // Registers this object as the application. appName null: the executable's file name
    // without its extension (set when AfxWinMain runs).
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();     // base: nothing observable; returns TRUE
    virtual int ExitInstance();      // returns the exit code (0)
    void SetRegistryKey(const char* key);   // names a settings key; nothing is stored
    HICON LoadIcon(UINT iconId) const;      // a registered icon resource, or null
    // The standard ID_HELP command (an application maps it with
    // ON_COMMAND(ID_HELP, &CWinApp::OnHelp)); it calls ShowHelp.
    void OnHelp();
    // What the help command shows. The base has no help file and shows nothing; an
    // application overrides it, for example to open its usage page.
    virtual void ShowHelp();

    CWnd* m_pMainWnd = nullptr;
    std::string m_pszAppName;

    DECLARE_MESSAGE_MAP()
};

CWinApp* AfxGetApp();
// Runs the application: Qt start-up, InitInstance, then (as InitInstance returns FALSE)
// ExitInstance. Returns the exit code. Of the command line only argv[0] is read (the
// application's name); the rest has no effect.
int AfxWinMain(int argc, char** argv);

// Nothing on Linux: the common controls, control containers, the shell manager.
struct INITCOMMONCONTROLSEX { DWORD dwSize; DWORD dwICC; };
constexpr DWORD ICC_WIN95_CLASSES = 0xFF;
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init);
void AfxEnableControlContainer();
class CShellManager {};   // nothing on Linux: the shell's dialogs are Qt's
