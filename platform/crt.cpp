// _localtime64 over localtime_r, and the multibyte string functions of code page 936:
// a byte 0x81..0xFE leads a double-byte character whose trail byte (which may be an
// ASCII letter) is never changed on its own.
#include "platform/crt.h"

#include <climits>
#include <cstring>

namespace {

// 3000-12-31 23:59:59 UTC: the last second the Windows runtime converts.
constexpr __time64_t kLastConvertibleSecond = 32535215999LL;

bool isLeadByte936(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

template <typename ChangeCase>
errno_t changeCase(unsigned char* str, std::size_t sizeInBytes, ChangeCase change)
{
    if (str == nullptr || sizeInBytes == 0)
        return errno = EINVAL;
    const std::size_t length = strnlen(reinterpret_cast<const char*>(str), sizeInBytes);
    if (length == sizeInBytes)   // no terminator inside the buffer
        return errno = EINVAL;
    for (std::size_t i = 0; i < length; ++i) {
        if (isLeadByte936(str[i])) {
            if (i + 1 < length)
                ++i;   // the trail byte goes with its lead
        } else {
            str[i] = change(str[i]);
        }
    }
    return 0;
}

unsigned char lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }
unsigned char upper(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

}  // namespace

struct tm* _localtime64(const __time64_t* seconds)
{
    thread_local struct tm result;
    if (seconds == nullptr || *seconds < 0 || *seconds > kLastConvertibleSecond)
        return nullptr;
    static_assert(sizeof(time_t) >= sizeof(__time64_t), "time_t must hold 64-bit seconds");
    const time_t value = static_cast<time_t>(*seconds);
    tzset();   // as localtime does: a changed TZ takes effect
    return localtime_r(&value, &result);
}

int _mbscmp(const unsigned char* left, const unsigned char* right)
{
    if (left == nullptr || right == nullptr) {
        errno = EINVAL;
        return INT_MAX;   // the runtime's comparison-error value
    }
    while (*left != 0 && *left == *right) {
        ++left;
        ++right;
    }
    return static_cast<int>(*left) - static_cast<int>(*right);
}

errno_t _mbslwr_s(unsigned char* str, std::size_t sizeInBytes)
{
    return changeCase(str, sizeInBytes, lower);
}

errno_t _mbsupr_s(unsigned char* str, std::size_t sizeInBytes)
{
    return changeCase(str, sizeInBytes, upper);
}
