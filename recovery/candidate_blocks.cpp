// Candidate marks of a page by kind: plain bytes, SSE2 (zero bytes, refined one by one),
// SSSE3 and AVX2 (zero bytes and both columns' nibble-table test in vector registers).
#include "recovery/candidate_blocks.h"

#include <atomic>
#include <cstring>
#include <memory>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define PELDMARK_X86_BLOCKS 1
#endif

namespace {

constexpr int kMarked = CandidateBlocks::kColumnsMarked;
constexpr unsigned kNibbleValues = 16;
constexpr unsigned kOneByteHighNibbles = OneByteContentSizes::kCount / kNibbleValues;

std::atomic<CandidateBlockKind> g_kind{CandidateBlockKind::Best};

CandidateBlockKind BestKind()
{
#if defined(PELDMARK_X86_BLOCKS)
    if (__builtin_cpu_supports("avx2")) {
        return CandidateBlockKind::Avx2;
    }
    if (__builtin_cpu_supports("ssse3")) {
        return CandidateBlockKind::Ssse3;
    }
#if defined(__SSE2__)
    return CandidateBlockKind::Sse2;
#endif
#endif
    return CandidateBlockKind::Scalar;
}

// Bit i set when MayAccept lets offset `block` + i through (page[block + i] must be 0
// too); reads page[block .. block + 34].
std::uint32_t ScalarWord(const CandidateBlocks& blocks, const unsigned char* block)
{
    std::uint32_t word = 0;
    for (std::int64_t i = 0; i < CandidateBlocks::kBlockBytes; ++i) {
        const bool candidate = block[i] == 0 && blocks.MayAccept(block + i);
        word |= static_cast<std::uint32_t>(candidate) << i;
    }
    return word;
}

#if defined(__SSE2__)
// Sixteen offsets: zero bytes, less those whose next bytes refuse by zero-ness alone;
// the survivors are refined one by one.
std::uint32_t Sse2Half(const CandidateBlocks& blocks, const CandidateBlocks::Tables& tables,
                       const unsigned char* bytes)
{
    const __m128i zero = _mm_setzero_si128();
    const auto zeroMask = [&](const unsigned char* at) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, zero)));
    };
    std::uint32_t zeros = zeroMask(bytes);
    if (zeros == 0) {
        return 0;
    }
    std::uint32_t zerosAfter = ~std::uint32_t{0};   // lanes followed by n + 1 zero bytes
    std::uint32_t refused = 0;
    for (int n = 0; n < kMarked; ++n) {
        zerosAfter &= zeroMask(bytes + 1 + n);
        refused |= tables.refuseZeros[n] ? zerosAfter : 0;
    }
    std::uint32_t candidates = 0;
    for (zeros &= ~refused; zeros != 0; zeros &= zeros - 1) {
        const int at = __builtin_ctz(zeros);
        candidates |= static_cast<std::uint32_t>(blocks.MayAccept(bytes + at)) << at;
    }
    return candidates;
}
#endif

#if defined(PELDMARK_X86_BLOCKS)
// Lanes whose byte is a one-byte serial type (below 0x80) the column refuses: the
// low-nibble table gives the accepted high nibbles as bits, the high nibble picks one.
__attribute__((target("ssse3"))) __m128i Refused128(__m128i bytes, __m128i lowTable)
{
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i highBit = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m128i low = _mm_and_si128(bytes, nibble);
    const __m128i high = _mm_and_si128(_mm_srli_epi16(bytes, 4), nibble);
    const __m128i hit =
        _mm_and_si128(_mm_shuffle_epi8(lowTable, low), _mm_shuffle_epi8(highBit, high));
    // Sign bit: no table hit and not a multi-byte varint.
    return _mm_andnot_si128(bytes, _mm_cmpeq_epi8(hit, _mm_setzero_si128()));
}

__attribute__((target("ssse3"))) __m128i Load128(const unsigned char* at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// Sixteen offsets, exact: zero(b0) and not refused1(b1) and not (refused2(b2) while b1
// is one byte long) and not (refused3(b3) while b1 and b2 are); refused lanes never have
// the sign bit of a multi-byte varint.
__attribute__((target("ssse3"))) std::uint32_t Ssse3Half(const CandidateBlocks::Tables& tables,
                                                        const unsigned char* bytes)
{
    const __m128i b0 = Load128(bytes);
    const __m128i b1 = Load128(bytes + 1);
    const __m128i b2 = Load128(bytes + 2);
    const __m128i b3 = Load128(bytes + 3);
    const __m128i refused = _mm_or_si128(
        _mm_or_si128(Refused128(b1, Load128(tables.lowNibble[0])),
                     _mm_andnot_si128(b1, Refused128(b2, Load128(tables.lowNibble[1])))),
        _mm_andnot_si128(_mm_or_si128(b1, b2), Refused128(b3, Load128(tables.lowNibble[2]))));
    const __m128i candidates = _mm_andnot_si128(refused, _mm_cmpeq_epi8(b0, _mm_setzero_si128()));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(candidates));
}

__attribute__((target("avx2"))) __m256i Refused256(__m256i bytes, __m256i lowTable)
{
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i highBit = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 0, 0, 0, 0, 0, 0, 0,
                                             0, 1, 2, 4, 8, 16, 32, 64, -128, 0, 0, 0, 0, 0, 0,
                                             0, 0);
    const __m256i low = _mm256_and_si256(bytes, nibble);
    const __m256i high = _mm256_and_si256(_mm256_srli_epi16(bytes, 4), nibble);
    const __m256i hit =
        _mm256_and_si256(_mm256_shuffle_epi8(lowTable, low), _mm256_shuffle_epi8(highBit, high));
    return _mm256_andnot_si256(bytes, _mm256_cmpeq_epi8(hit, _mm256_setzero_si256()));
}

__attribute__((target("avx2"))) __m256i Load256(const unsigned char* at)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
}

// A column's low-nibble table in both 128-bit lanes.
__attribute__((target("avx2"))) __m256i Table256(const unsigned char* lowNibble)
{
    const __m128i table = _mm_load_si128(reinterpret_cast<const __m128i*>(lowNibble));
    return _mm256_broadcastsi128_si256(table);
}

// The SSSE3 test on 32 offsets; the tables are repeated in both 128-bit lanes because
// vpshufb looks up within each lane.
__attribute__((target("avx2"))) void Avx2Mark(const CandidateBlocks::Tables& tables,
                                              const unsigned char* page, std::int64_t limit,
                                              std::uint32_t* words)
{
    const __m256i first = Table256(tables.lowNibble[0]);
    const __m256i second = Table256(tables.lowNibble[1]);
    const __m256i third = Table256(tables.lowNibble[2]);
    for (std::int64_t block = 0; block < limit; block += CandidateBlocks::kBlockBytes) {
        const unsigned char* const at = page + block;
        const __m256i b0 = Load256(at);
        const __m256i b1 = Load256(at + 1);
        const __m256i b2 = Load256(at + 2);
        const __m256i b3 = Load256(at + 3);
        const __m256i refusedFirstTwo =
            _mm256_or_si256(Refused256(b1, first), _mm256_andnot_si256(b1, Refused256(b2, second)));
        const __m256i refused = _mm256_or_si256(
            refusedFirstTwo, _mm256_andnot_si256(_mm256_or_si256(b1, b2), Refused256(b3, third)));
        const __m256i candidates =
            _mm256_andnot_si256(refused, _mm256_cmpeq_epi8(b0, _mm256_setzero_si256()));
        words[block / CandidateBlocks::kBlockBytes] =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(candidates));
    }
}
#endif

}  // namespace

bool CandidateBlockKindAvailable(CandidateBlockKind kind)
{
    switch (kind) {
    case CandidateBlockKind::Best:
    case CandidateBlockKind::Scalar: return true;
#if defined(__SSE2__)
    case CandidateBlockKind::Sse2: return true;
#endif
#if defined(PELDMARK_X86_BLOCKS)
    case CandidateBlockKind::Ssse3: return __builtin_cpu_supports("ssse3");
    case CandidateBlockKind::Avx2: return __builtin_cpu_supports("avx2");
#endif
    default: return false;
    }
}

bool SetCandidateBlockKind(CandidateBlockKind kind)
{
    if (!CandidateBlockKindAvailable(kind)) {
        return false;
    }
    g_kind = kind;
    return true;
}

CandidateBlocks::CandidateBlocks(const ColumnRules& rules)
    : m_tables(), m_kind(g_kind == CandidateBlockKind::Best ? BestKind() : g_kind.load())
{
    bool zerosAccepted = true;   // by the columns before the one at hand
    for (int c = 0; c < kMarked; ++c) {
        const std::int32_t column = c + 1;
        for (unsigned b = 0; b < kByteValues; ++b) {
            const bool multiByte = b >= OneByteContentSizes::kCount;
            m_accepts[c][b] = column >= rules.columnCount || multiByte ||
                              rules.rules[column].Accepts(static_cast<std::int32_t>(b));
        }
        for (unsigned high = 0; high < kOneByteHighNibbles; ++high) {
            for (unsigned low = 0; low < kNibbleValues; ++low) {
                const bool accepted = m_accepts[c][high * kNibbleValues + low];
                m_tables.lowNibble[c][low] |= static_cast<unsigned char>(accepted ? 1U << high : 0);
            }
        }
        m_tables.refuseZeros[c] = zerosAccepted && !m_accepts[c][0];
        zerosAccepted = zerosAccepted && m_accepts[c][0];
    }
}

void CandidateBlocks::Mark(const unsigned char* page, std::int64_t limit,
                           std::uint32_t* words) const
{
    constexpr std::int64_t kHalf = kBlockBytes / 2;
    switch (m_kind) {
#if defined(PELDMARK_X86_BLOCKS)
    case CandidateBlockKind::Avx2: Avx2Mark(m_tables, page, limit, words); return;
    case CandidateBlockKind::Ssse3:
        for (std::int64_t block = 0; block < limit; block += kBlockBytes) {
            words[block / kBlockBytes] = Ssse3Half(m_tables, page + block) |
                                         (Ssse3Half(m_tables, page + block + kHalf) << kHalf);
        }
        return;
#endif
#if defined(__SSE2__)
    case CandidateBlockKind::Sse2:
        for (std::int64_t block = 0; block < limit; block += kBlockBytes) {
            words[block / kBlockBytes] =
                Sse2Half(*this, m_tables, page + block) |
                (Sse2Half(*this, m_tables, page + block + kHalf) << kHalf);
        }
        return;
#endif
    default:
        for (std::int64_t block = 0; block < limit; block += kBlockBytes) {
            words[block / kBlockBytes] = ScalarWord(*this, page + block);
        }
        return;
    }
}

namespace {

// The index of the first non-zero byte of data[from .. end), or end; eight bytes at a
// time, as long zero runs are what it is asked about.
std::int64_t FirstNonZero(const unsigned char* data, std::int64_t from, std::int64_t end)
{
    constexpr std::int64_t kWordBytes = sizeof(std::uint64_t);
    while (from + kWordBytes <= end) {
        std::uint64_t word = 0;
        std::memcpy(&word, data + from, sizeof word);
        if (word != 0) {
            break;
        }
        from += kWordBytes;
    }
    while (from < end && data[from] == 0) {
        ++from;
    }
    return from;
}

}  // namespace

ZeroRunFilter::ZeroRunFilter(const RawBuffer& buffer, const ColumnRules& rules)
    : m_data(buffer.data), m_endIndex(buffer.EndIndex()), m_columns(rules.columnCount),
      m_refused(false)
{
    // The all-zero header read as the frame reads any header, from a buffer of zeros
    // whose terminating zero byte is the header's last byte.
    static const unsigned char kZeros[kColumnSchemaCapacity] = {};
    if (m_columns > 0) {
        const auto header = std::make_unique<CandidateHeader>();
        m_refused = !MatchCandidateByColumn(RawBuffer{kZeros, m_columns - 1}, 0, rules, *header);
    }
}

std::uint32_t ZeroRunFilter::Filter(std::int64_t wordStart, std::uint32_t marks)
{
    const std::int64_t first = wordStart + __builtin_ctz(marks);
    if (m_runEnd <= first) {
        // A header whose last byte is not zero is no all-zero header: no run to find.
        const std::int64_t headerEnd = first + m_columns;
        if (headerEnd > m_endIndex || m_data[headerEnd - 1] != 0) {
            return marks;
        }
        m_runEnd = FirstNonZero(m_data, first, m_endIndex);
    }
    // Bytes first .. m_runEnd - 1 are zero, so are the headers of the positions up to
    // m_runEnd - C: all refused.
    const std::int64_t refusedBelow = m_runEnd - m_columns + 1 - wordStart;
    if (refusedBelow <= __builtin_ctz(marks)) {
        return marks;
    }
    constexpr std::int64_t kBits = CandidateBlocks::kBlockBytes;
    return refusedBelow >= kBits ? 0 : marks & (~std::uint32_t{0} << refusedBelow);
}
