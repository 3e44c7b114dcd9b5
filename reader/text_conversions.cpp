// The four converters between code page 936, UTF-8 and UTF-16, and Utf8ToAnsiString.
// Each converter sizes with an explicit length (the terminator is neither read nor
// counted), allocates n + 1 units, converts into n and stores the terminator at n; a
// failed sizing call (empty input included) gives n = 0, so a buffer of one terminator.
#include "reader/text_conversions.h"

#include <climits>
#include <new>

#include "platform/codepage.h"
#include "platform/file.h"

namespace {

// Length in code units before the terminator, as the int the platform calls take.
template <typename Unit>
int unitLength(const Unit* text)
{
    const std::size_t length = std::char_traits<Unit>::length(text);
    if (length > INT_MAX)
        throw CInvalidArgException();
    return static_cast<int>(length);
}

// n + 1 units, or the framework's memory exception.
template <typename Unit>
Unit* allocateUnits(int n)
{
    Unit* buffer = new (std::nothrow) Unit[static_cast<std::size_t>(n) + 1];
    if (buffer == nullptr)
        throw CMemoryException();
    buffer[n] = 0;
    return buffer;
}

WCHAR* toWide(UINT codePage, const char* text)
{
    const int length = unitLength(text);
    const int n = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
    WCHAR* buffer = allocateUnits<WCHAR>(n);
    MultiByteToWideChar(codePage, 0, text, length, buffer, n);
    return buffer;
}

char* toNarrow(UINT codePage, const WCHAR* text)
{
    const int length = unitLength(text);
    const int n = WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr);
    char* buffer = allocateUnits<char>(n);
    WideCharToMultiByte(codePage, 0, text, length, buffer, n, nullptr, nullptr);
    return buffer;
}

}  // namespace

WCHAR* AnsiToWide(const char* ansi) { return toWide(CP_ACP, ansi); }
WCHAR* Utf8ToWide(const char* utf8) { return toWide(CP_UTF8, utf8); }
char* WideToAnsi(const WCHAR* wide) { return toNarrow(CP_ACP, wide); }
char* WideToUtf8(const WCHAR* wide) { return toNarrow(CP_UTF8, wide); }

std::string Utf8ToAnsiString(const char* utf8)
{
    const WideBuffer wide(Utf8ToWide(utf8));
    const NarrowBuffer ansi(WideToAnsi(wide.get()));
    return std::string(ansi.get());   // up to the terminator, as "%s" would take it
}
