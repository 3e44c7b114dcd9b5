// _tzset and _localtime64 over glibc's tzset and localtime_r; and the multibyte string
// functions of code page 936: a byte 0x81..0xFE leads a double-byte character whose
// trail byte (which may be an ASCII letter) is never changed on its own.
#include "platform/crt.h"

#include <cstring>

namespace {

// 3000-12-31 23:59:59 UTC: the last second the Windows runtime converts.
constexpr __time64_t kLastConvertibleSecond = 32535215999LL;

// The case change of the ASCII letters of a terminated string, double-byte characters
// stepped over whole. The callers hand over the string's own buffer, terminator included.
errno_t changeCase(unsigned char* str, char (*change)(char))
{
    for (; *str != 0; ++str) {
        if (IsDBCSLeadByte(*str)) {
            if (str[1] != 0)
                ++str;   // the trail byte goes with its lead
        } else {
            *str = static_cast<unsigned char>(change(static_cast<char>(*str)));
        }
    }
    return 0;
}

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

int _mbscmp(const unsigned char* left, const unsigned char* right)
{
    return std::strcmp(reinterpret_cast<const char*>(left), reinterpret_cast<const char*>(right));
}

errno_t _mbslwr_s(unsigned char* str, std::size_t)
{
    return changeCase(str, LowerAscii);
}

errno_t _mbsupr_s(unsigned char* str, std::size_t)
{
    return changeCase(str, upperAscii);
}

void _tzset()
{
    tzset();
}

struct tm* _localtime64(const __time64_t* seconds)
{
    static_assert(sizeof(time_t) >= sizeof(__time64_t), "time_t must hold 64-bit seconds");
    thread_local struct tm result;
    if (seconds == nullptr || *seconds < 0 || *seconds > kLastConvertibleSecond)
        return nullptr;
    const time_t value = static_cast<time_t>(*seconds);
    return localtime_r(&value, &result);
}
