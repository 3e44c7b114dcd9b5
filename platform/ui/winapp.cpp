// CWinApp: the single application object, its name, AfxWinMain, and the start-up calls
// that have no meaning on Linux.
#include <QApplication>

#include "platform/ui/peer.h"
#include "platform/ui/winapp.h"

namespace {
CWinApp* g_app = nullptr;
std::string g_appName;                         // AfxSetAppName's, or argv[0]'s
const char* const kUnknownAppName = "Peldmark";

// "/usr/bin/Peldmark.exe" -> "Peldmark"
std::string NameFromPath(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}
}  // namespace

CWinApp::CWinApp(const char* appName)
{
    if (appName != nullptr)
        m_pszAppName = appName;
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

BOOL CWinApp::InitInstance()
{
    // The Windows Restart Manager has no counterpart on Linux: nothing to register.
    return TRUE;
}

int CWinApp::ExitInstance()
{
    return 0;
}

void CWinApp::SetRegistryKey(const char* /*key*/)
{
    // Names where settings would go; the program keeps none, so nothing is stored.
}

HICON CWinApp::LoadIcon(UINT iconId) const
{
    return LoadIconResource(static_cast<int>(iconId));
}

void CWinApp::OnHelp()
{
    ShowHelp();
}

void CWinApp::ShowHelp()
{
    // No help file exists: the base help shows nothing.
}

CWinApp* AfxGetApp()
{
    return g_app;
}

CWnd* AfxGetMainWnd()
{
    return g_app != nullptr ? g_app->m_pMainWnd : nullptr;
}

std::string AfxGetAppName()
{
    if (g_app != nullptr && !g_app->m_pszAppName.empty())
        return g_app->m_pszAppName;
    return g_appName.empty() ? std::string(kUnknownAppName) : g_appName;
}

void AfxSetAppName(const std::string& name)
{
    g_appName = name;
}

int AfxWinMain(int argc, char** argv)
{
    // Only the program's name is read: the rest of the command line has no effect.
    if (argc > 0 && argv != nullptr && argv[0] != nullptr) {
        AfxSetAppName(NameFromPath(argv[0]));
        SetQtProgramName(argv[0]);
    }
    EnsureQtApplication();
    CWinApp* app = AfxGetApp();
    if (app == nullptr)
        return 1;   // no application object: nothing to run
    if (app->m_pszAppName.empty())
        app->m_pszAppName = AfxGetAppName();
    if (app->InitInstance() && app->m_pMainWnd != nullptr) {
        // InitInstance left a window running: serve it until the last window closes.
        QObject::connect(qApp, &QGuiApplication::lastWindowClosed, qApp, &QCoreApplication::quit);
        QApplication::exec();
    }
    return app->ExitInstance();
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* /*init*/)
{
    return TRUE;   // Qt's widgets need no registration: nothing happens.
}

void AfxEnableControlContainer()
{
    // No ActiveX controls on Linux: nothing happens.
}
