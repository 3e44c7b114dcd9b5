// CAboutDlg: the About box, dialog 100 (the application icon and the "确定" button).
// Opened by the Help menu's "关于(&A)" and by the system menu's About item alike.
#pragma once

#include "platform/ui/wnd.h"

class CAboutDlg : public CDialogEx
{
public:
    CAboutDlg();

protected:
    // IDOK (the button or Enter): the dialog's data exchange, then the end with IDOK.
    // Escape and the close box end it with IDCANCEL by the default handling.
    void OnOkButton();

    DECLARE_MESSAGE_MAP()
};
