// The Open command: choose a file, empty the table, remember the path, tell the phone by
// the end of the name, read the calls and the call table's columns through SQLite on a
// private copy of the file, refill the list, say why an iPhone file gave no calls, and
// close the database last.
#include "app/peldmark_dlg.h"

#include <string>

#include "app/list_refill.h"
#include "platform/crt.h"
#include "reader/call_log_database.h"
#include "reader/call_rows.h"
#include "reader/call_log_variant.h"
#include "reader/call_record.h"
#include "recovery/schema_capture.h"

namespace {

const char* const kOpenFilter = "通讯录文件 (*.*)|*.*||";
const char* const kNotACallLog = "你打开的不是通讯录文件";
const char* const kRowsLeftOut = "通话记录超过100000条，只载入了前100000条。";

// Why an iPhone file gave no calls; empty when it was read.
std::string unreadIphoneFileText(IphoneReadResult result, const std::string& path)
{
    switch (result) {
    case IphoneReadResult::NoCallTable:
        return "文件 " + path + " 中没有本程序能读取的通话记录表。";
    case IphoneReadResult::NotADatabase:
        return "文件 " + path + " 不是 SQLite 数据库。";
    case IphoneReadResult::Read:
        break;
    }
    return std::string();
}

}  // namespace

void CPeldmarkDlg::OnOpenDatabase()
{
    _tzset();   // this command's call times are in the zone as it is now
    CFileDialog dialog(TRUE, nullptr, nullptr, OFN_HIDEREADONLY, kOpenFilter, nullptr, 0,
                       TRUE);
    if (dialog.DoModal() != IDOK)
        return;

    // The table is emptied here whatever follows, so the list goes with it: it never
    // shows rows the table no longer holds (after a refused name, a failed open, or a
    // command ended by an exception). The refill fills it again.
    CallRecordTable.Reset();
    clearCallList(*this);
    OpenFilePath = dialog.GetPathName();

    const CallLogVariant variant = FindCallLogVariant(OpenFilePath);
    if (variant == CallLogVariant::None) {
        MessageBox(kNotACallLog, "");
        return;
    }

    // Emptied first, so that a file that cannot be read leaves no earlier file's columns
    // for Recover to carve the new file with.
    EmptyColumnSchemaFamily(variant);
    // Lives to the end of the command: the database closes after the refill and the
    // message, last of all, and its private copy goes with it. A copy that fails raises
    // CFileException (the file and the reason), which ends the command here and which
    // the dispatch shows in the standard error box on this window.
    CallLogConnection connection(OpenFilePath);
    if (!connection.IsOpen())
        return;
    std::string unread;
    if (IsIphoneVariant(variant)) {
        unread = unreadIphoneFileText(ReadIphoneCallRows(connection), OpenFilePath);
        CaptureColumnSchema(connection, variant);
        ShowIphoneRecords(*this);
    } else {
        ReadAndroidCallRows(connection, *this);
        CaptureColumnSchema(connection, variant);
        ShowAndroidRecords(*this);
    }
    if (!unread.empty())
        MessageBox(unread.c_str());
    if (CallRecordTable.rowsLeftOut)
        MessageBox(kRowsLeftOut);
}
