// Android remnants (call.db, contacts2.db, logs.db): which serial types each column of
// the live call table accepts, and the decoding of an accepted candidate into a call.
//
// Acceptance, by variant, declared type (upper-cased) and column name (lower-cased):
//   all three   INTEGER "type"     NULL, 1..4 byte integers, 8 and 9 (the ints 0 and 1)
//   call.db     BIGINT  "date"     5 (six-byte integer) only
//   others      INTEGER "date"     5 only
//   logs.db     INTEGER "logtype"  1 and 2 (one- and two-byte integers), and by content
//                                  a two-byte one only with a call's value (500)
//   call.db     TEXT    any        13 and every odd type above (text, the empty one
//                                  included); NULL refused
//   others      TEXT    any        0 and every odd type above 13; the empty text refused
//   any other pair                 every serial type
// Texts are in the encoding the database header names (offset 56); when it names none,
// UTF-16LE in call.db and UTF-8 in the other two.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>

#include "reader/call_log_variant.h"
#include "reader/call_record.h"
#include "recovery/column_schema.h"
#include "recovery/record_frame.h"
#include "recovery/record_values.h"

class CWnd;

// True when column (declaredType, columnName) of `variant` accepts `serialType`.
// `variant` is one of the three Android variants.
bool CheckAndroidColumn(CallLogVariant variant, const std::string& declaredType,
                        const std::string& columnName, std::int32_t serialType);

// The rules of columns 0 .. schema.count - 1 (at most kColumnSchemaCapacity), decided
// once per scan from CheckAndroidColumn.
void CompileAndroidRules(CallLogVariant variant, const ColumnSchemaFamily& schema,
                         ColumnRules& rules);

// The rule of the table that reads content rather than serial types: a two-byte
// logs.db "logtype" refuses every value but a call's. Found once per scan from the
// schema.
class AndroidContentCheck
{
public:
    AndroidContentCheck(CallLogVariant variant, const ColumnSchemaFamily& schema);

    // True when some column's content is to be checked, so candidates need their whole
    // header (CandidateHeader's per-column arrays) before Refuses.
    bool Needed() const { return m_count > 0; }

    // True when an accepted candidate's content refuses it; `header` must be complete.
    bool Refuses(const RawBuffer& buffer, const CandidateHeader& header) const;

private:
    std::int32_t m_columns[kColumnSchemaCapacity];
    std::int32_t m_count = 0;
};

// The text encoding of an Android database: the header's, or the variant's own when the
// header names none.
TextEncoding AndroidTextEncoding(const RawBuffer& buffer, CallLogVariant variant);

// Decodes accepted candidates of one scan: which column fills which text is decided
// once, from the column names of `schema` (which must outlive the decoder).
class AndroidRecordDecoder
{
public:
    AndroidRecordDecoder(TextEncoding encoding, const ColumnSchemaFamily& schema, CWnd* owner);

    // Sets the texts of `record` that `fields` (RecordField bits) names and the table has
    // a column for, from the accepted candidate `header` (read with the rules of the
    // schema); texts without a column are left as they are. Shows nothing. Content
    // outside the raw buffer reads as empty. Never rejects.
    void Decode(const RawBuffer& buffer, const CandidateHeader& header, unsigned fields,
                CallRecord& record);

    // True while names are to be shown: an owner was given, the user has cancelled no
    // name box, and the table has a "name" column.
    bool ShowsNames() const { return m_owner != nullptr && m_hasName; }

    // True when the table has some column that decodes into a text.
    bool DecodesSomeColumn() const { return m_columnCount > 0; }

    // Shows the text of every "name" column of the candidate (empty ones too), in column
    // order, in a message box with OK and Cancel owned by the owner. Cancel ends the
    // boxes for the rest of this decoder's life, that is of one recovery.
    void ShowNames(const RawBuffer& buffer, const CandidateHeader& header);

    // All six texts, with the name boxes: ShowNames, then Decode of every field.
    void Decode(const RawBuffer& buffer, const CandidateHeader& header, CallRecord& record);

    enum class Role : unsigned char { Skipped, Name, Date, Type, Duration, Number, Location };

private:
    void Text(const ContentView& content, std::string& text);

    // The columns that decode into some text, in column order.
    struct RoleColumn
    {
        std::int32_t column;
        Role role;
    };

    TextEncoding m_encoding;
    CWnd* m_owner;   // null once the user cancelled a name box
    bool m_hasName = false;
    RoleColumn m_columns[kColumnSchemaCapacity];
    std::int32_t m_columnCount = 0;
    std::string m_name;   // the name being shown; its buffer is reused
    // Converted texts by their content bytes: a scan meets the same names and places
    // again and again, and the conversion to code page 936 depends on the bytes alone.
    // The keys view the bytes kept in m_keyBytes (whose strings never move), so a lookup
    // builds no string. Bounded; texts past the bound are converted every time.
    std::deque<std::string> m_keyBytes;
    std::unordered_map<std::string_view, std::string> m_texts;
};

// One candidate decoded as AndroidRecordDecoder does it, in the buffer's encoding.
void DecodeAndroidRecord(CallLogVariant variant, const ColumnSchemaFamily& schema,
                         const RawBuffer& buffer, const CandidateHeader& header,
                         CallRecord& record, CWnd* owner);
