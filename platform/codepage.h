// MultiByteToWideChar and WideCharToMultiByte for the two code pages the program
// uses: CP_ACP (code page 936, GBK) and CP_UTF8. Implemented over glibc's iconv.
#pragma once

#include <string>

#include "platform/windows_types.h"

// IsDBCSLeadByte: whether a byte of the system code page (936) leads a double-byte
// character: 0x81..0xFE.
inline BOOL IsDBCSLeadByte(unsigned char b)
{
    return b >= 0x81 && b <= 0xFE;
}

// MultiByteToWideChar
//   codePage  CP_ACP (936) or CP_UTF8; any other code page fails (returns 0).
//   flags     must be 0 (the program passes no other).
//   src/srcLength  the input and its length in bytes; -1 means NUL-terminated, and the
//             terminator is then converted and counted too. A length of 0 fails (returns 0).
//   dst/dstLength  output buffer in UTF-16 code units. dstLength 0 is the sizing call:
//             nothing is written and the number of code units needed is returned.
//   Returns the number of code units written (or needed); 0 on failure, including an
//   output buffer too small (then the buffer's contents are unspecified).
//   Bytes that are not valid in the code page become U+FFFD for UTF-8 and the default
//   character for 936, as Windows does with flags 0; no error is reported for them.
//   UTF-8: each maximal invalid subpart is one U+FFFD. 936: 0xFF, a lead byte without a
//   trail byte (only the lead is consumed) and an unmapped pair (the user-defined areas)
//   each become one '?' (U+003F).
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcLength,
                        WCHAR* dst, int dstLength);

// WideCharToMultiByte
//   codePage  CP_ACP (936) or CP_UTF8; flags 0.
//   src/srcLength  UTF-16 input and its length in code units; -1 means NUL-terminated.
//   dst/dstLength  output in bytes; dstLength 0 is the sizing call.
//   defaultChar must be null (the default character is '?'); usedDefault must be null
//             for CP_UTF8, and for CP_ACP (when given) tells whether '?' was used.
//   A character that code page 936 lacks becomes '?'; an unpaired surrogate becomes
//   U+FFFD in UTF-8 and '?' in 936. Returns bytes written (or needed); 0 on failure.
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* src, int srcLength,
                        char* dst, int dstLength, const char* defaultChar, BOOL* usedDefault);

// A code page 936 text as UTF-8, through UTF-16 with the replacements above; "" for an
// empty text (or one longer than an int counts).
std::string AnsiToUtf8(const std::string& ansi);
