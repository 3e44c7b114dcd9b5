// Android remnant rules and decoding (the table is in android_remnant.h).
#include "recovery/android_remnant.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "platform/ui/wnd.h"
#include "reader/call_texts.h"
#include "recovery/record_values.h"

namespace {

// Milliseconds below this are no phone's call time and leave callTime empty.
constexpr std::int64_t kSmallestCallTimeMs = 100000000000LL;
// Seconds past this (2286-11-20) are read as 0.
constexpr std::int64_t kLargestCallTimeSeconds = 10000000000LL;
constexpr std::int64_t kMillisecondsPerSecond = 1000;
// The "type" codes of the calls table.
constexpr std::int64_t kTypeIncoming = 1;
constexpr std::int64_t kTypeOutgoing = 2;
constexpr std::int64_t kTypeMissed = 3;
// Distinct texts a decoder remembers, and the longest content it remembers by.
constexpr std::size_t kRememberedTexts = 4096;
constexpr std::int32_t kLongestRememberedContent = 64;
// The logtypes of the calls in a logs table, as the phone's own call list selects them:
// 100 a voice call, 500 a video call. The table keeps other logs too (200 MMS, 300 SMS,
// 800 internet calls), which that list does not show. SQLite stores 100 in one byte, so
// 500 is the only one that takes two; a two-byte logtype with any other value is
// another log, or the leftover copy of a row whose last bytes a later cell wrote over.
constexpr std::int64_t kTwoByteCallLogtypes[] = {500};

bool IsTwoByteCallLogtype(std::int64_t logtype)
{
    return std::find(std::begin(kTwoByteCallLogtypes), std::end(kTwoByteCallLogtypes),
                     logtype) != std::end(kTwoByteCallLogtypes);
}

bool AcceptsTypeColumn(std::int32_t serialType)
{
    return (serialType >= kSerialTypeNull && serialType <= kSerialTypeInt32) ||
           serialType == kSerialTypeZero || serialType == kSerialTypeOne;
}

bool AcceptsTextColumn(CallLogVariant variant, std::int32_t serialType)
{
    // call.db: every text, the empty one (13) included, and no NULL; the others: NULL
    // and every text but the empty one.
    if (variant == CallLogVariant::AndroidCallDb) {
        return IsOddFrom(serialType, kSerialTypeEmptyText);
    }
    return serialType == kSerialTypeNull || IsOddFrom(serialType, kSerialTypeEmptyText + 2);
}

// callTime of a "date" column: the local time of its milliseconds, or empty.
void AndroidCallTime(std::int32_t serialType, const ContentView& content, std::string& callTime)
{
    std::int64_t milliseconds = 0;
    if (!ReadRecordInteger(serialType, content, milliseconds) ||
        milliseconds < kSmallestCallTimeMs) {
        callTime.clear();
        return;
    }
    std::int64_t seconds = milliseconds / kMillisecondsPerSecond;
    if (seconds > kLargestCallTimeSeconds) {
        seconds = 0;
    }
    if (!FormatLocalCallTime(seconds, callTime)) {
        callTime.clear();
    }
}

// Serial type 9 (the integer 1) or a one-byte 1 is incoming; a one-byte 2 outgoing and
// 3 missed; everything else has no call type ("").
const char* AndroidCallType(std::int32_t serialType, const ContentView& content)
{
    std::int64_t code = 0;
    if (serialType != kSerialTypeOne && serialType != kSerialTypeInt8) {
        return "";
    }
    if (!ReadRecordInteger(serialType, content, code)) {
        return "";
    }
    switch (code) {
    case kTypeIncoming: return kIncomingCall;
    case kTypeOutgoing: return kOutgoingCall;
    case kTypeMissed: return kMissedCall;
    default: return "";
    }
}

// The text each role sets.
RecordField FieldOf(AndroidRecordDecoder::Role role)
{
    using Role = AndroidRecordDecoder::Role;
    switch (role) {
    case Role::Name: return kFieldName;
    case Role::Date: return kFieldCallTime;
    case Role::Type: return kFieldCallType;
    case Role::Duration: return kFieldDuration;
    case Role::Number: return kFieldNumber;
    case Role::Location: return kFieldLocation;
    case Role::Skipped: break;
    }
    return RecordField{};
}

AndroidRecordDecoder::Role RoleOf(const std::string& columnName)
{
    using Role = AndroidRecordDecoder::Role;
    static const std::pair<const char*, Role> kRoles[] = {
        {"name", Role::Name}, {"date", Role::Date}, {"type", Role::Type},
        {"duration", Role::Duration}, {"number", Role::Number},
        {"geocoded_location", Role::Location}};
    return RoleByColumnName(kRoles, columnName, Role::Skipped);
}

}  // namespace

bool CheckAndroidColumn(CallLogVariant variant, const std::string& declaredType,
                        const std::string& columnName, std::int32_t serialType)
{
    const bool callDb = variant == CallLogVariant::AndroidCallDb;
    if (declaredType == "INTEGER" && columnName == "type") {
        return AcceptsTypeColumn(serialType);
    }
    if (columnName == "date" && declaredType == (callDb ? "BIGINT" : "INTEGER")) {
        return serialType == kSerialTypeInt48;
    }
    if (variant == CallLogVariant::AndroidLogsDb && declaredType == "INTEGER" &&
        columnName == "logtype") {
        return serialType == kSerialTypeInt8 || serialType == kSerialTypeInt16;
    }
    if (declaredType == "TEXT") {
        return AcceptsTextColumn(variant, serialType);
    }
    return true;
}

void CompileAndroidRules(CallLogVariant variant, const ColumnSchemaFamily& schema,
                         ColumnRules& rules)
{
    rules.Compile(schema, [variant](const std::string& type, const std::string& name,
                                    std::int32_t serialType) {
        return CheckAndroidColumn(variant, type, name, serialType);
    });
}

AndroidContentCheck::AndroidContentCheck(CallLogVariant variant,
                                         const ColumnSchemaFamily& schema)
    : m_columns()
{
    if (variant != CallLogVariant::AndroidLogsDb) {
        return;
    }
    const std::int32_t columns = std::clamp(schema.count, 0, kColumnSchemaCapacity);
    for (std::int32_t i = 1; i < columns; ++i) {
        if (schema.types[i] == "INTEGER" && schema.names[i] == "logtype") {
            m_columns[m_count++] = i;
        }
    }
}

bool AndroidContentCheck::Refuses(const RawBuffer& buffer, const CandidateHeader& header) const
{
    for (std::int32_t k = 0; k < m_count; ++k) {
        const std::int32_t column = m_columns[k];
        // A one-byte logtype is taken whatever its value.
        if (header.serialTypes[column] != kSerialTypeInt16) {
            continue;
        }
        std::int64_t offset = header.contentStart;
        for (std::int32_t i = 0; i < column; ++i) {
            offset += header.contentSizes[i];
        }
        std::int64_t logtype = 0;
        const ContentView content = ContentAt(buffer, offset, header.contentSizes[column]);
        if (!ReadRecordInteger(kSerialTypeInt16, content, logtype) ||
            !IsTwoByteCallLogtype(logtype)) {
            return true;
        }
    }
    return false;
}

TextEncoding AndroidTextEncoding(const RawBuffer& buffer, CallLogVariant variant)
{
    return ReadTextEncoding(buffer, variant == CallLogVariant::AndroidCallDb
                                        ? TextEncoding::Utf16Le
                                        : TextEncoding::Utf8);
}

AndroidRecordDecoder::AndroidRecordDecoder(TextEncoding encoding,
                                           const ColumnSchemaFamily& schema, CWnd* owner)
    : m_encoding(encoding), m_owner(owner), m_columns()
{
    const std::int32_t columns = std::clamp(schema.count, 0, kColumnSchemaCapacity);
    for (std::int32_t i = 0; i < columns; ++i) {
        const Role role = RoleOf(schema.names[i]);
        if (role != Role::Skipped) {
            m_columns[m_columnCount++] = RoleColumn{i, role};
        }
        m_hasName = m_hasName || role == Role::Name;
    }
}

void AndroidRecordDecoder::Text(const ContentView& content, std::string& text)
{
    // ASCII needs no conversion, and numbers rarely repeat: remembering them would only
    // fill the table.
    if (!content.valid || content.size == 0 || content.size > kLongestRememberedContent ||
        IsAsciiContent(content, m_encoding)) {
        ContentText(content, m_encoding, text);
        return;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(content.bytes),
                                 static_cast<std::size_t>(content.size));
    const auto found = m_texts.find(bytes);
    if (found != m_texts.end()) {
        text = found->second;
        return;
    }
    ContentText(content, m_encoding, text);
    if (m_texts.size() < kRememberedTexts) {
        m_keyBytes.emplace_back(bytes);
        m_texts.emplace(std::string_view(m_keyBytes.back()), text);
    }
}

void AndroidRecordDecoder::ShowNames(const RawBuffer& buffer, const CandidateHeader& header)
{
    ColumnCursor column(header);
    for (std::int32_t k = 0; k < m_columnCount && ShowsNames(); ++k) {
        column.SkipTo(m_columns[k].column);
        if (!column.Valid()) {
            break;
        }
        if (m_columns[k].role != Role::Name) {
            continue;
        }
        Text(column.Content(buffer), m_name);
        if (m_owner->MessageBox(m_name.c_str(), nullptr, MB_OKCANCEL) == IDCANCEL) {
            m_owner = nullptr;   // no more name boxes in this recovery
        }
    }
}

void AndroidRecordDecoder::Decode(const RawBuffer& buffer, const CandidateHeader& header,
                                  unsigned fields, CallRecord& record)
{
    ColumnCursor column(header);
    for (std::int32_t k = 0; k < m_columnCount; ++k) {
        const Role role = m_columns[k].role;
        if ((FieldOf(role) & fields) == 0) {
            continue;
        }
        column.SkipTo(m_columns[k].column);
        if (!column.Valid()) {
            break;
        }
        const ContentView content = column.Content(buffer);
        switch (role) {
        case Role::Name: Text(content, record.name); break;
        case Role::Date: AndroidCallTime(column.SerialType(), content, record.callTime); break;
        case Role::Type: record.callType = AndroidCallType(column.SerialType(), content); break;
        case Role::Duration:
            record.duration = DurationTextOfColumn(column.SerialType(), content);
            break;
        case Role::Number: Text(content, record.number); break;
        case Role::Location: Text(content, record.location); break;
        case Role::Skipped: break;
        }
    }
}

void AndroidRecordDecoder::Decode(const RawBuffer& buffer, const CandidateHeader& header,
                                  CallRecord& record)
{
    ShowNames(buffer, header);
    Decode(buffer, header, kAllFields, record);
}

void DecodeAndroidRecord(CallLogVariant variant, const ColumnSchemaFamily& schema,
                         const RawBuffer& buffer, const CandidateHeader& header,
                         CallRecord& record, CWnd* owner)
{
    AndroidRecordDecoder(AndroidTextEncoding(buffer, variant), schema, owner)
        .Decode(buffer, header, record);
}
