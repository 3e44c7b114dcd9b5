// The raw-file scanner: page size, the pages walked, the walk over pages and offsets,
// the variant's candidate test per position, and the two-pass protocol (see scanner.h).
#include "recovery/scanner.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "platform/file.h"
#include "recovery/android_remnant.h"
#include "recovery/candidate_blocks.h"
#include "recovery/iphone_remnant.h"
#include "recovery/merge.h"
#include "recovery/raw_file.h"
#include "recovery/remnant_records.h"

namespace {

constexpr std::int64_t kPageSizeFieldOffset = 16;
constexpr std::int64_t kHeaderBytesNeeded = 18;
constexpr std::uint32_t kPageSizeOneMeans = 65536;
constexpr std::uint32_t kSmallestPageSize = 512;
constexpr std::uint32_t kLargestPageSize = 65536;
constexpr std::int64_t kReservedBytesOffset = 20;
constexpr std::int64_t kLargestRootPageOffset = 52;
constexpr std::int64_t kLargestRootPageBytes = 4;
constexpr std::int64_t kLockByteOffset = std::int64_t{1} << 30;
constexpr std::int64_t kFirstPointerMapPage = 2;
constexpr std::int64_t kPointerMapEntryBytes = 5;   // a type byte and a page number

// Calls test(position, acceptedSoFar) at every walked position that CandidateBlocks
// marks and the ZeroRunFilter leaves (every other position is rejected by its first
// three bytes, or as an all-zero header, exactly as the test would reject it) and
// returns the number accepted.
template <typename Test>
std::int32_t WalkPages(const RawBuffer& buffer, std::int64_t pageSize, const ColumnRules& rules,
                       Test&& test)
{
    const CandidateBlocks blocks(rules);
    ZeroRunFilter zeroRuns(buffer, rules);
    const PagesNotWalked notWalked(buffer, pageSize);
    const std::int64_t pageCount = buffer.fileLength / pageSize;
    std::int32_t accepted = 0;
    constexpr std::int64_t kWordBytes = CandidateBlocks::kBlockBytes;
    std::uint32_t words[CandidateBlocks::kWordsPerPage];
    for (std::int64_t page = 0; page < pageCount; ++page) {
        if (notWalked.Contains(page)) {
            continue;
        }
        const std::int64_t base = page * pageSize;
        const std::int64_t limit =
            pageSize - (page == pageCount - 1 ? kLastPageTailUntested : kPageTailUntested);
        // Marking reads up to offset 32 * ceil(limit / 32) + 2: P + 2 with limit = P - 23,
        // inside the next page, and P - 30 with limit = P - 32 on the last whole page
        // (P is a multiple of 32), so always inside the buffer.
        blocks.Mark(buffer.data + base, limit, words);
        std::int64_t next = 0;   // the first offset an acceptance has not skipped
        for (std::int64_t word = 0; word * kWordBytes < limit; ++word) {
            std::uint32_t marks = zeroRuns.Unrefused(base + word * kWordBytes, words[word]);
            for (; marks != 0; marks &= marks - 1) {
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

// What one walk produces beside its count: the accepted candidates (the first
// `capacity` of them), with the Android names shown as the fill pass shows them.
struct WalkOutput
{
    std::vector<AcceptedCandidate>* accepted = nullptr;
    std::int32_t capacity = 0;
    CWnd* owner = nullptr;   // of the Android name boxes
};

std::int32_t WalkAndroid(const RawBuffer& buffer, std::int64_t pageSize, CallLogVariant variant,
                         const WalkOutput& out)
{
    const ColumnSchemaFamily& schema = ColumnSchema.android;
    const auto rules = std::make_unique<ColumnRules>();
    CompileAndroidRules(variant, schema, *rules);
    const auto header = std::make_unique<CandidateHeader>();
    const auto contentCheck = std::make_unique<AndroidContentCheck>(variant, schema);
    AndroidRecordDecoder names(AndroidTextEncoding(buffer, variant), schema, out.owner);
    if (!names.DecodesSomeColumn()) {
        return 0;
    }
    return WalkPages(buffer, pageSize, *rules, [&](std::int64_t position, std::int32_t k) {
        const bool kept = out.accepted != nullptr && k < out.capacity;
        const bool showName = kept && names.ShowsNames();
        if (!MatchCandidate(buffer, position, *rules, *header,
                            showName || contentCheck->Needed()) ||
            contentCheck->Refuses(buffer, *header)) {
            return false;
        }
        if (showName) {
            names.ShowNames(buffer, *header);
        }
        if (kept) {
            out.accepted->push_back({position, header->remnantLength});
        }
        return true;
    });
}

std::int32_t WalkIphone(const RawBuffer& buffer, std::int64_t pageSize, const WalkOutput& out)
{
    const auto rules = std::make_unique<IphoneRules>();
    CompileIphoneRules(ColumnSchema.iphone, *rules);
    if (!rules->DecodesSomeColumn()) {
        return 0;
    }
    const auto header = std::make_unique<CandidateHeader>();
    return WalkPages(buffer, pageSize, rules->columns, [&](std::int64_t position, std::int32_t k) {
        std::int64_t remnantLength = 0;
        if (!MatchIphoneRecord(nullptr, position, &remnantLength, buffer, *rules, *header)) {
            return false;
        }
        if (out.accepted != nullptr && k < out.capacity) {
            out.accepted->push_back({position, remnantLength});
        }
        return true;
    });
}

// A family none of whose columns decodes into a text describes no call: without a
// column (the open found no call table, or could not open the file) every zero byte
// would fit it, and with columns of another table (a calls table without the call
// columns) its remnants would all read as six empty texts. The walks accept nothing
// then.
std::int32_t Walk(const RawBuffer& buffer, CallLogVariant variant, const WalkOutput& out)
{
    const std::int64_t pageSize = ReadPageSize(buffer);
    if (pageSize == 0) {
        return 0;
    }
    if (variant == CallLogVariant::IphoneStoredata) {
        return WalkIphone(buffer, pageSize, out);
    }
    if (IsAndroidVariant(variant)) {
        return WalkAndroid(buffer, pageSize, variant, out);
    }
    return 0;
}

// Room for the fill pass's `count` candidates. Memory exhausted is the framework's
// CMemoryException, as for the raw buffer.
std::vector<AcceptedCandidate> RoomForCandidates(std::int32_t count)
{
    std::vector<AcceptedCandidate> accepted;
    try {
        accepted.reserve(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        throw CMemoryException();
    }
    return accepted;
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

PagesNotWalked::PagesNotWalked(const RawBuffer& buffer, std::int64_t pageSize)
    : m_lockBytePage(kLockByteOffset / pageSize + 1), m_pointerMapStride(0)
{
    if (buffer.fileLength < kLargestRootPageOffset + kLargestRootPageBytes) {
        return;
    }
    const unsigned char* const largestRoot = buffer.data + kLargestRootPageOffset;
    if (std::all_of(largestRoot, largestRoot + kLargestRootPageBytes,
                    [](unsigned char b) { return b == 0; })) {
        return;
    }
    const std::int64_t usableSize = pageSize - buffer.data[kReservedBytesOffset];
    m_pointerMapStride = usableSize / kPointerMapEntryBytes + 1;
}

bool PagesNotWalked::Contains(std::int64_t pageIndex) const
{
    const std::int64_t page = pageIndex + 1;
    if (page == m_lockBytePage) {
        return true;
    }
    if (m_pointerMapStride == 0 || page < kFirstPointerMapPage) {
        return false;
    }
    // The last pointer-map position at or before `page`; the map itself is the page
    // after it when that position is the lock-byte page.
    std::int64_t map = kFirstPointerMapPage +
                       (page - kFirstPointerMapPage) / m_pointerMapStride * m_pointerMapStride;
    if (map == m_lockBytePage) {
        ++map;
    }
    return page == map;
}

std::int32_t WalkRawBuffer(const RawBuffer& buffer, CallLogVariant variant,
                           std::vector<AcceptedCandidate>* accepted, std::int32_t capacity,
                           CWnd* owner)
{
    WalkOutput out;
    out.accepted = accepted;
    out.capacity = capacity;
    out.owner = owner;
    return Walk(buffer, variant, out);
}

std::vector<AcceptedCandidate> ListAcceptedCandidates(const RawBuffer& buffer,
                                                      CallLogVariant variant)
{
    std::vector<AcceptedCandidate> accepted;
    WalkRawBuffer(buffer, variant, &accepted, std::numeric_limits<std::int32_t>::max(), nullptr);
    return accepted;
}

// The fill pass keeps the raw buffer until the merge is done: the merge decodes each
// record's texts from it as far as it needs them, and nothing of a record but its
// place and length is kept meanwhile.
void ScanDeletedRecords(std::int32_t& counter, CWnd* mainWindow, const RawFileBytes& file)
{
    const std::int32_t requested = counter;
    const CallLogVariant variant = ScanVariantOf(file.Path());
    if (requested <= 0) {
        counter = WalkRawBuffer(file.View(), variant, nullptr, 0, nullptr);
        return;
    }
    std::vector<AcceptedCandidate> accepted = RoomForCandidates(requested);
    const std::int32_t found =
        WalkRawBuffer(file.View(), variant, &accepted, requested, mainWindow);
    RemnantRecords records(file.View(), variant, accepted);
    MergeRecoveredRecords(mainWindow, records, records.Count());
    counter = found;
}
