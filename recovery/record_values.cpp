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

void Utf8Text(const ContentView& content, std::string& text)
{
    // The text ends at the content's end or its first zero byte, whichever is first.
    const char* const bytes = reinterpret_cast<const char*>(content.bytes);
    const std::size_t length = strnlen(bytes, static_cast<std::size_t>(content.size));
    // ASCII is the same bytes in UTF-8 and code page 936: no conversion needed.
    if (std::all_of(bytes, bytes + length, [](char c) { return (c & 0x80) == 0; })) {
        text.assign(bytes, length);
        return;
    }
    const std::string copy(bytes, length);
    text = Utf8ToAnsiString(copy.c_str());
}

// The code unit at byte `i` of the content; an odd last byte's other byte is zero.
char16_t Utf16Unit(const ContentView& content, std::int32_t i, bool bigEndian)
{
    const unsigned first = content.bytes[i];
    const unsigned second = i + 1 < content.size ? content.bytes[i + 1] : 0;
    const unsigned low = bigEndian ? second : first;
    const unsigned high = bigEndian ? first : second;
    return static_cast<char16_t>(low | (high << kBitsPerByte));
}

void Utf16Text(const ContentView& content, bool bigEndian, std::string& text)
{
    // Units up to the first zero unit; ASCII ones are the same bytes in code page 936.
    std::int32_t end = 0;
    bool ascii = true;
    for (; end < content.size; end += 2) {
        const char16_t unit = Utf16Unit(content, end, bigEndian);
        if (unit == 0) {
            break;
        }
        ascii = ascii && unit < kFirstNonAscii;
    }
    if (ascii) {
        text.clear();
        for (std::int32_t i = 0; i < end; i += 2) {
            text.push_back(static_cast<char>(Utf16Unit(content, i, bigEndian)));
        }
        return;
    }
    std::u16string units;
    units.reserve(static_cast<std::size_t>(end) / 2 + 1);
    for (std::int32_t i = 0; i < end; i += 2) {
        units.push_back(Utf16Unit(content, i, bigEndian));
    }
    const NarrowBuffer ansi(WideToAnsi(units.c_str()));
    text = ansi.get();
}

}  // namespace

std::string ContentText(const ContentView& content, TextEncoding encoding)
{
    std::string text;
    ContentText(content, encoding, text);
    return text;
}

void ContentText(const ContentView& content, TextEncoding encoding, std::string& text)
{
    if (!content.valid || content.size == 0) {
        text.clear();
    } else if (encoding == TextEncoding::Utf8) {
        Utf8Text(content, text);
    } else {
        Utf16Text(content, encoding == TextEncoding::Utf16Be, text);
    }
}

bool IsAsciiContent(const ContentView& content, TextEncoding encoding)
{
    if (!content.valid) {
        return true;
    }
    if (encoding == TextEncoding::Utf8) {
        return std::all_of(content.bytes, content.bytes + content.size,
                           [](unsigned char b) { return b < kFirstNonAscii; });
    }
    const bool bigEndian = encoding == TextEncoding::Utf16Be;
    for (std::int32_t i = 0; i < content.size; i += 2) {
        if (Utf16Unit(content, i, bigEndian) >= kFirstNonAscii) {
            return false;
        }
    }
    return true;
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

void ClearFields(CallRecord& record, unsigned fields)
{
    for (const auto& [field, text] : kRecordFieldTexts) {
        if ((fields & field) != 0) {
            (record.*text).clear();
        }
    }
}
