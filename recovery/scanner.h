// The raw-file scanner: finds remnants of call records in every page of a call-log
// database read whole as raw bytes, by the SQLite record format and the live call
// table's columns (ColumnSchema), in a count pass and a fill pass over the same bytes.
//
// Database header fields read (everything else of the page structure is not):
//   offset 16, 2 bytes: page size P, big-endian; 1 means 65536. Only powers of two from
//     512 to 65536 are page sizes; with any other value, or a file shorter than 18
//     bytes, nothing is walked.
//   offset 20, 1 byte: bytes reserved at the end of each page; usable size U = P - it.
//   offset 52, 4 bytes: the largest root b-tree page, big-endian; not 0 in auto-vacuum
//     and incremental-vacuum files, which keep pointer-map pages. A file shorter than
//     56 bytes has none.
// Pages are numbered from 1 (page index p is page number p + 1). Not walked, as they
// hold SQLite's bookkeeping and never a record:
//   pointer-map pages (only when offset 52 is not 0): page 2, then every U / 5 + 1
//     pages (page 2 + j * (U / 5 + 1)); one that would be the lock-byte page is the
//     page after it instead. Each maps the U / 5 pages that follow it.
//   the lock-byte page, the page holding file offset 1,073,741,824 (2^30): page number
//     2^30 / P + 1, in every file that reaches it.
// Walk: every other whole page (page 0 included), offsets o from 0 while o < P - 23
// (P - 32 on the last whole page, walked or not); a candidate needs a zero byte at
// p * P + o; after an acceptance the walk goes on at o + 22, else at o + 1. A remnant
// that starts on a walked page may run on into the pages after it, walked or not.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "reader/call_log_variant.h"
#include "recovery/record_frame.h"

class CWnd;
class RawFileBytes;

// Offsets into a page where the walk stops, and the skip after an acceptance.
constexpr std::int64_t kPageTailUntested = 23;
constexpr std::int64_t kLastPageTailUntested = 32;
constexpr std::int64_t kSkipAfterAcceptance = 22;

// The variant that the path's lower-cased end selects: "callhistory.storedata" (iPhone),
// "call.db", "contacts2.db", "logs.db", tested in that order; None for anything else,
// "call_history.db" included.
CallLogVariant ScanVariantOf(const std::string& path);

// The page size of the buffer's header, or 0 when nothing is to be walked.
std::uint32_t ReadPageSize(const RawBuffer& buffer);

// The pages of a file that the walk leaves out: its pointer-map pages and its lock-byte
// page (see above).
class PagesNotWalked
{
public:
    // `pageSize`: ReadPageSize(buffer), not 0.
    PagesNotWalked(const RawBuffer& buffer, std::int64_t pageSize);

    // `pageIndex` counts from 0, as the walk does.
    bool Contains(std::int64_t pageIndex) const;

private:
    std::int64_t m_lockBytePage;      // page number
    std::int64_t m_pointerMapStride;  // U / 5 + 1 pages; 0 when the file keeps no map
};

// A candidate a pass accepts: its raw-buffer index and its remnant length R.
struct AcceptedCandidate
{
    std::int64_t position;
    std::int64_t remnantLength;
};

// One pass over `buffer` with the variant's rules and ColumnSchema; returns the number
// of candidates accepted. A family none of whose columns the variant decodes (none at
// all, when the open found no call table) describes no call: nothing is accepted. Fill
// pass (accepted not null): the first `capacity` accepted candidates are appended to
// *accepted in the order found, and the Android names of those are shown in boxes owned
// by `owner` (none when it is null); later candidates are counted only.
std::int32_t WalkRawBuffer(const RawBuffer& buffer, CallLogVariant variant,
                           std::vector<AcceptedCandidate>* accepted, std::int32_t capacity,
                           CWnd* owner);

// Every candidate one pass over `buffer` accepts, in the order the walk meets them:
// exactly what the count pass counts and the fill pass keeps. Shows nothing.
std::vector<AcceptedCandidate> ListAcceptedCandidates(const RawBuffer& buffer,
                                                      CallLogVariant variant);

// One pass of the Recover command over `file`, the open file as the command read it
// once for both passes; the variant comes from file.Path(). counter on entry: 0 (count
// pass) or N > 0 (fill pass: the first N accepted candidates are kept with the raw
// buffer and handed to MergeRecoveredRecords with mainWindow, decoded as the merge reads
// them; only candidates this pass accepted are handed on, so the merge never sees a
// record that was not decoded, however many N promises). On return counter holds the
// number of candidates this call accepted. Raises CMemoryException when the fill pass's
// list of candidates cannot be allocated.
void ScanDeletedRecords(std::int32_t& counter, CWnd* mainWindow, const RawFileBytes& file);
