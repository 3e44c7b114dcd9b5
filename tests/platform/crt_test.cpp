// _localtime64 with its limits, in zones with summer time and odd offsets, and across a
// change of TZ; and the code page 936 string functions: byte order for _mbscmp,
// double-byte characters left whole by the case changes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/crt.h"

namespace {

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
        {"America/New_York", 1593561600, "2020-06-30 20:00:00"},     // summer time
        {"America/New_York", 1577836800, "2019-12-31 19:00:00"},
        {"Asia/Kathmandu", 1577836800, "2020-01-01 05:45:00"},
        {"right/UTC", 1483228826, "2016-12-31 23:59:60"},             // a leap second
    };
    for (const Case& c : cases) {
        ScopedTimeZone zone(c.zone);
        EXPECT_EQ(localText(c.seconds), c.expected) << c.zone << " " << c.seconds;
    }
    EXPECT_EQ(_localtime64(nullptr), nullptr);
}

// A zone set in TZ counts only from the next _tzset: a command converts all its times in
// one zone, and a conversion never goes back to the zone's files.
TEST(Localtime64, TakesAChangedZoneAtTheNextTzset)
{
    ScopedTimeZone scoped("America/New_York");
    const __time64_t summer = 1593561600;   // 2020-07-01 00:00:00 UTC
    EXPECT_EQ(localText(summer), "2020-06-30 20:00:00");
    setenv("TZ", "Australia/Lord_Howe", 1);
    EXPECT_EQ(localText(summer), "2020-06-30 20:00:00");
    _tzset();
    EXPECT_EQ(localText(summer), "2020-07-01 10:30:00");
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

}  // namespace
