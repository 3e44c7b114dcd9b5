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

namespace {

// iPhone stores "<<RecentsNumberLocationNotFound>>" and the like where it knows no
// location; the first two bytes decide, so "<<" alone is blanked too.
const char* iphoneLocationShown(const std::string& location)
{
    return location.compare(0, 2, "<<") == 0 ? "" : location.c_str();
}

const char* androidLocationShown(const std::string& location)
{
    return location.c_str();
}

void setStatusLine(CPeldmarkDlg& dialog, const std::string& text)
{
    if (CWnd* status = dialog.GetDlgItem(IDC_STATUS))
        status->SetWindowText(text.c_str());
}

template <typename LocationRule>
void refillFromTable(CPeldmarkDlg& dialog, LocationRule locationShown)
{
    CListCtrl& list = dialog.m_listCalls;
    list.DeleteAllItems();
    const std::int32_t count = CallRecordTable.recordCount;
    CallRecordTable.firstRecoveredIndex = count;
    for (std::int32_t item = 0; item < count; ++item) {
        const CallRecord& record = CallRecordTable.records[count - 1 - item];
        list.InsertItem(item, record.name.c_str());
        list.SetItemText(item, 1, record.callType.c_str());
        list.SetItemText(item, 2, record.callTime.c_str());
        list.SetItemText(item, 3, record.duration.c_str());
        list.SetItemText(item, 4, locationShown(record.location));
        list.SetItemText(item, 5, record.number.c_str());
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
    refillFromTable(dialog, iphoneLocationShown);
}

void ShowAndroidRecords(CPeldmarkDlg& dialog)
{
    refillFromTable(dialog, androidLocationShown);
}

void clearCallList(CPeldmarkDlg& dialog)
{
    dialog.m_listCalls.DeleteAllItems();
    setStatusLine(dialog, std::string());
}
