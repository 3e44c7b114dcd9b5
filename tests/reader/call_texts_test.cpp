// The call-time text (TZ=CST-8) written into a caller's buffer and into a string: the
// same text both ways, nothing written when the time cannot be converted, and a string
// with room enough keeps its buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "reader/call_texts.h"

namespace {

TEST(FormatLocalCallTime, WritesOneTextIntoABufferAndIntoAString)
{
    struct Case { __time64_t seconds; const char* text; };   // null: not converted
    const Case cases[] = {
        {0, "1970-01-01 08:00:00"},
        {951782400, "2000-02-29 08:00:00"},
        {32535215999LL, "3001-01-01 07:59:59"},
        {-1, nullptr},
        {32535216000LL, nullptr},
    };
    for (const Case& c : cases) {
        char text[kCallTimeTextBytes];
        std::memset(text, 'x', sizeof text);
        const std::size_t length = FormatLocalCallTime(c.seconds, text);
        std::string out = "untouched";
        const bool converted = FormatLocalCallTime(c.seconds, out);
        if (c.text == nullptr) {
            EXPECT_EQ(length, 0u) << c.seconds;
            EXPECT_EQ(std::string(text, sizeof text), std::string(sizeof text, 'x')) << c.seconds;
            EXPECT_FALSE(converted) << c.seconds;
            EXPECT_EQ(out, "untouched") << c.seconds;
        } else {
            EXPECT_EQ(length, std::strlen(c.text)) << c.seconds;
            EXPECT_STREQ(text, c.text);
            EXPECT_TRUE(converted) << c.seconds;
            EXPECT_EQ(out, c.text);
        }
    }
}

TEST(FormatLocalCallTime, KeepsTheBufferOfAStringWithRoom)
{
    std::string out;
    out.reserve(2 * kCallTimeTextBytes);
    const char* const buffer = out.data();
    for (__time64_t seconds = 0; seconds < 1000000; seconds += 86399) {
        ASSERT_TRUE(FormatLocalCallTime(seconds, out));
        ASSERT_EQ(out.data(), buffer) << seconds;
    }
}

}  // namespace
