// Call-type, call-time and duration texts shared by the live-row readers and the
// remnant decoders, so that a live call and its remnant give byte-identical records.
#include "reader/call_texts.h"

#include <charconv>
#include <ctime>

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

// Writes `value` as "%02d" prints a value of 0 .. 99, which every month, day, hour,
// minute and second of a struct tm from _localtime64 is.
char* writeTwoDigits(char* at, int value)
{
    constexpr int kTen = 10;
    *at++ = static_cast<char>('0' + value / kTen);
    *at++ = static_cast<char>('0' + value % kTen);
    return at;
}

// "%d-%02d-%02d %02d:%02d:%02d" of the year, month, day and time into `text`, NUL
// included; returns the length.
std::size_t formatTm(const struct tm& local, char (&text)[kCallTimeTextBytes])
{
    // The year as "%d" prints it: at most 11 characters, which leaves the 15 of the rest
    // and the NUL room in `text`.
    char* at = std::to_chars(text, text + sizeof text, local.tm_year + kTmYearBase).ptr;
    *at++ = '-';
    at = writeTwoDigits(at, local.tm_mon + 1);
    *at++ = '-';
    at = writeTwoDigits(at, local.tm_mday);
    *at++ = ' ';
    at = writeTwoDigits(at, local.tm_hour);
    *at++ = ':';
    at = writeTwoDigits(at, local.tm_min);
    *at++ = ':';
    at = writeTwoDigits(at, local.tm_sec);
    *at = '\0';
    return static_cast<std::size_t>(at - text);
}

}  // namespace

std::size_t FormatLocalCallTime(__time64_t seconds, char (&text)[kCallTimeTextBytes])
{
    const struct tm* local = _localtime64(&seconds);
    return local != nullptr ? formatTm(*local, text) : 0;
}

bool FormatLocalCallTime(__time64_t seconds, std::string& out)
{
    char text[kCallTimeTextBytes];
    const std::size_t length = FormatLocalCallTime(seconds, text);
    if (length == 0)
        return false;
    out.assign(text, length);
    return true;
}

std::string IphoneCallTimeText(std::int64_t secondsSince2001)
{
    char text[kCallTimeTextBytes];
    if (secondsSince2001 < 0 || secondsSince2001 > INT32_MAX)
        return kUnconvertibleIphoneTime;
    const std::size_t length =
        FormatLocalCallTime(secondsSince2001 + kIphoneEpochOffsetSeconds, text);
    return length > 0 ? std::string(text, length) : kUnconvertibleIphoneTime;
}

std::string DurationText(std::int32_t seconds)
{
    return std::to_string(seconds) + "秒";
}
