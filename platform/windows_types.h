// The handful of Windows scalar types and constants that the program's own code uses.
// WCHAR is a UTF-16 code unit (char16_t), never wchar_t, which is 32 bits on Linux.
#pragma once

#include <cstddef>
#include <cstdint>

typedef int BOOL;
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

typedef unsigned int UINT;
typedef std::uint32_t DWORD;
typedef std::uint64_t ULONGLONG;
typedef std::int64_t LONGLONG;
typedef char16_t WCHAR;
typedef std::uintptr_t WPARAM;
typedef std::intptr_t LPARAM;
typedef std::intptr_t LRESULT;
typedef std::uint32_t COLORREF;   // 0x00BBGGRR
typedef std::int64_t __time64_t;  // seconds since 1970-01-01 00:00:00 UTC

// Code pages: CP_ACP is the system ANSI code page, which in this build is 936 (GBK).
constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;
constexpr UINT kSystemCodePage = 936;

// Dialog results and the command ids of the Enter and Escape keys.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Message-box types: an OK button alone, or OK and Cancel (Escape and the close box
// answer Cancel); and the show command of ShellExecuteA.
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_TYPEMASK = 0xF;
constexpr int SW_SHOWNORMAL = 1;

constexpr COLORREF RGB(unsigned r, unsigned g, unsigned b)
{
    return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}
