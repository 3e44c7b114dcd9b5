// Conformance of MultiByteToWideChar / WideCharToMultiByte: every case runs the sizing
// call and the converting call into a junk-filled buffer, which must agree and must leave
// the units past the result untouched. Narrow literals are code page 936 (exec charset).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/codepage.h"

namespace {

constexpr WCHAR kJunkUnit = 0xCCCC;
constexpr char kJunkByte = '\xCC';
constexpr int kSlack = 4;   // junk units after the expected output

struct MbCase {
    const char* what;
    UINT codePage;
    std::string src;
    std::u16string expected;
    int srcLength = 0;   // 0: src.size()
};

struct WcCase {
    const char* what;
    UINT codePage;
    std::u16string src;
    std::string expected;
    bool usedDefault = false;
    int srcLength = 0;
};

std::u16string runMb(const MbCase& c)
{
    const int length = c.srcLength ? c.srcLength : static_cast<int>(c.src.size());
    const int n = MultiByteToWideChar(c.codePage, 0, c.src.data(), length, nullptr, 0);
    std::vector<WCHAR> out(n + kSlack, kJunkUnit);
    EXPECT_EQ(n, MultiByteToWideChar(c.codePage, 0, c.src.data(), length, out.data(), n));
    for (int i = n; i < n + kSlack; ++i)
        EXPECT_EQ(out[i], kJunkUnit) << "written past the result at " << i;
    return std::u16string(out.data(), n);
}

TEST(MultiByteToWideChar, ConvertsAndReplacesLikeWindows)
{
    const MbCase cases[] = {
        {"ascii utf-8", CP_UTF8, "call.db", u"call.db"},
        {"ascii 936", CP_ACP, "call.db", u"call.db"},
        {"936 by number", kSystemCodePage, "\xD6\xD0", u"中"},
        {"two chinese, utf-8 six bytes", CP_UTF8, u8"中文", u"中文"},
        {"two chinese, 936 four bytes", CP_ACP, "中文", u"中文"},
        {"936 euro at 0x80", CP_ACP, "\x80", u"€"},
        {"936 trail byte is an ascii letter", CP_ACP, "\x81\x41", u"\u4E04"},
        {"936 0xFF", CP_ACP, "a\xFF" "b", u"a?b"},
        {"936 lone lead at the end", CP_ACP, "a\x81", u"a?"},
        {"936 lead before a non-trail keeps it", CP_ACP, "\x81 b", u"? b"},
        {"936 lead before 0x7F keeps it", CP_ACP, "\x81\x7F", u"?\x7F"},
        {"936 unmapped user-defined pair", CP_ACP, "\xAA\xA1x", u"?x"},
        {"utf-8 supplementary to a pair", CP_UTF8, "\xF0\x9F\x98\x80", u"\U0001F600"},
        {"utf-8 truncated sequence", CP_UTF8, "\xE4\xB8" "A", u"\uFFFDA"},
        {"utf-8 lone continuation", CP_UTF8, "\x80" "a", u"\uFFFDa"},
        {"utf-8 overlong", CP_UTF8, "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"utf-8 overlong three-byte '/'", CP_UTF8, "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
        {"utf-8 encoded surrogate", CP_UTF8, "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"utf-8 past U+10FFFF", CP_UTF8, "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"utf-8 truncated four-byte at end", CP_UTF8, "a\xF0\x9F\x98", u"a\uFFFD"},
        {"explicit length keeps a NUL", CP_UTF8, std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
        {"-1 counts the terminator", CP_UTF8, "ab", std::u16string(u"ab\0", 3), -1},
        {"-1 in 936", CP_ACP, "中", std::u16string(u"中\0", 2), -1},
    };
    for (const MbCase& c : cases)
        EXPECT_EQ(runMb(c), c.expected) << c.what;
}

std::string runWc(const WcCase& c, BOOL* usedDefault)
{
    const int length = c.srcLength ? c.srcLength : static_cast<int>(c.src.size());
    BOOL* used = c.codePage == CP_UTF8 ? nullptr : usedDefault;
    const int n = WideCharToMultiByte(c.codePage, 0, c.src.data(), length, nullptr, 0, nullptr, used);
    std::vector<char> out(n + kSlack, kJunkByte);
    EXPECT_EQ(n, WideCharToMultiByte(c.codePage, 0, c.src.data(), length, out.data(), n, nullptr, used));
    for (int i = n; i < n + kSlack; ++i)
        EXPECT_EQ(out[i], kJunkByte) << "written past the result at " << i;
    return std::string(out.data(), n);
}

TEST(WideCharToMultiByte, ConvertsAndReplacesLikeWindows)
{
    const WcCase cases[] = {
        {"ascii utf-8", CP_UTF8, u"call.db", "call.db"},
        {"ascii 936", CP_ACP, u"call.db", "call.db"},
        {"two chinese to utf-8", CP_UTF8, u"中文", u8"中文"},
        {"two chinese to 936", CP_ACP, u"中文", "中文"},
        {"euro to 936", CP_ACP, u"€", "\x80"},
        {"pair to utf-8", CP_UTF8, u"\U0001F600", "\xF0\x9F\x98\x80"},
        {"pair 936 lacks is one default", CP_ACP, u"a\U0001F600b", "a?b", true},
        {"bmp char 936 lacks (hangul)", CP_ACP, u"\uAC00", "?", true},
        {"unpaired high to utf-8", CP_UTF8, u"\xD800" "a", "\xEF\xBF\xBD" "a"},
        {"unpaired low to utf-8", CP_UTF8, u"\xDC00", "\xEF\xBF\xBD"},
        {"unpaired high at end to 936", CP_ACP, u"a\xD800", "a?", true},
        {"unpaired low to 936", CP_ACP, u"\xDC00" "中", "?中", true},
        {"-1 counts the terminator", CP_ACP, u"中", std::string("中\0", 3), false, -1},
    };
    for (const WcCase& c : cases) {
        BOOL usedDefault = 2;   // neither TRUE nor FALSE: must be written
        EXPECT_EQ(runWc(c, &usedDefault), c.expected) << c.what;
        if (c.codePage != CP_UTF8) {
            EXPECT_EQ(usedDefault, c.usedDefault ? TRUE : FALSE) << c.what;
        }
    }
}

TEST(CodePageConversions, FailWithZero)
{
    WCHAR wide[8];
    char narrow[8];
    BOOL used = FALSE;
    struct Failure { const char* what; int result; };
    const Failure failures[] = {
        {"unknown code page", MultiByteToWideChar(1252, 0, "a", 1, wide, 8)},
        {"empty input", MultiByteToWideChar(CP_UTF8, 0, "a", 0, wide, 8)},
        {"flags", MultiByteToWideChar(CP_UTF8, 1, "a", 1, wide, 8)},
        {"null source", MultiByteToWideChar(CP_UTF8, 0, nullptr, 1, wide, 8)},
        {"length below -1", MultiByteToWideChar(CP_UTF8, 0, "a", -2, wide, 8)},
        {"buffer too small", MultiByteToWideChar(CP_ACP, 0, "abc", 3, wide, 2)},
        {"utf-8 pair does not fit", MultiByteToWideChar(CP_UTF8, 0, "\xF0\x9F\x98\x80", 4, wide, 1)},
        {"wide unknown code page", WideCharToMultiByte(1252, 0, u"a", 1, narrow, 8, nullptr, nullptr)},
        {"wide empty input", WideCharToMultiByte(CP_ACP, 0, u"a", 0, narrow, 8, nullptr, nullptr)},
        {"wide buffer too small", WideCharToMultiByte(CP_ACP, 0, u"中", 1, narrow, 1, nullptr, nullptr)},
        {"a default character", WideCharToMultiByte(CP_ACP, 0, u"a", 1, narrow, 8, "*", nullptr)},
        {"utf-8 with usedDefault", WideCharToMultiByte(CP_UTF8, 0, u"a", 1, narrow, 8, nullptr, &used)},
    };
    for (const Failure& f : failures)
        EXPECT_EQ(f.result, 0) << f.what;
}

}  // namespace
