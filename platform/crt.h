// The C runtime calls of the Windows platform that the program uses: the local time zone
// and 64-bit local time, and the multibyte string functions of the system code page (936).
#pragma once

#include <cerrno>
#include <cstddef>
#include <ctime>

#include "platform/codepage.h"
#include "platform/windows_types.h"

typedef int errno_t;

// _tzset: reads the local time zone now: the zone that TZ names, or /etc/localtime when
// TZ is unset, by glibc's rules. Every _localtime64 after it converts in that zone until
// the next _tzset, whatever becomes of TZ or /etc/localtime meanwhile. Each command that
// writes call times calls it once at its start, so a changed zone counts from the next
// command on. Before the first _tzset, the first _localtime64 reads the zone itself.
void _tzset();

// _localtime64: converts seconds since 1970-01-01 00:00:00 UTC to the local time of the
// zone of the last _tzset: localtime_r, which glibc lets re-read the zone only on tzset,
// so a conversion makes no system call. Returns a pointer to a per-thread struct tm that
// the next call overwrites, or null for a negative count and for a count past
// 3000-12-31 23:59:59 UTC (32,535,215,999), exactly as on Windows.
// glibc holds the zone: should TZ or /etc/localtime change during a command while
// something else calls tzset() (Qt does for its own date texts), that command could
// convert some times in the old zone and some in the new.
struct tm* _localtime64(const __time64_t* seconds);

// _mbscmp: strcmp, which compares as unsigned bytes: a double-byte character of code
// page 936 compares by its lead then trail byte, which is the byte order.
int _mbscmp(const unsigned char* left, const unsigned char* right);

// _mbslwr_s / _mbsupr_s: change the case of the ASCII letters of a NUL-terminated code
// page 936 string in place. The two bytes of a double-byte character are skipped
// together and never changed, so a trail byte in 'A'..'Z' or 'a'..'z' is left alone.
// The string must be terminated within sizeInBytes (the callers pass its own buffer).
// Returns 0.
errno_t _mbslwr_s(unsigned char* str, std::size_t sizeInBytes);
errno_t _mbsupr_s(unsigned char* str, std::size_t sizeInBytes);

// The ASCII letters A to Z as a to z; every other byte, half of a double-byte character
// included, as it is.
inline char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
