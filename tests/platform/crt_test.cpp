// _localtime64 with its limits, against localtime_r field by field around every change
// of zones with summer time, odd offsets and leap seconds, and across a change of TZ;
// and the code page 936 string functions: byte order for _mbscmp, double-byte characters
// left whole by the case changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/crt.h"

namespace {

constexpr __time64_t kLastConvertible = 32535215999LL;   // 3000-12-31 23:59:59 UTC
constexpr __time64_t kSecondsPerDay = 86400;
constexpr __time64_t kEndOf2037 = 2145916800LL;          // 2038-01-01 00:00:00 UTC

// Sets TZ, or unsets it for a null zone, and reads it with _tzset for one scope; then
// puts back the TZ that was and reads that.
class ScopedTimeZone
{
public:
    explicit ScopedTimeZone(const char* zone)
        : m_hadZone(std::getenv("TZ") != nullptr), m_old(m_hadZone ? std::getenv("TZ") : "")
    {
        SetZone(zone);
    }
    ~ScopedTimeZone() { SetZone(m_hadZone ? m_old.c_str() : nullptr); }

    static void SetZone(const char* zone)
    {
        if (zone != nullptr)
            setenv("TZ", zone, 1);
        else
            unsetenv("TZ");
        _tzset();
    }

private:
    bool m_hadZone;
    std::string m_old;
};

// The call-time layout, or "null" when the conversion fails.
std::string localText(__time64_t seconds)
{
    const struct tm* t = _localtime64(&seconds);
    if (t == nullptr)
        return "null";
    char text[80];   // room for any int fields
    std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d", t->tm_year + 1900,
                  t->tm_mon + 1, t->tm_mday, t->tm_hour, t->tm_min, t->tm_sec);
    return text;
}

TEST(Localtime64, ConvertsWithinItsRangeInTheZoneOfTz)
{
    struct Case { const char* zone; __time64_t seconds; const char* expected; };
    const Case cases[] = {
        {"CST-8", 0, "1970-01-01 08:00:00"},
        {"CST-8", 1600000000, "2020-09-13 20:26:40"},
        {"CST-8", -1, "null"},
        {"CST-8", 32535215999LL, "3001-01-01 07:59:59"},
        {"CST-8", 32535216000LL, "null"},
        {"UTC", 0, "1970-01-01 00:00:00"},
        {"UTC", 1600000000, "2020-09-13 12:26:40"},
        {"UTC", 32535215999LL, "3000-12-31 23:59:59"},
        {"UTC", -86400, "null"},
    };
    for (const Case& c : cases) {
        ScopedTimeZone zone(c.zone);
        EXPECT_EQ(localText(c.seconds), c.expected) << c.zone << " " << c.seconds;
    }
    EXPECT_EQ(_localtime64(nullptr), nullptr);
}

// Every field of a struct tm, as text for a failure message.
std::string fieldsOf(const struct tm& t)
{
    return std::to_string(t.tm_year) + "-" + std::to_string(t.tm_mon) + "-" +
           std::to_string(t.tm_mday) + " " + std::to_string(t.tm_hour) + ":" +
           std::to_string(t.tm_min) + ":" + std::to_string(t.tm_sec) +
           " wday " + std::to_string(t.tm_wday) + " yday " + std::to_string(t.tm_yday) +
           " dst " + std::to_string(t.tm_isdst) + " gmtoff " + std::to_string(t.tm_gmtoff) +
           " " + (t.tm_zone != nullptr ? t.tm_zone : "(no zone)");
}

bool sameFields(const struct tm& a, const struct tm& b)
{
    return a.tm_year == b.tm_year && a.tm_mon == b.tm_mon && a.tm_mday == b.tm_mday &&
           a.tm_hour == b.tm_hour && a.tm_min == b.tm_min && a.tm_sec == b.tm_sec &&
           a.tm_wday == b.tm_wday && a.tm_yday == b.tm_yday && a.tm_isdst == b.tm_isdst &&
           a.tm_gmtoff == b.tm_gmtoff && a.tm_zone != nullptr && b.tm_zone != nullptr &&
           std::strcmp(a.tm_zone, b.tm_zone) == 0;
}

// localtime_r's answer in glibc's current zone.
struct tm localtimeOf(__time64_t seconds)
{
    const time_t value = static_cast<time_t>(seconds);
    struct tm local {};
    localtime_r(&value, &local);
    return local;
}

// Success when _localtime64 gives `expected` for `seconds`, field by field.
::testing::AssertionResult givesFields(__time64_t seconds, const struct tm& expected)
{
    const struct tm* local = _localtime64(&seconds);
    if (local != nullptr && sameFields(*local, expected))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "at " << seconds << ": "
                                         << (local != nullptr ? fieldsOf(*local) : "null")
                                         << " instead of " << fieldsOf(expected);
}

// What sets one stretch of a zone apart from the next: how far the local time of day
// runs ahead of UTC's, modulo a day (a leap second moves it too), tm_gmtoff, tm_isdst
// and the abbreviation.
struct ZoneState
{
    long timeOfDayOffset;
    long gmtOffset;
    int isDst;
    std::string abbreviation;
    bool operator==(const ZoneState& o) const
    {
        return timeOfDayOffset == o.timeOfDayOffset && gmtOffset == o.gmtOffset &&
               isDst == o.isDst && abbreviation == o.abbreviation;
    }
};

ZoneState zoneStateAt(__time64_t seconds)
{
    const time_t value = static_cast<time_t>(seconds);
    struct tm local {};
    localtime_r(&value, &local);
    const long timeOfDay = local.tm_hour * 3600L + local.tm_min * 60L + local.tm_sec;
    const long behind = static_cast<long>(seconds % kSecondsPerDay) - timeOfDay;
    const long offset = (kSecondsPerDay - behind % kSecondsPerDay) % kSecondsPerDay;
    return {offset, local.tm_gmtoff, local.tm_isdst, local.tm_zone != nullptr ? local.tm_zone : ""};
}

// The first second of every change of the zone within [from, to], found by localtime_r
// three days at a time and bisected (no zone here changes twice within 6.9 days).
std::vector<__time64_t> zoneChanges(__time64_t from, __time64_t to)
{
    std::vector<__time64_t> changes;
    ZoneState stateBefore = zoneStateAt(from);
    constexpr __time64_t kStep = 3 * kSecondsPerDay;
    for (__time64_t at = from; at < to; at += kStep) {
        __time64_t before = at;
        __time64_t after = std::min(at + kStep, to);
        const ZoneState stateAfter = zoneStateAt(after);
        if (stateBefore == stateAfter)
            continue;
        stateBefore = stateAfter;
        while (after - before > 1) {
            const __time64_t middle = before + (after - before) / 2;
            (zoneStateAt(middle) == stateAfter ? after : before) = middle;
        }
        changes.push_back(after);
    }
    return changes;
}

// Seconds to compare in the zone of glibc: those right around every change within
// [from, to] and a few hours and a day off it, and a stride through the stretch.
std::vector<__time64_t> secondsToCompare(__time64_t from, __time64_t to)
{
    std::vector<__time64_t> seconds;
    for (const __time64_t change : zoneChanges(from, to)) {
        for (const __time64_t off : {-86400, -3601, -3600, -1800, -2, -1, 0, 1, 2, 1800, 3600,
                                     86400}) {
            seconds.push_back(change + off);
        }
    }
    constexpr __time64_t kStride = 29 * kSecondsPerDay + 3607;   // every weekday and hour
    for (__time64_t at = from; at <= to; at += kStride) {
        seconds.push_back(at);
    }
    std::sort(seconds.begin(), seconds.end());
    seconds.erase(std::remove_if(seconds.begin(), seconds.end(),
                                 [&](__time64_t at) { return at < from || at > to; }),
                  seconds.end());
    return seconds;
}

// Compares every second from a fresh _tzset, from the middle outward, one side and then
// the other: what _localtime64 learns going back and going forward.
void expectSameAsLocaltime(const std::vector<__time64_t>& seconds, const char* zone)
{
    _tzset();
    const std::size_t middle = seconds.size() / 2;
    for (std::size_t step = 0; step <= middle; ++step) {
        for (const std::size_t i : {middle - step, middle + step}) {
            if (i < seconds.size()) {
                ASSERT_TRUE(givesFields(seconds[i], localtimeOf(seconds[i]))) << zone;
            }
        }
    }
}

TEST(Localtime64, GivesWhatLocaltimeGivesAroundEveryChangeOfTheZone)
{
    const char* const zones[] = {
        "America/New_York",      // daylight saving, a rule change in 2007
        "Europe/London",         // British Standard Time 1968-1971
        "Europe/Lisbon",         // summer time to CET at one offset, 1992 and back, 1996
        "Pacific/Guam",          // a new abbreviation alone, 2000
        "Australia/Lord_Howe",   // +10:30, and half an hour more in summer
        "Pacific/Easter",        // southern summer time; in 1982 it ended at one offset
        "America/Cambridge_Bay", // the two closest changes: 6.9 days apart in 2000
        "Pacific/Apia",          // skipped 30 December 2011: a change of a whole day
        "Asia/Kolkata",          // +5:30 throughout
        "Asia/Kathmandu",        // +5:30, then +5:45 from 1986
        "Australia/Adelaide",    // +9:30 with summer time
        "right/UTC",             // counts leap seconds: 23:59:60 at each
        "CST-8",                 // a POSIX string without daylight saving
        "NST3:30NDT,M3.2.0,M11.1.0",   // a POSIX rule: -3:30, summer time from March
        nullptr,                 // TZ unset: the system's /etc/localtime
    };
    for (const char* zone : zones) {
        ScopedTimeZone scoped(zone);
        const char* name = zone != nullptr ? zone : "(TZ unset)";
        expectSameAsLocaltime(secondsToCompare(0, kEndOf2037), name);
        // The zone's rule for years past its table, at the end of the convertible range.
        expectSameAsLocaltime(secondsToCompare(kLastConvertible - 400 * kSecondsPerDay,
                                               kLastConvertible), name);
    }
}

// The calendar through the whole range: around the end of February and of every year
// from 1970 to 3000, the century years 2100, 2200, 2300, 2500 ... without a leap day.
TEST(Localtime64, GivesWhatLocaltimeGivesAroundTheLeapDayAndYearEndOfEveryYear)
{
    ScopedTimeZone utc("UTC");
    std::vector<__time64_t> seconds;
    for (int year = 1970; year <= 3000; ++year) {
        struct tm date {};
        date.tm_year = year - 1900;
        date.tm_mon = 1;
        date.tm_mday = 28;
        const __time64_t february28 = timegm(&date);
        for (const __time64_t off : {0, 86399, 86400, 2 * 86400 - 1, 2 * 86400}) {
            seconds.push_back(february28 + off);
        }
        date.tm_mon = 11;
        date.tm_mday = 31;
        const __time64_t december31 = timegm(&date);
        seconds.push_back(december31 + kSecondsPerDay - 1);
        seconds.push_back(december31 + kSecondsPerDay);
    }
    seconds.pop_back();   // 3001 is past the range
    expectSameAsLocaltime(seconds, "UTC");
}

// A zone set in TZ counts only from the next _tzset, and then exactly, for seconds
// converted before as well as new ones.
TEST(Localtime64, TakesAChangedZoneAtTheNextTzset)
{
    const char* const first = "America/New_York";
    const char* const second = "Australia/Lord_Howe";
    ScopedTimeZone scoped(first);
    const std::vector<__time64_t> seconds = secondsToCompare(946684800, 1104537600);   // 2000-2004
    std::vector<struct tm> inFirstZone;
    for (const __time64_t at : seconds) {
        inFirstZone.push_back(localtimeOf(at));
    }
    for (std::size_t i = 0; i < seconds.size(); i += 2) {   // half of them converted now
        ASSERT_TRUE(givesFields(seconds[i], inFirstZone[i])) << first;
    }
    setenv("TZ", second, 1);
    for (std::size_t i = 0; i < seconds.size(); ++i) {
        ASSERT_TRUE(givesFields(seconds[i], inFirstZone[i])) << "before _tzset";
    }
    expectSameAsLocaltime(seconds, second);
    EXPECT_FALSE(sameFields(localtimeOf(seconds.front()), inFirstZone.front()));   // zones differ
}

int sign(int value) { return (value > 0) - (value < 0); }

TEST(Mbscmp, OrdersByUnsignedBytes)
{
    struct Case { const char* left; const char* right; int expected; };
    const Case cases[] = {
        {"13800138000", "13800138000", 0},
        {"", "a", -1},
        {"abc", "ab", 1},
        {"中", "z", 1},           // a lead byte is above every ASCII byte
        {"\xB0\xA1", "\xB0\xA2", -1},   // same lead: the trail decides
        {"\xB0\xFE", "\xB1\xA1", -1},   // the lead decides before the trail
    };
    for (const Case& c : cases) {
        const auto* left = reinterpret_cast<const unsigned char*>(c.left);
        const auto* right = reinterpret_cast<const unsigned char*>(c.right);
        EXPECT_EQ(sign(_mbscmp(left, right)), c.expected) << c.left << " / " << c.right;
        EXPECT_EQ(sign(_mbscmp(right, left)), -c.expected) << c.right << " / " << c.left;
    }
}

TEST(MbsCaseChange, ChangesAsciiLettersOnlyAndKeepsDoubleByteCharacters)
{
    struct Case { const char* input; const char* lower; const char* upper; };
    const Case cases[] = {
        {"ZDATE integer", "zdate integer", "ZDATE INTEGER"},
        {"\x81\x41Z", "\x81\x41z", "\x81\x41Z"},   // trail 'A' is not a letter here
        {"\x81\x61z", "\x81\x61z", "\x81\x61Z"},   // nor is trail 'a'
        {"号码Number", "号码number", "号码NUMBER"},
        {"A\x81", "a\x81", "A\x81"},               // a lone lead at the end stays
        {"", "", ""},
    };
    for (const Case& c : cases) {
        std::string lower = c.input, upper = c.input;
        EXPECT_EQ(_mbslwr_s(reinterpret_cast<unsigned char*>(lower.data()), lower.size() + 1), 0);
        EXPECT_EQ(_mbsupr_s(reinterpret_cast<unsigned char*>(upper.data()), upper.size() + 1), 0);
        EXPECT_EQ(lower, c.lower) << c.input;
        EXPECT_EQ(upper, c.upper) << c.input;
    }
}

TEST(MbsCaseChange, RefusesNullAndUnterminatedStrings)
{
    unsigned char text[] = "ABC";
    EXPECT_EQ(_mbslwr_s(nullptr, 4), EINVAL);
    EXPECT_EQ(_mbsupr_s(nullptr, 4), EINVAL);
    EXPECT_EQ(_mbslwr_s(text, 0), EINVAL);
    EXPECT_EQ(_mbslwr_s(text, 3), EINVAL);   // no room for the terminator
    EXPECT_STREQ(reinterpret_cast<char*>(text), "ABC");
    EXPECT_EQ(_mbslwr_s(text, 4), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(text), "abc");
}

}  // namespace
