// Conversions between the system code page (936), UTF-8 and UTF-16: SQLite takes and
// gives UTF-8, call.db stores UTF-16LE, everything the program keeps is code page 936.
#pragma once

#include <memory>
#include <string>

#include "platform/windows_types.h"

// Each converter returns a new NUL-terminated buffer that the caller releases with
// delete[] (or holds in the matching unique_ptr below). The input must not be null. An
// empty input gives a buffer holding only the terminator; nothing is ever reported:
// unconvertible input comes out as the platform converter's default replacement.
WCHAR* AnsiToWide(const char* ansi);
WCHAR* Utf8ToWide(const char* utf8);
char* WideToAnsi(const WCHAR* wide);
char* WideToUtf8(const WCHAR* wide);

// A UTF-8 text as a code page 936 string, through Utf8ToWide and WideToAnsi.
std::string Utf8ToAnsiString(const char* utf8);

using WideBuffer = std::unique_ptr<WCHAR[]>;
using NarrowBuffer = std::unique_ptr<char[]>;
