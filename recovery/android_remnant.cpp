// Android remnant rules and decoding (the table is in android_remnant.h).
#include "recovery/android_remnant.h"

#include <algorithm>
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
constexpr unsigned char kFirstNonAscii = 0x80;

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

std::string AndroidCallTime(std::int32_t serialType, const ContentView& content)
{
    std::int64_t milliseconds = 0;
    if (!ReadRecordInteger(serialType, content, milliseconds) ||
        milliseconds < kSmallestCallTimeMs) {
        return std::string();
    }
    std::int64_t seconds = milliseconds / kMillisecondsPerSecond;
    if (seconds > kLargestCallTimeSeconds) {
        seconds = 0;
    }
    std::string text;
    FormatLocalCallTime(seconds, text);
    return text;
}

// Serial type 9 (the integer 1) or a one-byte 1 is incoming; a one-byte 2 outgoing and
// 3 missed; everything else has no call type.
std::string AndroidCallType(std::int32_t serialType, const ContentView& content)
{
    std::int64_t code = 0;
    if (serialType != kSerialTypeOne && serialType != kSerialTypeInt8) {
        return std::string();
    }
    if (!ReadRecordInteger(serialType, content, code)) {
        return std::string();
    }
    switch (code) {
    case kTypeIncoming: return kIncomingCall;
    case kTypeOutgoing: return kOutgoingCall;
    case kTypeMissed: return kMissedCall;
    default: return std::string();
    }
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
        return serialType == kSerialTypeInt8;
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

AndroidRecordDecoder::AndroidRecordDecoder(CallLogVariant variant,
                                           const ColumnSchemaFamily& schema, CWnd* owner)
    : m_utf16(variant == CallLogVariant::AndroidCallDb), m_owner(owner), m_roles()
{
    const std::int32_t columns = std::clamp(schema.count, 0, kColumnSchemaCapacity);
    for (std::int32_t i = 0; i < columns; ++i) {
        m_roles[i] = RoleOf(schema.names[i]);
    }
}

std::string AndroidRecordDecoder::Text(const ContentView& content) const
{
    const auto convert = [&] {
        return m_utf16 ? Utf16LeContentText(content) : Utf8ContentText(content);
    };
    if (!content.valid || content.size == 0 || content.size > kLongestRememberedContent) {
        return convert();
    }
    // UTF-8 ASCII needs no conversion (Utf8ContentText copies it), and numbers rarely
    // repeat: remembering them would only fill the table.
    const auto ascii = [](unsigned char b) { return b < kFirstNonAscii; };
    if (!m_utf16 && std::all_of(content.bytes, content.bytes + content.size, ascii)) {
        return convert();
    }
    std::string bytes(reinterpret_cast<const char*>(content.bytes),
                      static_cast<std::size_t>(content.size));
    const auto found = m_texts.find(bytes);
    if (found != m_texts.end()) {
        return found->second;
    }
    std::string text = convert();
    if (m_texts.size() < kRememberedTexts) {
        m_texts.emplace(std::move(bytes), text);
    }
    return text;
}

void AndroidRecordDecoder::Decode(const RawBuffer& buffer, const CandidateHeader& header,
                                  CallRecord& record) const
{
    const auto text = [&](const ContentView& content) { return Text(content); };
    for (ColumnCursor column(header); column.Valid(); column.Next()) {
        const Role role = m_roles[column.Column()];
        if (role == Role::Skipped) {
            continue;
        }
        const ContentView content = column.Content(buffer);
        switch (role) {
        case Role::Name:
            record.name = text(content);
            if (m_owner != nullptr) {
                m_owner->MessageBox(record.name.c_str());
            }
            break;
        case Role::Date: record.callTime = AndroidCallTime(column.SerialType(), content); break;
        case Role::Type: record.callType = AndroidCallType(column.SerialType(), content); break;
        case Role::Duration:
            record.duration = DurationTextOfColumn(column.SerialType(), content);
            break;
        case Role::Number: record.number = text(content); break;
        case Role::Location: record.location = text(content); break;
        case Role::Skipped: break;
        }
    }
}

void DecodeAndroidRecord(CallLogVariant variant, const ColumnSchemaFamily& schema,
                         const RawBuffer& buffer, const CandidateHeader& header,
                         CallRecord& record, CWnd* owner)
{
    AndroidRecordDecoder(variant, schema, owner).Decode(buffer, header, record);
}
