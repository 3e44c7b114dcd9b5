// The scanner's first look at a page: which offsets hold a zero byte whose next three
// bytes columns 1, 2 and 3 do not refuse, found 32 offsets at a time with the widest
// vector instructions the CPU has (chosen at run time; every kind finds the same set).
#pragma once

#include <cstdint>

#include "recovery/record_frame.h"

// How marks are computed. Best is the widest kind the CPU runs.
enum class CandidateBlockKind : unsigned char { Best, Scalar, Sse2, Ssse3, Avx2 };

// True when this CPU (and build) runs `kind`.
bool CandidateBlockKindAvailable(CandidateBlockKind kind);

// The kind every later scan uses (tests compare kinds); false, and nothing changed, when
// the CPU does not run it.
bool SetCandidateBlockKind(CandidateBlockKind kind);

// Decided once per scan from the rules of columns 1 to 3. While the varints after the
// zero byte are one byte long (below 0x80), a position whose column 1, 2 or 3 refuses
// the serial type is rejected here exactly as MatchCandidate would reject it; a column
// from a multi-byte varint on is left to MatchCandidate, and so is a column the schema
// does not have.
class CandidateBlocks
{
public:
    // Offsets are marked 32 at a time: bit i of word w stands for offset 32 * w + i.
    static constexpr std::int64_t kBlockBytes = 32;
    // Marking offsets [0, limit) reads bytes [0, kBlockBytes * ceil(limit / 32) + 2].
    static constexpr std::int64_t kWordsPerPage = 65536 / kBlockBytes;

    explicit CandidateBlocks(const ColumnRules& rules);

    // Sets words[0 .. ceil(limit / 32)): a bit for every offset o that holds a zero byte
    // and that MayAccept(page + o) lets through; bits at and past `limit` may be set too
    // and must be ignored. Needs 0 < limit <= 65536 and the bytes above readable.
    void Mark(const unsigned char* page, std::int64_t limit, std::uint32_t* words) const;

    // The same test for one zero byte; the three bytes after it must be readable.
    bool MayAccept(const unsigned char* zero) const
    {
        constexpr unsigned kMultiByte = OneByteContentSizes::kCount;
        const unsigned first = zero[1];
        const unsigned second = zero[2];
        return m_accepts[0][first] &&
               (first >= kMultiByte ||
                (m_accepts[1][second] && (second >= kMultiByte || m_accepts[2][zero[3]])));
    }

    // The columns after the zero byte's that the marking looks at.
    static constexpr int kColumnsMarked = 3;

    // For the vector kinds: bit h of lowNibble[c][lo] is set when column c + 1 accepts
    // the one-byte serial type 16 * h + lo (h = 0 .. 7).
    struct Tables
    {
        alignas(16) unsigned char lowNibble[kColumnsMarked][16];
        // refuseZeros[n]: n + 1 zero bytes after the zero byte are refused by column n + 1
        // (the columns before it accept serial type 0).
        bool refuseZeros[kColumnsMarked];
    };

private:
    static constexpr unsigned kByteValues = 256;
    // m_accepts[c][b]: column c + 1 does not refuse the byte b as its varint's first byte
    // (always true for b >= 0x80 and for a column the schema does not have).
    bool m_accepts[kColumnsMarked][kByteValues];
    Tables m_tables;
    CandidateBlockKind m_kind;
};

// Zero-filled space (content SQLite or the phone zeroed, sparse regions): at a position
// whose C header bytes (C the column count) are all zero, the header reads C NULLs
// whatever the position, so its answer is decided once per scan. When those rules
// refuse a NULL in some column, every such position is rejected here, a run of zeros at
// a time, instead of one by one by MatchCandidate. Positions whose header reaches past
// the run, or past the terminating zero byte, are left to MatchCandidate.
class ZeroRunFilter
{
public:
    ZeroRunFilter(const RawBuffer& buffer, const ColumnRules& rules);

    // `marks` (bit i: raw-buffer index wordStart + i, as CandidateBlocks marks them) less
    // the positions whose header is all zero when the rules refuse it. Calls must come in
    // increasing wordStart.
    std::uint32_t Unrefused(std::int64_t wordStart, std::uint32_t marks)
    {
        return m_refused && marks != 0 ? Filter(wordStart, marks) : marks;
    }

private:
    std::uint32_t Filter(std::int64_t wordStart, std::uint32_t marks);

    const unsigned char* m_data;
    std::int64_t m_endIndex;    // one past the terminating zero byte
    std::int64_t m_columns;     // C: the header's bytes when all are zero
    bool m_refused;             // the rules refuse the all-zero header
    std::int64_t m_runEnd = 0;  // the first non-zero byte after the zero run last met
};
