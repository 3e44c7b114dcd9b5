// Rebuilding the main window's list from CallRecordTable after an open, and emptying it
// when an open leaves the table empty.
#pragma once

class CPeldmarkDlg;

// Both refills: list rows = records recordCount - 1 down to 0 (last read first),
// firstRecoveredIndex = recordCount, status line "共成功导出：N 条通话记录", and the
// dialog's caption back as the title of the application's main window. The iPhone
// refill blanks a location that starts with "<<"; the Android refill shows the location
// as stored.
void ShowIphoneRecords(CPeldmarkDlg& dialog);
void ShowAndroidRecords(CPeldmarkDlg& dialog);

// Empties the list and the status line, so the list never shows rows that the table no
// longer holds: an open calls it as it empties the table.
void clearCallList(CPeldmarkDlg& dialog);
