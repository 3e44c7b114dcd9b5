// The merge of recovered records into the call-record table and the main window's list:
// duplicates of records in use and numbers "-1" are dropped, the rest appended in the
// order found, and the count reported in a message box and the window title.
#pragma once

#include <cstdint>

#include "reader/call_record.h"

class CWnd;

// Appends the kept records of records[0 .. count - 1] (read only; the caller frees
// them) at CallRecordTable.recordCount and at the same item indexes of control 1000 of
// mainWindow, then raises recordCount by the number appended. A record with overlong 0
// whose callTime, location and number all equal those of a record in use at the start
// is dropped; so is one whose number is "-1". Records that would pass the table's
// 100,000 entries are left out, and a second message says so.
void MergeRecoveredRecords(CWnd* mainWindow, const CallRecord* records, std::int32_t count);
