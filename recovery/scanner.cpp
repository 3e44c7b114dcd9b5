// The raw-file scanner: page size, the walk over pages and offsets, the variant's
// candidate test per position, and the two-pass protocol (see scanner.h).
#include "recovery/scanner.h"

#include <memory>
#include <vector>

#include "recovery/android_remnant.h"
#include "recovery/candidate_blocks.h"
#include "recovery/iphone_remnant.h"
#include "recovery/merge.h"
#include "recovery/raw_file.h"

namespace {

constexpr std::int64_t kPageSizeFieldOffset = 16;
constexpr std::int64_t kHeaderBytesNeeded = 18;
constexpr std::uint32_t kPageSizeOneMeans = 65536;
constexpr std::uint32_t kSmallestPageSize = 512;
constexpr std::uint32_t kLargestPageSize = 65536;

// Calls test(position, acceptedSoFar) at every walked position that CandidateBlocks
// marks (every other position is rejected by its first three bytes, exactly as the test
// would reject it) and returns the number accepted.
template <typename Test>
std::int32_t WalkPages(const RawBuffer& buffer, std::int64_t pageSize,
                       const CandidateBlocks& blocks, Test&& test)
{
    const std::int64_t pageCount = buffer.fileLength / pageSize;
    std::int32_t accepted = 0;
    constexpr std::int64_t kWordBytes = CandidateBlocks::kBlockBytes;
    std::uint32_t words[CandidateBlocks::kWordsPerPage];
    for (std::int64_t page = 0; page < pageCount; ++page) {
        const std::int64_t base = page * pageSize;
        const std::int64_t limit =
            pageSize - (page == pageCount - 1 ? kLastPageTailUntested : kPageTailUntested);
        // Marking reads up to offset limit + 32 at most: with limit <= P - 23 that is
        // inside the next page, and with limit <= P - 32 on the last whole page at most
        // the byte at index F (the terminating zero), so always inside the buffer.
        blocks.Mark(buffer.data + base, limit, words);
        std::int64_t next = 0;   // the first offset an acceptance has not skipped
        for (std::int64_t word = 0; word * kWordBytes < limit; ++word) {
            for (std::uint32_t marks = words[word]; marks != 0; marks &= marks - 1) {
                const std::int64_t at = word * kWordBytes + __builtin_ctz(marks);
                if (at < next || at >= limit) {
                    continue;
                }
                if (test(base + at, accepted)) {
                    ++accepted;
                    next = at + kSkipAfterAcceptance;
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

// What one walk produces beside its count: decoded records (fill pass) and/or the list
// of accepted candidates.
struct WalkOutput
{
    CallRecord* records = nullptr;   // the first `recordCapacity` accepted are decoded here
    std::int32_t recordCapacity = 0;
    CWnd* owner = nullptr;           // of the Android name boxes
    std::vector<AcceptedCandidate>* listed = nullptr;
};

std::int32_t WalkAndroid(const RawBuffer& buffer, std::int64_t pageSize, CallLogVariant variant,
                         const WalkOutput& out)
{
    const ColumnSchemaFamily& schema = ColumnSchema.android;
    const auto rules = std::make_unique<ColumnRules>();
    CompileAndroidRules(variant, schema, *rules);
    const auto header = std::make_unique<CandidateHeader>();
    const auto contentCheck = std::make_unique<AndroidContentCheck>(variant, schema);
    const CandidateBlocks blocks(*rules);
    AndroidRecordDecoder decoder(AndroidTextEncoding(buffer, variant), schema, out.owner);
    return WalkPages(buffer, pageSize, blocks, [&](std::int64_t position, std::int32_t k) {
        const bool filling = out.records != nullptr && k < out.recordCapacity;
        if (!MatchCandidate(buffer, position, *rules, *header,
                            filling || contentCheck->Needed()) ||
            contentCheck->Refuses(buffer, *header)) {
            return false;
        }
        if (filling) {
            decoder.Decode(buffer, *header, out.records[k]);
            out.records[k].overlong = OverlongFlag(header->remnantLength, pageSize);
        }
        if (out.listed != nullptr) {
            out.listed->push_back({position, header->remnantLength});
        }
        return true;
    });
}

std::int32_t WalkIphone(const RawBuffer& buffer, std::int64_t pageSize, const WalkOutput& out)
{
    const auto rules = std::make_unique<IphoneRules>();
    CompileIphoneRules(ColumnSchema.iphone, *rules);
    rules->encoding = ReadTextEncoding(buffer, TextEncoding::Utf8);
    const auto header = std::make_unique<CandidateHeader>();
    const CandidateBlocks blocks(rules->columns);
    return WalkPages(buffer, pageSize, blocks, [&](std::int64_t position, std::int32_t k) {
        const bool filling = out.records != nullptr && k < out.recordCapacity;
        std::int64_t remnantLength = 0;
        if (!MatchIphoneRecord(filling ? &out.records[k] : nullptr, position, &remnantLength,
                               buffer, *rules, *header)) {
            return false;
        }
        if (filling) {
            out.records[k].overlong = OverlongFlag(remnantLength, pageSize);
        }
        if (out.listed != nullptr) {
            out.listed->push_back({position, remnantLength});
        }
        return true;
    });
}

// A family without columns (the open found no call table, or could not open the file)
// describes no record: every zero byte would fit it, so nothing is accepted.
std::int32_t Walk(const RawBuffer& buffer, CallLogVariant variant, const WalkOutput& out)
{
    const std::int64_t pageSize = ReadPageSize(buffer);
    if (pageSize == 0) {
        return 0;
    }
    if (variant == CallLogVariant::IphoneStoredata && ColumnSchema.iphone.count > 0) {
        return WalkIphone(buffer, pageSize, out);
    }
    if (IsAndroidVariant(variant) && ColumnSchema.android.count > 0) {
        return WalkAndroid(buffer, pageSize, variant, out);
    }
    return 0;
}

}  // namespace

CallLogVariant ScanVariantOf(const std::string& path)
{
    // "call_history.db" is read and walked like any file, but no remnant fits it.
    const CallLogVariant variant = FindCallLogVariant(path);
    return variant == CallLogVariant::IphoneCallHistoryDb ? CallLogVariant::None : variant;
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
    WalkOutput out;
    out.records = records;
    out.recordCapacity = recordCapacity;
    out.owner = owner;
    return Walk(buffer, variant, out);
}

std::vector<AcceptedCandidate> ListAcceptedCandidates(const RawBuffer& buffer,
                                                      CallLogVariant variant)
{
    std::vector<AcceptedCandidate> listed;
    WalkOutput out;
    out.listed = &listed;
    Walk(buffer, variant, out);
    return listed;
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
