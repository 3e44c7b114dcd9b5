// Android remnants (call.db, contacts2.db, logs.db): which serial types each column of
// the live call table accepts, and the decoding of an accepted candidate into a call.
//
// Acceptance, by variant, declared type (upper-cased) and column name (lower-cased):
//   all three   INTEGER "type"     NULL, 1..4 byte integers, 8 and 9 (the ints 0 and 1)
//   call.db     BIGINT  "date"     5 (six-byte integer) only
//   others      INTEGER "date"     5 only
//   logs.db     INTEGER "logtype"  1 (one-byte integer) only
//   call.db     TEXT    any        13 and every odd type above (text, the empty one
//                                  included); NULL refused
//   others      TEXT    any        0 and every odd type above 13; the empty text refused
//   any other pair                 every serial type
// Texts are UTF-16LE in call.db and UTF-8 in the other two.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "reader/call_log_variant.h"
#include "reader/call_record.h"
#include "recovery/column_schema.h"
#include "recovery/record_frame.h"

class CWnd;

// True when column (declaredType, columnName) of `variant` accepts `serialType`.
// `variant` is one of the three Android variants.
bool CheckAndroidColumn(CallLogVariant variant, const std::string& declaredType,
                        const std::string& columnName, std::int32_t serialType);

// The rules of columns 0 .. schema.count - 1 (at most kColumnSchemaCapacity), decided
// once per scan from CheckAndroidColumn.
void CompileAndroidRules(CallLogVariant variant, const ColumnSchemaFamily& schema,
                         ColumnRules& rules);

// Decodes accepted candidates of one scan: which column fills which text is decided
// once, from the column names of `schema` (which must outlive the decoder).
class AndroidRecordDecoder
{
public:
    AndroidRecordDecoder(CallLogVariant variant, const ColumnSchemaFamily& schema, CWnd* owner);

    // Fills name, callTime, callType, duration, number and location of `record` from
    // the accepted candidate `header` (read with the rules of the schema), and shows
    // every decoded name (empty ones too) in a message box owned by the owner (none
    // when it is null). Content outside the raw buffer reads as empty. Never rejects.
    void Decode(const RawBuffer& buffer, const CandidateHeader& header, CallRecord& record) const;

    enum class Role : unsigned char { Skipped, Name, Date, Type, Duration, Number, Location };

private:
    std::string Text(const ContentView& content) const;

    bool m_utf16;
    CWnd* m_owner;
    Role m_roles[kColumnSchemaCapacity];
    // Converted texts by their content bytes: a scan meets the same names and places
    // again and again, and the conversion to code page 936 depends on the bytes alone.
    // Bounded; texts past the bound are converted every time.
    mutable std::unordered_map<std::string, std::string> m_texts;
};

// One candidate decoded as AndroidRecordDecoder does it.
void DecodeAndroidRecord(CallLogVariant variant, const ColumnSchemaFamily& schema,
                         const RawBuffer& buffer, const CandidateHeader& header,
                         CallRecord& record, CWnd* owner);
