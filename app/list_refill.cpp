// The list refill after an open: the records of CallRecordTable, last read first, into
// the main window's list, the count into the status line, and the dialog's caption back
// on the main window.
#include "app/list_refill.h"

#include <string>

#include "app/peldmark_dlg.h"
#include "app/resource_ids.h"
#include "app/resources.h"
#include "platform/ui/winapp.h"
#include "reader/call_record.h"
#include "recovery/merge.h"

namespace {

void setStatusLine(CPeldmarkDlg& dialog, const std::string& text)
{
    if (CWnd* status = dialog.GetDlgItem(IDC_STATUS))
        status->SetWindowText(text.c_str());
}

void refillFromTable(CPeldmarkDlg& dialog, PlaceholderLocation placeholder)
{
    CListCtrl& list = dialog.m_listCalls;
    list.DeleteAllItems();
    const std::int32_t count = CallRecordTable.recordCount;
    CallRecordTable.firstRecoveredIndex = count;
    for (std::int32_t item = 0; item < count; ++item) {
        InsertCallRow(list, item, CallRecordTable.records[count - 1 - item], placeholder);
    }
    setStatusLine(dialog, "共成功导出：" + std::to_string(count) + " 条通话记录");
    // A recovery on the file opened before wrote its count into the title; no row of
    // this file is recovered yet.
    if (CWnd* mainWindow = AfxGetMainWnd())
        mainWindow->SetWindowText(kMainWindowCaption);
}

}  // namespace

void ShowIphoneRecords(CPeldmarkDlg& dialog)
{
    refillFromTable(dialog, PlaceholderLocation::Blanked);
}

void ShowAndroidRecords(CPeldmarkDlg& dialog)
{
    refillFromTable(dialog, PlaceholderLocation::Shown);
}

void clearCallList(CPeldmarkDlg& dialog)
{
    dialog.m_listCalls.DeleteAllItems();
    setStatusLine(dialog, std::string());
}
