// Reading the live call rows of an open call-log database into CallRecordTable: the
// iPhone statement and the Android cascade, and their sqlite3_exec row callbacks.
#pragma once

#include <cstdint>

#include "reader/call_log_database.h"

class CWnd;

// The row statements, sent exactly as written.
extern const char* const kIphoneRowsWithOriginated;  // 6 columns, tried first
extern const char* const kIphoneRows;                // 5 columns, when the first fails
extern const char* const kAndroidLogsRows;           // 7 columns, table logs
extern const char* const kAndroidCallsRows;          // 6 columns, table calls
extern const char* const kAndroidCallsRowsNoLocation; // 5 columns, table calls

// What the iPhone statements made of a file: its calls read (none, for an empty
// table); no call table they can read (no ZCALLRECORD, as in an iOS 7 call_history.db,
// or one without their columns); no SQLite database at all.
enum class IphoneReadResult { Read, NoCallTable, NotADatabase };

// Runs the 6-column iPhone statement and, only when it fails before delivering a row
// (a table without ZORIGINATED), the 5-column one, both with OnIphoneCallRow. Shows
// nothing; rows appended before a failure stay, once, and count as Read.
IphoneReadResult ReadIphoneCallRows(CallLogConnection& connection);

// The Android cascade: the logs statement; when it fails before its first row the
// calls statement; when that too fails before its first row, "打开错误2！" on owner,
// the calls statement without location, and "打开错误3！" when that fails as well (a
// stop for a full table is no failure). Rows delivered before a failure stay, once.
// Message boxes have no caption of their own.
void ReadAndroidCallRows(CallLogConnection& connection, CWnd& owner);

// Row callbacks (context unused). Each appends at most one record through
// CallRecordTable.BeginAppend/CommitAppend and returns 0; a row that finds the table
// full sets rowsLeftOut and returns nonzero, which ends the statement.
//   OnIphoneCallRow values: ZANSWERED, ZDATE, ZDURATION, ZLOCATION, ZADDRESS
//     [, ZORIGINATED]. With a sixth column the type is ZORIGINATED "1" outgoing, else
//     ZANSWERED "1" incoming, else ZANSWERED "0" missed; with five columns ZANSWERED
//     "0" outgoing, "1" incoming. Time from the seconds since 2001 read by
//     AtoiClamped32; duration = the text before the first '.' plus "秒" (none: empty).
//   OnAndroidCallRow values: type, date, duration, name, number [, geocoded_location
//     [, logtype]]. Rows with logtype "300" (a text message) or number "-1" are left
//     out. Time: V = LeadingInteger64(date); V >= 100,000,000,000 ms is converted,
//     anything else (or a failed conversion) keeps the date text.
//   The name, number and location texts (ZADDRESS is a blob of the number's bytes)
//   arrive in UTF-8 and are kept in code page 936 through Utf8ToAnsiString, as recovery
//   decodes the same columns, so that a live call and its remnant compare equal.
int OnIphoneCallRow(void* context, int columnCount, char** values, char** columnNames);
int OnAndroidCallRow(void* context, int columnCount, char** values, char** columnNames);

// The leading integer of a text as the C library's atoi reads it (white space, an
// optional sign, decimal digits up to the first other byte; no digits give 0),
// saturating at the bounds of the result type instead of overflowing. Null reads as 0.
// LeadingInteger64 is strtoll in base 10.
std::int64_t LeadingInteger64(const char* text);
std::int32_t AtoiClamped32(const char* text);
