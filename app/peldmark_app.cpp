// The one application object and its start-up: the platform calls that mean nothing on
// Linux are still made in their order, then the main window runs modally.
#include "app/peldmark_app.h"

#include <memory>

#include "app/peldmark_dlg.h"
#include "app/resources.h"
#include "app/site_pages.h"

namespace {

const char* const kRegistryKey = "应用程序向导生成的本地应用程序";

}  // namespace

CPeldmarkApp theApp;

BEGIN_MESSAGE_MAP(CPeldmarkApp, CWinApp)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

BOOL CPeldmarkApp::InitInstance()
{
    // The module's resources: on Windows they are in the executable's resource section.
    RegisterPeldmarkResources();

    INITCOMMONCONTROLSEX commonControls;
    commonControls.dwSize = sizeof(commonControls);
    commonControls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&commonControls);

    CWinApp::InitInstance();
    AfxEnableControlContainer();
    auto shellManager = std::make_unique<CShellManager>();
    SetRegistryKey(kRegistryKey);

    CPeldmarkDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    shellManager.reset();
    return FALSE;
}

void CPeldmarkApp::ShowHelp()
{
    openWebPage(usagePageAddress());
}
