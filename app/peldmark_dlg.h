// CPeldmarkDlg, the main window: dialog 102 with the six-column call list, the status
// line and menu 129. Its handlers live in one file per feature: dlg_window.cpp (set-up,
// painting, keys, row colours), dlg_open.cpp, list_refill.cpp, dlg_commands.cpp and
// dlg_export.cpp.
#pragma once

#include <cstdint>

#include "platform/ui/wnd.h"

class CPeldmarkDlg : public CDialogEx
{
public:
    explicit CPeldmarkDlg(CWnd* parent = nullptr);
    ~CPeldmarkDlg() override;

    HICON m_hAppIcon;          // icon 5; shared, never destroyed
    CListCtrl m_listCalls;     // control 1000, bound by DoDataExchange

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnOkCommand();
    void OnExit();
    void OnOpenDatabase();
    void OnExportRecords();
    void OnRecoverDeleted();
    void OnCustomDrawList(NMHDR* header, LRESULT* result);
    void OnOpenHomePage();
    void OnOpenUsagePage();
    void OnAppAbout();

    DECLARE_MESSAGE_MAP()
};

// The six list columns: title (code page 936) and width in pixels, in column order.
struct CallListColumn
{
    const char* title;
    int widthPixels;
};
constexpr int kCallListColumnCount = 6;
extern const CallListColumn kCallListColumns[kCallListColumnCount];

// The text colour of list row `row`: black for a live row (below firstRecoveredIndex),
// pure red (COLORREF 0xFF) for a recovered one.
COLORREF callRowTextColor(std::int32_t row, std::int32_t firstRecoveredIndex);

// Where the minimised window draws its icon: (clientSize - iconSize + 1) / 2 in signed
// 32-bit arithmetic, truncating toward zero (37 and 32 give 3, 20 and 32 give -5).
int centredIconOrigin(int clientSize, int iconSize);
