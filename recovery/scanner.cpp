// The raw-file scanner: page size, the walk over pages and offsets, the variant's
// candidate test per position, and the two-pass protocol (see scanner.h).
#include "recovery/scanner.h"

#include <algorithm>
#include <cstring>
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

// The first zero byte in bytes[from, limit), or limit. Eight bytes at a time: a byte b
// of a word is zero exactly when bit 7 of ((b & 0x7F) + 0x7F) | b is clear. Words may
// reach past `limit` (the page's untested tail), never past the buffer.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "NextZero reads words little-endian");

std::int64_t NextZero(const unsigned char* bytes, std::int64_t from, std::int64_t limit)
{
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    constexpr std::int64_t kWordBytes = 8;
    while (from < limit) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes + from, sizeof word);
        const std::uint64_t zeros = ~(((word & kLow7) + kLow7) | word | kLow7);
        if (zeros != 0) {
            // Little-endian: the lowest set bit is the first zero byte.
            return std::min(limit, from + __builtin_ctzll(zeros) / kWordBytes);
        }
        from += kWordBytes;
    }
    return limit;
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
        constexpr unsigned kByteValues = 256;
        constexpr std::int32_t kColumnsLooked = 3;
        for (unsigned b = 0; b < kByteValues; ++b) {
            const bool multiByte = b >= OneByteContentSizes::kCount;
            const std::int32_t type = static_cast<std::int32_t>(b);
            const bool tested = rules.columnCount >= kColumnsLooked;
            m_first[b] = !tested || multiByte || rules.rules[1].Accepts(type);
            m_second[b] = !tested || multiByte || rules.rules[2].Accepts(type);
        }
    }
    // `zero` points at a walked zero byte; the two bytes after it lie in the file.
    bool MayAccept(const unsigned char* zero) const
    {
        const unsigned first = zero[1];
        return m_first[first] && (m_second[zero[2]] || first >= OneByteContentSizes::kCount);
    }

private:
    bool m_first[256];
    bool m_second[256];
};

// Calls test(position, acceptedSoFar) at every walked position holding a zero byte
// (every other position is rejected by its first byte) and returns the number accepted.
template <typename Test>
std::int32_t WalkPages(const RawBuffer& buffer, std::int64_t pageSize, Test&& test)
{
    const std::int64_t pageCount = buffer.fileLength / pageSize;
    std::int32_t accepted = 0;
    for (std::int64_t page = 0; page < pageCount; ++page) {
        const std::int64_t base = page * pageSize;
        const std::int64_t limit =
            pageSize - (page == pageCount - 1 ? kLastPageTailUntested : kPageTailUntested);
        const unsigned char* const bytes = buffer.data + base;
        std::int64_t offset = 0;
        while ((offset = NextZero(bytes, offset, limit)) < limit) {
            if (test(base + offset, accepted)) {
                ++accepted;
                offset += kSkipAfterAcceptance;
            } else {
                ++offset;
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
    return WalkPages(buffer, pageSize, [&](std::int64_t position, std::int32_t k) {
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
    return WalkPages(buffer, pageSize, [&](std::int64_t position, std::int32_t k) {
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
