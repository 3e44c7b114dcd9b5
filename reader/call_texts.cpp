// Call-type, call-time and duration texts shared by the live-row readers and the
// remnant decoders, so that a live call and its remnant give byte-identical records.
#include "reader/call_texts.h"

#include <charconv>
#include <ctime>
#include <limits>

#include "platform/crt.h"

const char* const kIncomingCall = "呼入电话";
const char* const kOutgoingCall = "呼出电话";
const char* const kMissedCall = "未接电话";
const char* const kUnconvertibleIphoneTime = "1960-01-01 00:00:00";

namespace {

// Seconds from 1970-01-01 00:00:00 UTC to 2001-01-01 00:00:00 UTC, where iPhone
// times count from.
constexpr std::int64_t kIphoneEpochOffsetSeconds = 978307200;
// The C library's struct tm counts years from 1900 and months from 0.
constexpr int kTmYearBase = 1900;

// Appends `value` as "%d" would print it, or as "%02d" with `twoDigits`: a leading 0
// only for 0 .. 9, every other value as it is.
void appendDecimal(std::string& text, int value, bool twoDigits)
{
    constexpr int kTen = 10;
    if (twoDigits && value >= 0 && value < kTen) {
        text += '0';
    }
    char digits[std::numeric_limits<int>::digits10 + 2];   // every digit and a sign
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
    text.append(digits, end.ptr);
}

// "%d-%02d-%02d %02d:%02d:%02d" of the year, month, day and time, without printf: the
// recovery's fill pass formats a time per remnant.
std::string formatTm(const struct tm& local)
{
    constexpr std::size_t kUsualLength = 19;   // "yyyy-mm-dd hh:mm:ss"
    std::string text;
    text.reserve(kUsualLength);
    appendDecimal(text, local.tm_year + kTmYearBase, false);
    text += '-';
    appendDecimal(text, local.tm_mon + 1, true);
    text += '-';
    appendDecimal(text, local.tm_mday, true);
    text += ' ';
    appendDecimal(text, local.tm_hour, true);
    text += ':';
    appendDecimal(text, local.tm_min, true);
    text += ':';
    appendDecimal(text, local.tm_sec, true);
    return text;
}

}  // namespace

bool FormatLocalCallTime(__time64_t seconds, std::string& out)
{
    const struct tm* local = _localtime64(&seconds);
    if (local == nullptr)
        return false;
    out = formatTm(*local);
    return true;
}

std::string IphoneCallTimeText(std::int64_t secondsSince2001)
{
    std::string text;
    if (secondsSince2001 < 0 || secondsSince2001 > INT32_MAX)
        return kUnconvertibleIphoneTime;
    if (!FormatLocalCallTime(secondsSince2001 + kIphoneEpochOffsetSeconds, text))
        return kUnconvertibleIphoneTime;
    return text;
}

std::string DurationText(std::int32_t seconds)
{
    return std::to_string(seconds) + "秒";
}
