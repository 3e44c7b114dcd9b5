// Call-type, call-time and duration texts shared by the live-row readers and the
// remnant decoders, so that a live call and its remnant give byte-identical records.
#include "reader/call_texts.h"

#include <cstdio>
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

std::string formatTm(const struct tm& local)
{
    static const char kFormat[] = "%d-%02d-%02d %02d:%02d:%02d";
    const int year = local.tm_year + kTmYearBase;
    const int month = local.tm_mon + 1;
    const int length = std::snprintf(nullptr, 0, kFormat, year, month, local.tm_mday,
                                     local.tm_hour, local.tm_min, local.tm_sec);
    if (length <= 0)
        return std::string();
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(&text[0], text.size() + 1, kFormat, year, month, local.tm_mday,
                  local.tm_hour, local.tm_min, local.tm_sec);
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
