// The five text conversions: what the open, the row callbacks and the remnant decoding
// get from them. Narrow literals are code page 936; u8 literals are UTF-8.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "reader/text_conversions.h"

namespace {

std::u16string wide(const WideBuffer& buffer) { return buffer.get(); }
std::string narrow(const NarrowBuffer& buffer) { return buffer.get(); }

TEST(TextConversions, TwoChineseCharactersBetweenUtf8AndCodePage936)
{
    EXPECT_EQ(Utf8ToAnsiString(u8"中文"), "中文");
    EXPECT_EQ(std::strlen("中文"), 4u);

    const WideBuffer w(Utf8ToWide(u8"中文"));
    EXPECT_EQ(w[0], u'中');
    EXPECT_EQ(w[1], u'文');
    EXPECT_EQ(w[2], 0);
}

TEST(TextConversions, EmptyInputGivesOnlyATerminator)
{
    const WideBuffer w(AnsiToWide(""));
    EXPECT_EQ(w[0], 0);
    const NarrowBuffer utf8(WideToUtf8(w.get()));
    EXPECT_EQ(utf8[0], '\0');
    EXPECT_EQ(WideBuffer(Utf8ToWide(""))[0], 0);
    EXPECT_EQ(NarrowBuffer(WideToAnsi(u""))[0], '\0');
    EXPECT_EQ(Utf8ToAnsiString(""), "");
}

TEST(TextConversions, ChinesePathReachesUtf8ForSqlite)
{
    const WideBuffer w(AnsiToWide("/home/用户/备份/通话记录/contacts2.db"));
    EXPECT_EQ(narrow(NarrowBuffer(WideToUtf8(w.get()))), u8"/home/用户/备份/通话记录/contacts2.db");
}

TEST(TextConversions, UnconvertibleTextComesOutWithTheDefaultReplacement)
{
    struct Case { const char* what; std::string result; std::string expected; };
    const Case cases[] = {
        {"supplementary char 936 lacks", narrow(NarrowBuffer(WideToAnsi(u"张\U0001F600三"))), "张?三"},
        {"bmp char 936 lacks", Utf8ToAnsiString(u8"x가y"), "x?y"},
        {"invalid utf-8", Utf8ToAnsiString("a\xC3" "b"), "a?b"},   // U+FFFD, then '?' in 936
        {"call.db utf-16 text", narrow(NarrowBuffer(WideToAnsi(u"北京 移动"))), "北京 移动"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.result, c.expected) << c.what;
    EXPECT_EQ(wide(WideBuffer(Utf8ToWide("a\xC3" "b"))), u"a\uFFFDb");
}

}  // namespace
