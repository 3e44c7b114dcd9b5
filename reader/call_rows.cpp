// The live call rows: the iPhone statement and the Android cascade, and the row
// callbacks that turn each SQLite result row into one CallRecord of CallRecordTable.
#include "reader/call_rows.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include <sqlite3.h>

#include "platform/ui/wnd.h"
#include "reader/call_record.h"
#include "reader/call_texts.h"
#include "reader/text_conversions.h"

const char* const kIphoneRowsWithOriginated =
    "SELECT ZANSWERED, ZDATE, ZDURATION, ZLOCATION,ZADDRESS,ZORIGINATED FROM ZCALLRECORD";
const char* const kIphoneRows =
    "SELECT ZANSWERED, ZDATE, ZDURATION, ZLOCATION,ZADDRESS FROM ZCALLRECORD";
const char* const kAndroidLogsRows =
    "SELECT type, date, duration, name, number ,geocoded_location ,logtype FROM logs";
const char* const kAndroidCallsRows =
    "SELECT type, date, duration, name, number ,geocoded_location FROM calls";
const char* const kAndroidCallsRowsNoLocation =
    "SELECT type, date, duration, name, number FROM calls";

namespace {

// Positions of the iPhone statements' values.
enum IphoneColumn { kZAnswered, kZDate, kZDuration, kZLocation, kZAddress, kZOriginated };
// Positions of the Android statements' values.
enum AndroidColumn { kType, kDate, kDuration, kName, kNumber, kLocation, kLogtype };

// Dates (milliseconds since 1970) below this are not converted; the text is kept.
constexpr std::int64_t kAndroidMinConvertedMilliseconds = 100000000000;
constexpr std::int64_t kMillisecondsPerSecond = 1000;
constexpr int kDecimal = 10;
static_assert(sizeof(long long) == sizeof(std::int64_t), "strtoll gives the 64-bit value");

bool textIs(const char* text, const char* expected)
{
    return std::strcmp(text, expected) == 0;
}

// originated is null for a row of the 5-column statement. Null result: no type.
const char* iphoneCallType(const char* answered, const char* originated)
{
    if (originated == nullptr) {
        if (textIs(answered, "0"))
            return kOutgoingCall;
        return textIs(answered, "1") ? kIncomingCall : nullptr;
    }
    if (textIs(originated, "1"))
        return kOutgoingCall;
    if (textIs(answered, "1"))
        return kIncomingCall;
    return textIs(answered, "0") ? kMissedCall : nullptr;
}

// ZDURATION is a REAL read as text ("35.0"): the whole seconds before the point.
// A text without a point leaves the duration empty.
std::string iphoneDurationText(const char* duration)
{
    const char* point = std::strchr(duration, '.');
    if (point == nullptr)
        return std::string();
    return std::string(duration, static_cast<std::size_t>(point - duration)) + "秒";
}

const char* androidCallType(const char* type)
{
    if (textIs(type, "1"))
        return kIncomingCall;
    if (textIs(type, "2"))
        return kOutgoingCall;
    return textIs(type, "3") ? kMissedCall : nullptr;
}

std::string androidCallTimeText(const char* date)
{
    const std::int64_t milliseconds = LeadingInteger64(date);
    std::string text;
    if (milliseconds >= kAndroidMinConvertedMilliseconds &&
        FormatLocalCallTime(milliseconds / kMillisecondsPerSecond, text))
        return text;
    return date;
}

// What a row callback returns to end its statement: once the table is full, further
// rows have nowhere to go, and a call table that is a view may never run out of them.
constexpr int kStopStatement = 1;

// Whether the cascade goes on to its next statement: only after a failure before the
// first row (a table or column that is not there). A statement that delivered rows was
// reading this table, so a later failure (a damaged page) must not have them read a
// second time; a statement that the row callbacks stopped has delivered rows as well.
bool failedBeforeFirstRow(int result, const CallLogConnection& connection)
{
    return result != SQLITE_OK && connection.RowsOfLastExec() == 0;
}

}  // namespace

std::int64_t LeadingInteger64(const char* text)
{
    // strtoll reads as atoi does (white space, a sign, decimal digits) and saturates at
    // the 64-bit bounds on overflow; errno is not needed to tell that apart.
    return text == nullptr ? 0 : std::strtoll(text, nullptr, kDecimal);
}

std::int32_t AtoiClamped32(const char* text)
{
    const std::int64_t value = LeadingInteger64(text);
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

int OnIphoneCallRow(void* /*context*/, int columnCount, char** values, char** /*names*/)
{
    CallRecord* record = CallRecordTable.BeginAppend();
    if (record == nullptr)
        return kStopStatement;
    auto value = [&](int index) { return SqliteTextOrEmpty(columnCount, values, index); };
    const char* originated = columnCount > kZOriginated ? value(kZOriginated) : nullptr;
    const char* type = iphoneCallType(value(kZAnswered), originated);
    if (type != nullptr)
        record->callType = type;
    record->callTime = IphoneCallTimeText(AtoiClamped32(value(kZDate)));
    record->duration = iphoneDurationText(value(kZDuration));
    record->location = Utf8ToAnsiString(value(kZLocation));
    record->number = Utf8ToAnsiString(value(kZAddress));
    CallRecordTable.CommitAppend();
    return 0;
}

int OnAndroidCallRow(void* /*context*/, int columnCount, char** values, char** /*names*/)
{
    auto value = [&](int index) { return SqliteTextOrEmpty(columnCount, values, index); };
    const char* number = value(kNumber);
    // logtype 300 marks a text message kept in the same table; number -1 a withheld one.
    if (textIs(value(kLogtype), "300") || textIs(number, "-1"))
        return 0;
    CallRecord* record = CallRecordTable.BeginAppend();
    if (record == nullptr)
        return kStopStatement;
    const char* type = androidCallType(value(kType));
    if (type != nullptr)
        record->callType = type;
    record->callTime = androidCallTimeText(value(kDate));
    record->duration = std::string(value(kDuration)) + "秒";
    record->name = Utf8ToAnsiString(value(kName));
    record->number = Utf8ToAnsiString(number);
    record->location = Utf8ToAnsiString(value(kLocation));
    CallRecordTable.CommitAppend();
    return 0;
}

IphoneReadResult ReadIphoneCallRows(CallLogConnection& connection)
{
    int result = connection.Exec(kIphoneRowsWithOriginated, OnIphoneCallRow);
    // The 5-column statement is for a table without ZORIGINATED.
    if (failedBeforeFirstRow(result, connection))
        result = connection.Exec(kIphoneRows, OnIphoneCallRow);
    if (!failedBeforeFirstRow(result, connection))
        return IphoneReadResult::Read;
    return result == SQLITE_NOTADB ? IphoneReadResult::NotADatabase
                                   : IphoneReadResult::NoCallTable;
}

void ReadAndroidCallRows(CallLogConnection& connection, CWnd& owner)
{
    if (!failedBeforeFirstRow(connection.Exec(kAndroidLogsRows, OnAndroidCallRow), connection))
        return;
    if (!failedBeforeFirstRow(connection.Exec(kAndroidCallsRows, OnAndroidCallRow), connection))
        return;
    owner.MessageBox("打开错误2！");
    // The last statement has no fallback: any failure is told, but a stop for a full
    // table is not a failure.
    if (connection.Exec(kAndroidCallsRowsNoLocation, OnAndroidCallRow) != SQLITE_OK &&
        !CallRecordTable.rowsLeftOut)
        owner.MessageBox("打开错误3！");
}
