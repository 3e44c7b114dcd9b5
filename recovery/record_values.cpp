// Decoding of remnant column values (see record_values.h).
#include "recovery/record_values.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "reader/call_texts.h"
#include "reader/text_conversions.h"

namespace {

constexpr std::int32_t kIntegerBytes[] = {0, 1, 2, 3, 4, 6, 8};
constexpr int kBitsPerByte = 8;
constexpr char16_t kFirstNonAscii = 0x80;

}  // namespace

bool ReadRecordInteger(std::int32_t serialType, const ContentView& content, std::int64_t& value)
{
    if (serialType == kSerialTypeZero || serialType == kSerialTypeOne) {
        value = serialType == kSerialTypeOne ? 1 : 0;
        return true;
    }
    if (serialType < kSerialTypeInt8 || serialType > kSerialTypeInt64 || !content.valid) {
        return false;
    }
    const std::int32_t bytes = kIntegerBytes[serialType];
    if (content.size < bytes) {
        return false;
    }
    // Sign-extend from the first byte, then shift the rest in.
    std::uint64_t bits = (content.bytes[0] & 0x80U) != 0 ? ~std::uint64_t{0} : 0;
    for (std::int32_t i = 0; i < bytes; ++i) {
        bits = (bits << kBitsPerByte) | content.bytes[i];
    }
    value = static_cast<std::int64_t>(bits);
    return true;
}

double ReadBigEndianDouble(const unsigned char* bytes)
{
    std::uint64_t bits = 0;
    for (std::int32_t i = 0; i < kDoubleBytes; ++i) {
        bits = (bits << kBitsPerByte) | bytes[i];
    }
    double value = 0;
    static_assert(sizeof value == sizeof bits, "IEEE 754 binary64 expected");
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::int32_t TruncateToInt32(double value)
{
    if (std::isnan(value)) {
        return 0;
    }
    constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
    constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
    if (value <= kLowest) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (value >= kHighest) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(value);
}

namespace {

std::string Utf8Text(const ContentView& content)
{
    // The text ends at the content's end or its first zero byte, whichever is first.
    const char* const bytes = reinterpret_cast<const char*>(content.bytes);
    const std::size_t length = strnlen(bytes, static_cast<std::size_t>(content.size));
    // ASCII is the same bytes in UTF-8 and code page 936: no conversion needed.
    if (std::all_of(bytes, bytes + length, [](char c) { return (c & 0x80) == 0; })) {
        return std::string(bytes, length);
    }
    const std::string copy(bytes, length);
    return Utf8ToAnsiString(copy.c_str());
}

std::string Utf16Text(const ContentView& content, bool bigEndian)
{
    std::u16string units;
    units.reserve(static_cast<std::size_t>(content.size) / 2 + 1);
    bool ascii = true;
    for (std::int32_t i = 0; i < content.size; i += 2) {
        const unsigned first = content.bytes[i];
        const unsigned second = i + 1 < content.size ? content.bytes[i + 1] : 0;
        const unsigned low = bigEndian ? second : first;
        const unsigned high = bigEndian ? first : second;
        const char16_t unit = static_cast<char16_t>(low | (high << kBitsPerByte));
        if (unit == 0) {
            break;
        }
        ascii = ascii && unit < kFirstNonAscii;
        units.push_back(unit);
    }
    // ASCII units are the same bytes in code page 936: no conversion needed.
    if (ascii) {
        return std::string(units.begin(), units.end());
    }
    const NarrowBuffer ansi(WideToAnsi(units.c_str()));
    return std::string(ansi.get());
}

}  // namespace

std::string ContentText(const ContentView& content, TextEncoding encoding)
{
    if (!content.valid || content.size == 0) {
        return std::string();
    }
    if (encoding == TextEncoding::Utf8) {
        return Utf8Text(content);
    }
    return Utf16Text(content, encoding == TextEncoding::Utf16Be);
}

TextEncoding ReadTextEncoding(const RawBuffer& buffer, TextEncoding fallback)
{
    constexpr std::int64_t kFieldOffset = 56;
    constexpr std::int32_t kFieldBytes = 4;
    const ContentView field = ContentAt(buffer, kFieldOffset, kFieldBytes);
    std::int64_t value = 0;
    if (!field.valid || buffer.fileLength < kFieldOffset + kFieldBytes ||
        !ReadRecordInteger(kSerialTypeInt32, field, value)) {
        return fallback;
    }
    switch (value) {
    case static_cast<std::int64_t>(TextEncoding::Utf8): return TextEncoding::Utf8;
    case static_cast<std::int64_t>(TextEncoding::Utf16Le): return TextEncoding::Utf16Le;
    case static_cast<std::int64_t>(TextEncoding::Utf16Be): return TextEncoding::Utf16Be;
    default: return fallback;
    }
}

std::string DurationTextOfColumn(std::int32_t serialType, const ContentView& content)
{
    std::int64_t integer = 0;
    if (ReadRecordInteger(serialType, content, integer)) {
        return DurationText(static_cast<std::int32_t>(static_cast<std::uint32_t>(integer)));
    }
    if (serialType == kSerialTypeFloat64 && content.valid && content.size >= kDoubleBytes) {
        return DurationText(TruncateToInt32(ReadBigEndianDouble(content.bytes)));
    }
    return DurationText(0);
}
