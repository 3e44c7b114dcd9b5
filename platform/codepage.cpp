// MultiByteToWideChar and WideCharToMultiByte: code page 936 through glibc's iconv
// ("CP936", whose 0x80 is the Euro sign as on Windows), UTF-8 by hand: iconv stops at
// bad input where Windows substitutes and goes on, so it would need this decoder for the
// replacements anyway, and on names and places of a few characters its UTF-8 decoding
// is about three times slower (a sixth more time for a fill pass of distinct names).
//
// Replacements, all silent (flags 0):
//   UTF-8 in    each maximal invalid subpart (an ill-formed lead, or a lead with fewer
//               valid trail bytes than it needs) is one U+FFFD; decoding resumes at the
//               first byte that did not fit.
//   936 in      a byte that cannot start a character (0xFF), a lead byte 0x81..0xFE not
//               followed by a trail byte (0x40..0x7E, 0x80..0xFE), and a lead/trail pair
//               with no Unicode mapping (the user-defined areas, which Windows maps to
//               private-use characters) each become one '?' (U+003F); a lead byte
//               without a valid trail consumes only itself, so the next byte survives.
//   UTF-16 in   an unpaired surrogate is U+FFFD in UTF-8 and the default character in 936.
//   936 out     a character 936 lacks (a surrogate pair counts as one) is '?', which
//               *usedDefault reports.
// Sizing and converting calls run the same code through a Sink, so they always agree.
#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "WCHAR buffers are handed to iconv as UTF-16LE bytes");

namespace {

constexpr char32_t kReplacementChar = 0xFFFD;
constexpr char kAnsiDefaultChar = '?';
constexpr std::size_t kIconvChunkBytes = 1024;

bool isSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }
bool isHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool isTrailByte936(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

// Counts every unit and stores those that fit. Capacity 0 is the sizing call.
template <typename Unit>
class Sink
{
public:
    Sink(Unit* dst, int capacity) : m_dst(dst), m_capacity(capacity) {}
    void put(Unit unit)
    {
        if (m_count < m_capacity)
            m_dst[m_count] = unit;
        ++m_count;
    }
    // The count for the caller, or 0 when it overflows the buffer or an int.
    int result() const
    {
        if (m_count > INT_MAX || (m_capacity > 0 && m_count > m_capacity))
            return 0;
        return static_cast<int>(m_count);
    }

private:
    Unit* m_dst;
    long long m_capacity;
    long long m_count = 0;
};

bool isUtf8(UINT codePage) { return codePage == CP_UTF8; }
bool isSupported(UINT codePage)
{
    return codePage == CP_UTF8 || codePage == CP_ACP || codePage == kSystemCodePage;
}

// One pair of iconv descriptors per thread, opened on first use and reset per call.
class Iconv936
{
public:
    static Iconv936& forThread()
    {
        thread_local Iconv936 handles;
        return handles;
    }
    ~Iconv936()
    {
        if (m_toWide != invalid()) iconv_close(m_toWide);
        if (m_toAnsi != invalid()) iconv_close(m_toAnsi);
    }
    // Null when glibc lacks the converter.
    iconv_t toWide() { return opened(m_toWide, "UTF-16LE", "CP936"); }
    iconv_t toAnsi() { return opened(m_toAnsi, "CP936", "UTF-16LE"); }

private:
    static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }
    static iconv_t opened(iconv_t& cd, const char* to, const char* from)
    {
        if (cd == invalid())
            cd = iconv_open(to, from);
        if (cd == invalid())
            return nullptr;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        return cd;
    }
    iconv_t m_toWide = invalid();
    iconv_t m_toAnsi = invalid();
};

// Decodes one UTF-8 character at p (p < end); returns the bytes consumed.
std::size_t decodeUtf8(const unsigned char* p, const unsigned char* end, char32_t& c)
{
    const unsigned char lead = p[0];
    int trailCount = 0;
    unsigned char low = 0x80, high = 0xBF;   // allowed range of the first trail byte
    if (lead < 0x80) {
        c = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        trailCount = 1;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trailCount = 2;
        c = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF;  // no encoded surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trailCount = 3;
        c = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
    } else {
        c = kReplacementChar;
        return 1;
    }
    std::size_t used = 1;
    for (int i = 0; i < trailCount; ++i, low = 0x80, high = 0xBF) {
        if (p + used == end || p[used] < low || p[used] > high) {
            c = kReplacementChar;
            return used;
        }
        c = (c << 6) | (p[used] & 0x3F);
        ++used;
    }
    return used;
}

// Decodes one UTF-16 character; an unpaired surrogate comes back as itself.
std::size_t decodeUtf16(const WCHAR* p, const WCHAR* end, char32_t& c)
{
    c = p[0];
    if (isHighSurrogate(c) && p + 1 < end && isLowSurrogate(p[1])) {
        c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
        return 2;
    }
    return 1;
}

void putUtf16(Sink<WCHAR>& sink, char32_t c)
{
    if (c < 0x10000) {
        sink.put(static_cast<WCHAR>(c));
    } else {
        c -= 0x10000;
        sink.put(static_cast<WCHAR>(0xD800 + (c >> 10)));
        sink.put(static_cast<WCHAR>(0xDC00 + (c & 0x3FF)));
    }
}

void putUtf8(Sink<char>& sink, char32_t c)
{
    if (isSurrogate(c))
        c = kReplacementChar;
    auto put = [&sink](unsigned value) { sink.put(static_cast<char>(value)); };
    if (c < 0x80) {
        put(c);
    } else if (c < 0x800) {
        put(0xC0 | (c >> 6));
        put(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        put(0xE0 | (c >> 12));
        put(0x80 | ((c >> 6) & 0x3F));
        put(0x80 | (c & 0x3F));
    } else {
        put(0xF0 | (c >> 18));
        put(0x80 | ((c >> 12) & 0x3F));
        put(0x80 | ((c >> 6) & 0x3F));
        put(0x80 | (c & 0x3F));
    }
}

void utf8ToWide(const unsigned char* p, const unsigned char* end, Sink<WCHAR>& sink)
{
    char32_t c = 0;
    while (p < end) {
        p += decodeUtf8(p, end, c);
        putUtf16(sink, c);
    }
}

void wideToUtf8(const WCHAR* p, const WCHAR* end, Sink<char>& sink)
{
    char32_t c = 0;
    while (p < end) {
        p += decodeUtf16(p, end, c);
        putUtf8(sink, c);
    }
}

// Bytes of the bad 936 sequence at p that one '?' replaces (see the banner).
std::size_t badSequenceLength936(const unsigned char* p, std::size_t left)
{
    return left >= 2 && IsDBCSLeadByte(p[0]) && isTrailByte936(p[1]) ? 2 : 1;
}

// Units of the UTF-16 sequence at p that 936 cannot hold: a whole pair, else one unit.
std::size_t badSequenceLength16(const WCHAR* p, std::size_t left)
{
    return left >= 2 && isHighSurrogate(p[0]) && isLowSurrogate(p[1]) ? 2 : 1;
}

// Runs cd over [in, in + inBytes); each converted chunk goes to emit(bytes, count);
// each sequence iconv refuses is handed to onBad(offset), which returns the bytes to skip.
// Returns false on any other iconv failure.
template <typename Emit, typename OnBad>
bool runIconv(iconv_t cd, const char* in, std::size_t inBytes, Emit emit, OnBad onBad)
{
    const char* const begin = in;
    char* input = const_cast<char*>(in);   // iconv's signature; it does not write input
    while (inBytes > 0) {
        char chunk[kIconvChunkBytes];
        char* out = chunk;
        std::size_t outLeft = sizeof chunk;
        const std::size_t rc = iconv(cd, &input, &inBytes, &out, &outLeft);
        const int error = errno;
        emit(chunk, static_cast<std::size_t>(out - chunk));
        if (rc != static_cast<std::size_t>(-1) || error == E2BIG)
            continue;
        if (error != EILSEQ && error != EINVAL)
            return false;
        const std::size_t skip = onBad(static_cast<std::size_t>(input - begin));
        input += skip;
        inBytes -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return true;
}

bool ansiToWide(const unsigned char* p, const unsigned char* end, Sink<WCHAR>& sink)
{
    while (p < end && *p < 0x80)   // ASCII is itself in 936: no iconv for it
        sink.put(*p++);
    if (p == end)
        return true;
    iconv_t cd = Iconv936::forThread().toWide();
    if (cd == nullptr)
        return false;
    auto emit = [&sink](const char* bytes, std::size_t count) {
        for (std::size_t i = 0; i + 1 < count; i += 2) {
            WCHAR unit;
            std::memcpy(&unit, bytes + i, sizeof unit);
            sink.put(unit);
        }
    };
    const std::size_t total = static_cast<std::size_t>(end - p);
    auto onBad = [&sink, p, total](std::size_t offset) {
        sink.put(static_cast<WCHAR>(kAnsiDefaultChar));
        return badSequenceLength936(p + offset, total - offset);
    };
    return runIconv(cd, reinterpret_cast<const char*>(p), total, emit, onBad);
}

bool wideToAnsi(const WCHAR* p, const WCHAR* end, Sink<char>& sink, BOOL* usedDefault)
{
    while (p < end && *p < 0x80)
        sink.put(static_cast<char>(*p++));
    if (p == end)
        return true;
    iconv_t cd = Iconv936::forThread().toAnsi();
    if (cd == nullptr)
        return false;
    auto emit = [&sink](const char* bytes, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i)
            sink.put(bytes[i]);
    };
    const std::size_t total = static_cast<std::size_t>(end - p);
    auto onBad = [&](std::size_t offsetBytes) {
        sink.put(kAnsiDefaultChar);
        if (usedDefault)
            *usedDefault = TRUE;
        const std::size_t unit = offsetBytes / sizeof(WCHAR);
        return badSequenceLength16(p + unit, total - unit) * sizeof(WCHAR);
    };
    return runIconv(cd, reinterpret_cast<const char*>(p), total * sizeof(WCHAR), emit, onBad);
}

bool badArguments(UINT codePage, DWORD flags, const void* src, int srcLength,
                  const void* dst, int dstLength)
{
    return !isSupported(codePage) || flags != 0 || src == nullptr || srcLength == 0 ||
           srcLength < -1 || dstLength < 0 || (dstLength > 0 && dst == nullptr);
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcLength,
                        WCHAR* dst, int dstLength)
{
    if (badArguments(codePage, flags, src, srcLength, dst, dstLength))
        return 0;
    const std::size_t length = srcLength == -1 ? std::strlen(src) + 1 : static_cast<std::size_t>(srcLength);
    const auto* begin = reinterpret_cast<const unsigned char*>(src);
    Sink<WCHAR> sink(dst, dstLength);
    if (isUtf8(codePage))
        utf8ToWide(begin, begin + length, sink);
    else if (!ansiToWide(begin, begin + length, sink))
        return 0;
    return sink.result();
}

int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* src, int srcLength,
                        char* dst, int dstLength, const char* defaultChar, BOOL* usedDefault)
{
    if (badArguments(codePage, flags, src, srcLength, dst, dstLength))
        return 0;
    if (defaultChar != nullptr || (isUtf8(codePage) && usedDefault != nullptr))
        return 0;
    const std::size_t length = srcLength == -1 ? std::char_traits<WCHAR>::length(src) + 1
                                               : static_cast<std::size_t>(srcLength);
    if (usedDefault)
        *usedDefault = FALSE;
    Sink<char> sink(dst, dstLength);
    if (isUtf8(codePage))
        wideToUtf8(src, src + length, sink);
    else if (!wideToAnsi(src, src + length, sink, usedDefault))
        return 0;
    return sink.result();
}

std::string AnsiToUtf8(const std::string& ansi)
{
    const std::size_t length = std::strlen(ansi.c_str());
    if (length == 0 || length > INT_MAX)
        return {};
    const int ansiLength = static_cast<int>(length);
    std::u16string wide(MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), ansiLength, nullptr, 0), u'\0');
    const int wideLength = static_cast<int>(wide.size());
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), ansiLength, wide.data(), wideLength);
    std::string utf8(WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0,
                                         nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(),
                        static_cast<int>(utf8.size()), nullptr, nullptr);
    return utf8;
}
