// iPhone remnant rules and decoding (the table is in iphone_remnant.h).
#include "recovery/iphone_remnant.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "reader/call_texts.h"
#include "recovery/record_values.h"

namespace {

// zdate: whole seconds since 2001 from 0 to 2^31 - 1 are a call time.
constexpr double kLargestIphoneSeconds = 2147483647.0;

bool AcceptsInteger(const std::string& name, std::int32_t serialType)
{
    if (name == "zanswered") {
        return serialType == kSerialTypeZero || serialType == kSerialTypeOne;
    }
    if (name == "z_ent") {
        return serialType <= kSerialTypeInt32 && serialType != kSerialTypeNull;
    }
    return serialType < kSerialTypeReserved10;
}

// Eight bytes at the column's content, whatever its size; "1960-01-01 00:00:00" when
// fewer than eight bytes of the raw buffer are left there, or the number is no whole
// count of seconds from 0 to 2^31 - 1 after truncation.
std::string IphoneRemnantTime(const RawBuffer& buffer, const ColumnCursor& column)
{
    const ContentView bytes = ContentAt(buffer, column.Offset(), kDoubleBytes);
    if (column.ContentSize() < 0 || !bytes.valid) {
        return kUnconvertibleIphoneTime;
    }
    const double seconds = std::trunc(ReadBigEndianDouble(bytes.bytes));
    if (!(seconds >= 0.0 && seconds <= kLargestIphoneSeconds)) {
        return kUnconvertibleIphoneTime;
    }
    return IphoneCallTimeText(static_cast<std::int64_t>(seconds));
}

// A column holding the integer 1: serial type 9, or a one-byte integer 1.
bool HoldsOne(std::int32_t serialType, const ContentView& content)
{
    std::int64_t value = 0;
    return (serialType == kSerialTypeOne || serialType == kSerialTypeInt8) &&
           ReadRecordInteger(serialType, content, value) && value == 1;
}

// Made by the phone (zoriginated 1): outgoing. Otherwise zanswered 1 is incoming and 0
// missed, or, for a table without zoriginated, 0 outgoing.
void SetIphoneCallType(const IphoneRules& rules, bool originated, std::int32_t answeredType,
                       CallRecord& record)
{
    if (rules.hasOriginated && originated) {
        record.callType = kOutgoingCall;
    } else if (answeredType == kSerialTypeOne) {
        record.callType = kIncomingCall;
    } else if (answeredType == kSerialTypeZero) {
        record.callType = rules.hasOriginated ? kMissedCall : kOutgoingCall;
    }
}

// The text each role sets (both call-type columns set the call type).
RecordField FieldOf(IphoneRules::Role role)
{
    using Role = IphoneRules::Role;
    switch (role) {
    case Role::Location: return kFieldLocation;
    case Role::Date: return kFieldCallTime;
    case Role::Answered:
    case Role::Originated: return kFieldCallType;
    case Role::Duration: return kFieldDuration;
    case Role::Number: return kFieldNumber;
    case Role::Skipped: break;
    }
    return RecordField{};
}

IphoneRules::Role RoleOf(const std::string& columnName)
{
    using Role = IphoneRules::Role;
    static const std::pair<const char*, Role> kRoles[] = {
        {"zlocation", Role::Location}, {"zdate", Role::Date}, {"zanswered", Role::Answered},
        {"zoriginated", Role::Originated}, {"zduration", Role::Duration},
        {"zaddress", Role::Number}};
    return RoleByColumnName(kRoles, columnName, Role::Skipped);
}

}  // namespace

bool CheckIphoneColumn(const std::string& declaredType, const std::string& columnName,
                       std::int32_t serialType)
{
    if (declaredType == "INTEGER") {
        return AcceptsInteger(columnName, serialType);
    }
    if (declaredType == "FLOAT") {
        return serialType <= kSerialTypeReserved10;
    }
    if (declaredType == "VARCHAR") {
        return serialType == kSerialTypeNull || IsOddFrom(serialType, kSerialTypeEmptyText);
    }
    if (declaredType == "TIMESTAMP" && columnName == "zdate") {
        return serialType == kSerialTypeFloat64;
    }
    if (declaredType == "BLOB") {
        return serialType == kSerialTypeNull || IsEvenFrom(serialType, kSerialTypeFirstBlob);
    }
    return true;
}

bool IphoneRules::DecodesSomeColumn() const
{
    return std::any_of(roles, roles + columns.columnCount,
                       [](Role role) { return role != Role::Skipped; });
}

void CompileIphoneRules(const ColumnSchemaFamily& schema, IphoneRules& rules)
{
    rules.columns.Compile(schema, CheckIphoneColumn);
    rules.hasOriginated = false;
    for (std::int32_t i = 0; i < rules.columns.columnCount; ++i) {
        rules.roles[i] = RoleOf(schema.names[i]);
        if (rules.roles[i] == IphoneRules::Role::Originated) {
            rules.hasOriginated = true;
        }
    }
}

void DecodeIphoneFields(const RawBuffer& buffer, const IphoneRules& rules,
                        const CandidateHeader& header, unsigned fields, CallRecord& record)
{
    bool originated = false;
    std::int32_t answeredType = -1;
    using Role = IphoneRules::Role;
    for (ColumnCursor column(header); column.Valid(); column.Next()) {
        const Role role = rules.roles[column.Column()];
        if ((FieldOf(role) & fields) == 0) {
            continue;
        }
        switch (role) {
        case Role::Location:
            ContentText(column.Content(buffer), rules.encoding, record.location);
            break;
        case Role::Date: record.callTime = IphoneRemnantTime(buffer, column); break;
        case Role::Answered: answeredType = column.SerialType(); break;
        case Role::Originated:
            originated = HoldsOne(column.SerialType(), column.Content(buffer));
            break;
        case Role::Duration:
            record.duration = DurationTextOfColumn(column.SerialType(), column.Content(buffer));
            break;
        case Role::Number:
            ContentText(column.Content(buffer), rules.encoding, record.number);
            break;
        case Role::Skipped: break;
        }
    }
    if ((fields & kFieldCallType) != 0) {
        SetIphoneCallType(rules, originated, answeredType, record);
    }
}

bool MatchIphoneRecord(CallRecord* record, std::int64_t position, std::int64_t* remnantLength,
                       const RawBuffer& buffer, const IphoneRules& rules,
                       CandidateHeader& header)
{
    if (!MatchCandidate(buffer, position, rules.columns, header)) {
        return false;
    }
    *remnantLength = header.remnantLength;
    if (record != nullptr) {
        DecodeIphoneFields(buffer, rules, header, kAllFields, *record);
    }
    return true;
}
