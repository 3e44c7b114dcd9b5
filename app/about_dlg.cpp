// The About box: dialog 100 with no members of its own and one message-map entry.
#include "app/about_dlg.h"

#include "app/resource_ids.h"

CAboutDlg::CAboutDlg() : CDialogEx(IDD_ABOUTBOX)
{
}

BEGIN_MESSAGE_MAP(CAboutDlg, CDialogEx)
    ON_COMMAND(IDOK, &CAboutDlg::OnOkButton)
END_MESSAGE_MAP()

void CAboutDlg::OnOkButton()
{
    CDialog::OnOK();
}
