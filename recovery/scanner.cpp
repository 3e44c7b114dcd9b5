// The raw-file scanner: page size, the walk over pages and offsets, the variant's
// candidate test per position, and the two-pass protocol (see scanner.h).
#include "recovery/scanner.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <memory>
#include <vector>

#include "recovery/android_remnant.h"
#include "recovery/iphone_remnant.h"
#include "recovery/merge.h"
#include "recovery/raw_file.h"

namespace {

constexpr std::int64_t kPageSizeFieldOffset = 16;
constexpr std::int64_t kHeaderBytesNeeded = 18;
constexpr std::uint32_t kPageSizeOneMeans = 65536;
constexpr std::uint32_t kSmallestPageSize = 512;
constexpr std::uint32_t kLargestPageSize = 65536;

// Zero bytes are found sixteen at a time: bit i of the mask is set when bytes[i] is 0.
// The sixteen bytes must lie in the buffer.
constexpr std::int64_t kBlockBytes = 16;
static_assert(kSkipAfterAcceptance >= kBlockBytes, "a skip always leaves the block");

std::uint32_t ZeroMask(const unsigned char* bytes)
{
#if defined(__SSE2__)
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    const __m128i zeroBytes = _mm_cmpeq_epi8(block, _mm_setzero_si128());
    return static_cast<std::uint32_t>(_mm_movemask_epi8(zeroBytes));
#else
    std::uint32_t mask = 0;
    for (std::int64_t i = 0; i < kBlockBytes; ++i) {
        mask |= static_cast<std::uint32_t>(bytes[i] == 0) << i;
    }
    return mask;
#endif
}

// A cheap first look at the two columns after the zero byte, decided once per scan:
// when both varints are one byte long, a candidate whose column 1 or 2 refuses its
// serial type is rejected here exactly as MatchCandidate would reject it, without the
// header walk. Multi-byte varints (0x80 and above) always go on to MatchCandidate.
class Prefilter
{
public:
    explicit Prefilter(const ColumnRules& rules)
    {
        constexpr std::int32_t kColumnsLooked = 3;
        for (unsigned b = 0; b < kByteValues; ++b) {
            const bool multiByte = b >= OneByteContentSizes::kCount;
            const std::int32_t type = static_cast<std::int32_t>(b);
            const bool tested = rules.columnCount >= kColumnsLooked;
            m_first[b] = !tested || multiByte || rules.rules[1].Accepts(type);
            m_second[b] = !tested || multiByte || rules.rules[2].Accepts(type);
        }
        m_refuseNextZero = !m_first[0];
        m_refuseNextTwoZeros = m_first[0] && !m_second[0];
    }

    // The same look for sixteen positions at once where it only takes zero bytes: bit i
    // of `zeros`, `next` and `afterNext` tells whether bytes i, i + 1 and i + 2 are 0.
    // Returns the positions of `zeros` that MayAccept could still let through.
    std::uint32_t Candidates(std::uint32_t zeros, std::uint32_t next,
                             std::uint32_t afterNext) const
    {
        const std::uint32_t refused = (m_refuseNextZero ? next : 0) |
                                      (m_refuseNextTwoZeros ? (next & afterNext) : 0);
        return zeros & ~refused;
    }
    // `zero` points at a walked zero byte; the two bytes after it lie in the file.
    bool MayAccept(const unsigned char* zero) const
    {
        const unsigned first = zero[1];
        return m_first[first] && (m_second[zero[2]] || first >= OneByteContentSizes::kCount);
    }

private:
    static constexpr unsigned kByteValues = 256;
    bool m_first[kByteValues];    // column 1's serial type, by the byte after the zero
    bool m_second[kByteValues];   // column 2's, by the byte after that
    bool m_refuseNextZero = false;
    bool m_refuseNextTwoZeros = false;
};

// Calls test(position, acceptedSoFar) at every walked position holding a zero byte
// that the prefilter does not refuse (every other position is rejected by its first
// bytes) and returns the number accepted.
template <typename Test>
std::int32_t WalkPages(const RawBuffer& buffer, std::int64_t pageSize, const Prefilter& prefilter,
                       Test&& test)
{
    const std::int64_t pageCount = buffer.fileLength / pageSize;
    std::int32_t accepted = 0;
    for (std::int64_t page = 0; page < pageCount; ++page) {
        const std::int64_t base = page * pageSize;
        const std::int64_t limit =
            pageSize - (page == pageCount - 1 ? kLastPageTailUntested : kPageTailUntested);
        const unsigned char* const bytes = buffer.data + base;
        // A block starts below limit <= P - 23, so its sixteen bytes and the two after
        // them lie in the page.
        std::int64_t offset = 0;
        while (offset < limit) {
            const std::int64_t block = offset;
            offset += kBlockBytes;
            std::uint32_t zeros = ZeroMask(bytes + block);
            if (zeros != 0) {
                zeros = prefilter.Candidates(zeros, ZeroMask(bytes + block + 1),
                                             ZeroMask(bytes + block + 2));
            }
            for (; zeros != 0; zeros &= zeros - 1) {
                const std::int64_t at = block + __builtin_ctz(zeros);
                if (at >= limit) {
                    break;
                }
                if (test(base + at, accepted)) {
                    ++accepted;
                    offset = at + kSkipAfterAcceptance;
                    break;
                }
            }
        }
    }
    return accepted;
}

std::int32_t OverlongFlag(std::int64_t remnantLength, std::int64_t pageSize)
{
    return remnantLength > pageSize - kOverlongMargin ? 1 : 0;
}

std::int32_t WalkAndroid(const RawBuffer& buffer, std::int64_t pageSize, CallLogVariant variant,
                         CallRecord* records, std::int32_t recordCapacity, CWnd* owner)
{
    const ColumnSchemaFamily& schema = ColumnSchema.android;
    const auto rules = std::make_unique<ColumnRules>();
    CompileAndroidRules(variant, schema, *rules);
    const auto header = std::make_unique<CandidateHeader>();
    const Prefilter prefilter(*rules);
    const AndroidRecordDecoder decoder(variant, schema, owner);
    return WalkPages(buffer, pageSize, prefilter, [&](std::int64_t position, std::int32_t k) {
        if (!prefilter.MayAccept(buffer.data + position) ||
            !MatchCandidate(buffer, position, *rules, *header)) {
            return false;
        }
        if (records != nullptr && k < recordCapacity) {
            decoder.Decode(buffer, *header, records[k]);
            records[k].overlong = OverlongFlag(header->remnantLength, pageSize);
        }
        return true;
    });
}

std::int32_t WalkIphone(const RawBuffer& buffer, std::int64_t pageSize, CallRecord* records,
                        std::int32_t recordCapacity)
{
    const auto rules = std::make_unique<IphoneRules>();
    CompileIphoneRules(ColumnSchema.iphone, *rules);
    const auto header = std::make_unique<CandidateHeader>();
    const Prefilter prefilter(rules->columns);
    return WalkPages(buffer, pageSize, prefilter, [&](std::int64_t position, std::int32_t k) {
        if (!prefilter.MayAccept(buffer.data + position)) {
            return false;
        }
        const bool filling = records != nullptr && k < recordCapacity;
        std::int64_t remnantLength = 0;
        if (!MatchIphoneRecord(filling ? &records[k] : nullptr, position, &remnantLength,
                               buffer, *rules, *header)) {
            return false;
        }
        if (filling) {
            records[k].overlong = OverlongFlag(remnantLength, pageSize);
        }
        return true;
    });
}

}  // namespace

CallLogVariant ScanVariantOf(const std::string& path)
{
    if (PathEndsWithLower(path, "callhistory.storedata")) {
        return CallLogVariant::IphoneStoredata;
    }
    if (PathEndsWithLower(path, "call.db")) {
        return CallLogVariant::AndroidCallDb;
    }
    if (PathEndsWithLower(path, "contacts2.db")) {
        return CallLogVariant::AndroidContacts2Db;
    }
    if (PathEndsWithLower(path, "logs.db")) {
        return CallLogVariant::AndroidLogsDb;
    }
    return CallLogVariant::None;
}

std::uint32_t ReadPageSize(const RawBuffer& buffer)
{
    if (buffer.fileLength < kHeaderBytesNeeded) {
        return 0;
    }
    const unsigned char* field = buffer.data + kPageSizeFieldOffset;
    std::uint32_t pageSize = (static_cast<std::uint32_t>(field[0]) << 8) | field[1];
    if (pageSize == 1) {
        pageSize = kPageSizeOneMeans;
    }
    const bool powerOfTwo = (pageSize & (pageSize - 1)) == 0;
    if (!powerOfTwo || pageSize < kSmallestPageSize || pageSize > kLargestPageSize) {
        return 0;
    }
    return pageSize;
}

std::int32_t WalkRawBuffer(const RawBuffer& buffer, CallLogVariant variant, CallRecord* records,
                           std::int32_t recordCapacity, CWnd* owner)
{
    const std::int64_t pageSize = ReadPageSize(buffer);
    if (pageSize == 0) {
        return 0;
    }
    if (variant == CallLogVariant::IphoneStoredata) {
        return WalkIphone(buffer, pageSize, records, recordCapacity);
    }
    if (IsAndroidVariant(variant)) {
        return WalkAndroid(buffer, pageSize, variant, records, recordCapacity, owner);
    }
    return 0;
}

void ScanDeletedRecords(std::int32_t& counter, CWnd* mainWindow, std::string path)
{
    const std::int32_t requested = counter;
    RawFileBytes raw(path);
    // Fill pass: N records of six empty texts and overlong 0, built before the walk.
    std::vector<CallRecord> records(requested > 0 ? requested : 0);
    const std::int32_t accepted =
        WalkRawBuffer(raw.View(), ScanVariantOf(path), records.empty() ? nullptr : records.data(),
                      static_cast<std::int32_t>(records.size()), mainWindow);
    raw.Free();
    if (!records.empty()) {
        MergeRecoveredRecords(mainWindow, records.data(), requested);
        records.clear();
        records.shrink_to_fit();
    }
    counter = accepted;
}
