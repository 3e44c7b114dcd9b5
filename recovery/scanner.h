// The raw-file scanner: reads a call-log database whole as raw bytes and finds remnants
// of call records in every page by the SQLite record format and the live call table's
// columns (ColumnSchema), in a count pass and a fill pass.
//
// Database header fields read (everything else of the page structure is not):
//   offset 16, 2 bytes: page size, big-endian; 1 means 65536. Only powers of two from
//   512 to 65536 are page sizes; with any other value, or a file shorter than 18 bytes,
//   nothing is walked.
// Walk: every whole page p (page 0 included), offsets o from 0 while o < P - 23
// (P - 32 on the last whole page); a candidate needs a zero byte at p * P + o; after an
// acceptance the walk goes on at o + 22, else at o + 1.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "reader/call_log_variant.h"
#include "recovery/record_frame.h"

class CWnd;

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

// A candidate a pass accepts: its raw-buffer index and its remnant length R.
struct AcceptedCandidate
{
    std::int64_t position;
    std::int64_t remnantLength;
};

// One pass over `buffer` with the variant's rules and ColumnSchema; returns the number
// of candidates accepted (none when the variant's family has no columns). Fill pass
// (accepted not null): the first `capacity` accepted candidates are appended to
// *accepted in the order found, and the Android names of those are shown in boxes owned
// by `owner` (none when it is null); later candidates are counted only.
std::int32_t WalkRawBuffer(const RawBuffer& buffer, CallLogVariant variant,
                           std::vector<AcceptedCandidate>* accepted, std::int32_t capacity,
                           CWnd* owner);

// Every candidate one pass over `buffer` accepts, in the order the walk meets them:
// exactly what the count pass counts and the fill pass keeps. Shows nothing.
std::vector<AcceptedCandidate> ListAcceptedCandidates(const RawBuffer& buffer,
                                                      CallLogVariant variant);

// One pass of the Recover command. counter on entry: 0 (count pass) or N > 0 (fill
// pass: the first N accepted candidates are kept with the raw buffer and handed to
// MergeRecoveredRecords with mainWindow as N records, decoded as the merge reads them;
// records the pass did not reach read as overlong 0 with six empty texts). On return
// counter holds the number of candidates this call accepted.
// Raises CFileException when the file cannot be opened or read (counter, table and list
// unchanged) and CMemoryException when the buffer cannot be allocated.
void ScanDeletedRecords(std::int32_t& counter, CWnd* mainWindow, std::string path);
