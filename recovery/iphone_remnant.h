// iPhone remnants (ZCALLRECORD of CallHistory.storedata): which serial types each column
// accepts, and the decoding of an accepted candidate into a call.
//
// Acceptance, by declared type (upper-cased) and column name (lower-cased):
//   INTEGER   "zanswered"  8 or 9                 FLOAT     any     at most 10
//   INTEGER   "z_ent"      at most 4, not 0       VARCHAR   any     0, or odd >= 13
//   INTEGER   other        below 10               TIMESTAMP "zdate" 7 (a double)
//   BLOB      any          0, or even >= 12       TIMESTAMP other   any
//   any other declared type: every serial type.   (Comparisons are signed 32-bit.)
// Decoding: zlocation and zaddress (number) are texts in the database's encoding (its
// header's, UTF-8 when it names none); zdate a big-endian double
// of seconds since 2001-01-01 UTC; zduration an integer or double of seconds; the call
// type from zoriginated when the table has it, else from zanswered.
#pragma once

#include <cstdint>
#include <string>

#include "reader/call_record.h"
#include "recovery/column_schema.h"
#include "recovery/record_frame.h"
#include "recovery/record_values.h"

// True when column (declaredType, columnName) accepts `serialType`.
bool CheckIphoneColumn(const std::string& declaredType, const std::string& columnName,
                       std::int32_t serialType);

// What a scan of an iPhone file decides once: the per-column rules and what each
// column decodes into, from the column names.
struct IphoneRules
{
    enum class Role : unsigned char { Skipped, Location, Date, Answered, Originated, Duration,
                                      Number };
    ColumnRules columns;
    Role roles[kColumnSchemaCapacity] = {};   // what each column decodes into
    bool hasOriginated = false;               // the table has a "zoriginated" column
    TextEncoding encoding = TextEncoding::Utf8;   // of the scanned file's texts

    // True when some column decodes into a text.
    bool DecodesSomeColumn() const;
};
void CompileIphoneRules(const ColumnSchemaFamily& schema, IphoneRules& rules);

// Sets the texts of `record` that `fields` (RecordField bits) names and the table has a
// column for, from the accepted candidate `header`; other texts (the name always) are
// left as they are, and so is the call type when neither call-type column decides it.
void DecodeIphoneFields(const RawBuffer& buffer, const IphoneRules& rules,
                        const CandidateHeader& header, unsigned fields, CallRecord& record);

// Tests the candidate at raw-buffer index `position` by the frame and the rules above.
// On acceptance sets *remnantLength (R, 64-bit) and, when `record` is not null, decodes
// into it (its name is never written; texts no column supplies keep what they held). A
// rejected candidate leaves `record` and *remnantLength untouched. `header` is scratch.
bool MatchIphoneRecord(CallRecord* record, std::int64_t position, std::int64_t* remnantLength,
                       const RawBuffer& buffer, const IphoneRules& rules,
                       CandidateHeader& header);
