// The main window itself: construction, data exchange, set-up of the system menu, the
// icons and the list, the message map, painting while minimised, the Enter and Escape
// keys and the row colours of the list.
#include "app/peldmark_dlg.h"

#include "app/about_dlg.h"
#include "app/resource_ids.h"
#include "platform/ui/resources.h"
#include "platform/ui/winapp.h"
#include "reader/call_record.h"

const CallListColumn kCallListColumns[kCallListColumnCount] = {
    {"姓名", 80},   {"来电或去电", 80}, {"通话时间", 150},
    {"通话时长", 80}, {"归属地", 100},    {"通话号码", 120},
};

namespace {

constexpr DWORD kListStyles = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
// Grid lines, header drag and drop, full-row select; every other extended bit cleared.
constexpr DWORD kListExtendedStyle =
    LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT;
static_assert(kListExtendedStyle == 0x31, "the list's extended style is exactly 0x31");

constexpr COLORREF kLiveRowColor = RGB(0, 0, 0);
constexpr COLORREF kRecoveredRowColor = RGB(255, 0, 0);
static_assert(kRecoveredRowColor == 0xFF, "COLORREF is 0x00BBGGRR");

}  // namespace

COLORREF callRowTextColor(std::int32_t row, std::int32_t firstRecoveredIndex)
{
    return row < firstRecoveredIndex ? kLiveRowColor : kRecoveredRowColor;
}

int centredIconOrigin(int clientSize, int iconSize)
{
    return (clientSize - iconSize + 1) / 2;
}

CPeldmarkDlg::CPeldmarkDlg(CWnd* parent) : CDialogEx(IDD_PELDMARK_DIALOG, parent)
{
    // Loaded once the list member exists; null only without an application object.
    CWinApp* app = AfxGetApp();
    m_hAppIcon = app != nullptr ? app->LoadIcon(IDR_MAINFRAME) : nullptr;
}

CPeldmarkDlg::~CPeldmarkDlg() = default;

void CPeldmarkDlg::DoDataExchange(CDataExchange* dx)
{
    CDialogEx::DoDataExchange(dx);
    DDX_Control(dx, IDC_LIST_CALLS, m_listCalls);
}

BEGIN_MESSAGE_MAP(CPeldmarkDlg, CDialogEx)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_COMMAND(IDOK, &CPeldmarkDlg::OnOkCommand)
    ON_COMMAND(IDCANCEL, &CPeldmarkDlg::OnExit)
    ON_COMMAND(ID_OPEN_DATABASE, &CPeldmarkDlg::OnOpenDatabase)
    ON_COMMAND(ID_EXPORT_RECORDS, &CPeldmarkDlg::OnExportRecords)
    ON_COMMAND(ID_RECOVER_DELETED, &CPeldmarkDlg::OnRecoverDeleted)
    ON_NOTIFY(NM_CUSTOMDRAW, IDC_LIST_CALLS, &CPeldmarkDlg::OnCustomDrawList)
    ON_COMMAND(ID_APP_EXIT_COMMAND, &CPeldmarkDlg::OnExit)
    ON_COMMAND(ID_HOME_PAGE, &CPeldmarkDlg::OnOpenHomePage)
    ON_COMMAND(ID_USAGE_PAGE, &CPeldmarkDlg::OnOpenUsagePage)
    ON_COMMAND(ID_APP_ABOUT, &CPeldmarkDlg::OnAppAbout)
END_MESSAGE_MAP()

BOOL CPeldmarkDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();

    if (CMenu* systemMenu = GetSystemMenu(FALSE)) {
        const std::string* aboutText = FindStringResource(IDS_ABOUTBOX);
        if (aboutText && !aboutText->empty()) {
            systemMenu->AppendMenu(MF_SEPARATOR);
            systemMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, aboutText->c_str());
        }
    }

    SetIcon(m_hAppIcon, TRUE);
    SetIcon(m_hAppIcon, FALSE);

    m_listCalls.ModifyStyle(0, kListStyles);
    m_listCalls.SetExtendedStyle(kListExtendedStyle);
    m_listCalls.DeleteAllItems();
    for (int column = 0; column < kCallListColumnCount; ++column)
        m_listCalls.InsertColumn(column, kCallListColumns[column].title, LVCFMT_LEFT);
    for (int column = 0; column < kCallListColumnCount; ++column)
        m_listCalls.SetColumnWidth(column, kCallListColumns[column].widthPixels);
    return TRUE;
}

void CPeldmarkDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    if ((nID & kSystemCommandMask) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
        return;
    }
    CDialogEx::OnSysCommand(nID, lParam);
}

void CPeldmarkDlg::OnPaint()
{
    if (!IsIconic()) {
        CDialogEx::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.m_hDC), 0);
    const int cxIcon = GetSystemMetrics(SM_CXICON);
    const int cyIcon = GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    const int x = centredIconOrigin(static_cast<int>(rect.right - rect.left), cxIcon);
    const int y = centredIconOrigin(static_cast<int>(rect.bottom - rect.top), cyIcon);
    dc.DrawIcon(x, y, m_hAppIcon);
}

HCURSOR CPeldmarkDlg::OnQueryDragIcon()
{
    return m_hAppIcon;
}

void CPeldmarkDlg::OnOkCommand()
{
    // Enter neither closes the window nor starts a command.
}

void CPeldmarkDlg::OnExit()
{
    CDialog::OnCancel();
}

void CPeldmarkDlg::OnCustomDrawList(NMHDR* header, LRESULT* result)
{
    auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
    *result = CDRF_DODEFAULT;
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
        *result = CDRF_NOTIFYITEMDRAW;
    } else if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        const auto row = static_cast<std::int32_t>(draw->nmcd.dwItemSpec);
        draw->clrText = callRowTextColor(row, CallRecordTable.firstRecoveredIndex);
    }
}
