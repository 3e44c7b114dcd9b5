// Values of a remnant's columns, decoded from content bytes that record_frame.h placed
// inside the raw buffer: integers and doubles by serial type, UTF-8 and UTF-16LE texts.
// Content that is not valid (outside the buffer, negative size) reads as no value.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "reader/call_record.h"
#include "recovery/record_frame.h"

constexpr std::int32_t kSerialTypeNull = 0;
constexpr std::int32_t kSerialTypeInt8 = 1;        // one-byte integer
constexpr std::int32_t kSerialTypeInt16 = 2;       // two-byte integer
constexpr std::int32_t kSerialTypeInt32 = 4;       // four-byte integer
constexpr std::int32_t kSerialTypeInt48 = 5;       // six-byte integer
constexpr std::int32_t kSerialTypeInt64 = 6;
constexpr std::int32_t kSerialTypeFloat64 = 7;
constexpr std::int32_t kSerialTypeZero = 8;        // the integer 0, no content
constexpr std::int32_t kSerialTypeOne = 9;         // the integer 1, no content
constexpr std::int32_t kSerialTypeReserved10 = 10;
constexpr std::int32_t kSerialTypeFirstBlob = 12;  // even from here: BLOB
constexpr std::int32_t kSerialTypeEmptyText = 13;  // odd from here: text

// Bytes of a serial type 7 double (also read from columns of other types).
constexpr std::int32_t kDoubleBytes = 8;

// Odd (text) or even (BLOB) serial types from `smallest` on.
inline bool IsOddFrom(std::int32_t serialType, std::int32_t smallest)
{
    return serialType >= smallest && (serialType & 1) != 0;
}
inline bool IsEvenFrom(std::int32_t serialType, std::int32_t smallest)
{
    return serialType >= smallest && (serialType & 1) == 0;
}

// The integer of serial types 1 to 6 (big-endian two's complement of 1, 2, 3, 4, 6, 8
// bytes), 8 (0) and 9 (1). False for every other serial type, NULL included, and for
// content that is not valid.
bool ReadRecordInteger(std::int32_t serialType, const ContentView& content, std::int64_t& value);

// The first eight bytes at `bytes` as a big-endian IEEE 754 double.
double ReadBigEndianDouble(const unsigned char* bytes);

// A number truncated toward zero into 32 bits; NaN gives 0, values beyond the range
// give its nearest end.
std::int32_t TruncateToInt32(double value);

// How a database stores its texts: the header's text-encoding field (4 bytes,
// big-endian, at offset 56) holds 1, 2 or 3 for these, in this order.
enum class TextEncoding : unsigned char { Utf8 = 1, Utf16Le = 2, Utf16Be = 3 };

// The content as a text of `encoding`, in code page 936; empty for no content. UTF-8
// ends at the first zero byte; UTF-16 at the first zero code unit, and an odd last byte
// is a unit whose other byte is zero. The second form writes into `text`, whose buffer
// is reused: ASCII content is copied without allocating when it fits.
std::string ContentText(const ContentView& content, TextEncoding encoding);
void ContentText(const ContentView& content, TextEncoding encoding, std::string& text);

// True when the content is ASCII in `encoding` (for UTF-16, every unit below 0x80):
// such a text reads the same in code page 936 and needs no conversion.
bool IsAsciiContent(const ContentView& content, TextEncoding encoding);

// The encoding the buffer's header names, or `fallback` when the field holds none of
// 1, 2, 3 or the file is too short to hold it.
TextEncoding ReadTextEncoding(const RawBuffer& buffer, TextEncoding fallback);

// "<n>秒" for a column's integer (or truncated double) value; NULL, no value and the
// types that hold no number give 0. Integers keep their low 32 bits.
std::string DurationTextOfColumn(std::int32_t serialType, const ContentView& content);

// The texts of a CallRecord that a decoder is asked for, as a set of bits.
enum RecordField : unsigned {
    kFieldName = 1U << 0,
    kFieldCallType = 1U << 1,
    kFieldCallTime = 1U << 2,
    kFieldDuration = 1U << 3,
    kFieldLocation = 1U << 4,
    kFieldNumber = 1U << 5,
    kAllFields = (1U << 6) - 1,
};

// Each field's text in a CallRecord.
inline constexpr std::pair<RecordField, std::string CallRecord::*> kRecordFieldTexts[] = {
    {kFieldName, &CallRecord::name},         {kFieldCallType, &CallRecord::callType},
    {kFieldCallTime, &CallRecord::callTime}, {kFieldDuration, &CallRecord::duration},
    {kFieldLocation, &CallRecord::location}, {kFieldNumber, &CallRecord::number},
};

// Empties the texts of `record` that `fields` names (their buffers are kept).
void ClearFields(CallRecord& record, unsigned fields);
