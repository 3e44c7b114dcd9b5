// The candidate frame every variant shares: the raw buffer, per-column serial-type rules
// decided once per scan, reading a candidate's record header at one raw-buffer position
// with its bounds test, and bounded access to the columns' content.
//
// A candidate at raw-buffer index x (the byte there must be 0, column 0's NULL):
//   x          : varint 0 (the zero byte), then one varint per further schema column
//   x + H      : content start (H = the header's bytes), then each column's content in
//                column order, Z[i] bytes each, with no header-length varint in front
//   R          : 1 + H + Z[0] + ... + Z[C-1], the remnant length; the content ends,
//                exclusive, at x + R - 1, which may be at most F + 1 (the byte after the
//                terminating zero byte at index F)
// R and every content offset are 64-bit: sizes of -1 (serial types 10, 11) and sizes of
// huge serial types may move the placement backwards or far past the buffer, and such
// content is never read (ContentAt refuses it).
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>

#include "recovery/column_schema.h"
#include "recovery/varint.h"

// The whole file followed by one terminating zero byte: data[0 .. fileLength].
struct RawBuffer
{
    const unsigned char* data = nullptr;
    std::int64_t fileLength = 0;   // F; data[F] is the terminating zero byte

    // One past the terminating zero byte.
    std::int64_t EndIndex() const { return fileLength + 1; }
};

// The serial types one column accepts, decided once per scan. Serial types are the low
// 32 bits of the varint, compared signed, so negative values exist.
struct SerialTypeRule
{
    static constexpr std::int32_t kSmallTypes = 64;
    std::uint64_t small = ~std::uint64_t{0};   // bit N: serial type N, 0 <= N < 64
    std::uint64_t next = ~std::uint64_t{0};    // bit N: serial type 64 + N, 0 <= N < 64
    bool negative = true;                       // every serial type below 0
    bool oddLarge = true;                       // every odd serial type >= 64
    bool evenLarge = true;                      // every even serial type >= 64

    // For the serial types of one-byte varints, 0 to 127, without a branch.
    bool AcceptsOneByte(std::int32_t serialType) const
    {
        const std::uint64_t bits = serialType < kSmallTypes ? small : next;
        return ((bits >> (serialType & (kSmallTypes - 1))) & 1U) != 0;
    }

    bool Accepts(std::int32_t serialType) const
    {
        if (static_cast<std::uint32_t>(serialType) < static_cast<std::uint32_t>(kSmallTypes)) {
            return ((small >> serialType) & 1U) != 0;
        }
        if (serialType < 0) {
            return negative;
        }
        return (serialType & 1) != 0 ? oddLarge : evenLarge;
    }

    // The table of a rule that treats all negatives alike and, from 64 on, all odd and
    // all even serial types alike (every rule of the remnant tables does).
    static SerialTypeRule FromPredicate(const std::function<bool(std::int32_t)>& accepts);
};

// The rules of a scan: one per column of the schema family (column 0 is never tested).
struct ColumnRules
{
    // oneByte[i][b] for a header byte b of column i: kOneByteAccepted plus b's content
    // size when b is a one-byte varint (below 0x80) that rules[i] accepts, else 0. A
    // header's sum over its columns 1 .. C-1 then holds the number of accepted one-byte
    // varints from bit 15 up and their content bytes below (at most 299 * 57 < 2^15).
    static constexpr std::uint16_t kOneByteAccepted = 0x8000;
    static constexpr int kOneByteAcceptedShift = 15;
    static constexpr unsigned kByteValues = 256;

    std::int32_t columnCount = 0;   // 0 .. kColumnSchemaCapacity
    SerialTypeRule rules[kColumnSchemaCapacity];
    // All zero until CompileOneByte: such a table only sends every header to the
    // column-by-column reading.
    std::uint16_t oneByte[kColumnSchemaCapacity][kByteValues] = {};

    // Fills rows 0 .. columnCount - 1 of oneByte from rules (later rows are never read);
    // Compile calls it last.
    void CompileOneByte();

    // Sets columnCount from the schema and compiles rules[i] of every column from
    // check(declaredType, columnName, serialType), then oneByte. A rule depends on the
    // column's type and name alone, so a pair met in an earlier column is copied rather
    // than asked again.
    template <typename Check>
    void Compile(const ColumnSchemaFamily& schema, Check check)
    {
        columnCount = std::clamp(schema.count, 0, kColumnSchemaCapacity);
        for (std::int32_t i = 0; i < columnCount; ++i) {
            const std::string& type = schema.types[i];
            const std::string& name = schema.names[i];
            std::int32_t same = 0;
            while (same < i && (schema.types[same] != type || schema.names[same] != name)) {
                ++same;
            }
            rules[i] = same < i ? rules[same]
                                : SerialTypeRule::FromPredicate([&](std::int32_t serialType) {
                                      return check(type, name, serialType);
                                  });
        }
        CompileOneByte();
    }
};

// One candidate's header as read by MatchCandidate; reused for every position.
struct CandidateHeader
{
    std::int32_t serialTypes[kColumnSchemaCapacity];
    std::int32_t varintLengths[kColumnSchemaCapacity];
    std::int32_t contentSizes[kColumnSchemaCapacity];
    std::int32_t columnCount = 0;
    std::int64_t contentStart = 0;    // raw-buffer index of the byte after the last varint
    std::int64_t remnantLength = 0;   // R
};

// Content sizes of the one-byte varints 0x00..0x7F, the common case of a header: the
// table of varint.h (a test checks it against SerialTypeContentSize).
struct OneByteContentSizes
{
    static constexpr unsigned kCount = 0x80;
    std::int32_t sizes[kCount];
    constexpr OneByteContentSizes() : sizes()
    {
        constexpr std::int32_t kSmall[] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0, -1, -1};
        for (unsigned type = 0; type < kCount; ++type) {
            sizes[type] = type < 12 ? kSmall[type] : static_cast<std::int32_t>((type - 12) / 2);
        }
    }
};
inline constexpr OneByteContentSizes kOneByteContentSizes{};

// A header varint that is longer than one byte, read by ReadVarint: serial type (low 32
// bits), length and content size.
struct LongVarint
{
    std::int32_t serialType;
    std::int32_t length;
    std::int32_t contentSize;
};
LongVarint ReadVarintOver2Bytes(const unsigned char* cursor);

// `cursor` points at a byte of 0x80 or above. Two-byte varints (values up to 16383, the
// texts and BLOBs of a record up to 8 KB) are read here without a call: after a zero
// byte in other content they are the most common multi-byte varints the walk meets.
inline LongVarint ReadLongVarint(const unsigned char* cursor)
{
    constexpr unsigned kLowBits = 0x7F;
    constexpr int kBitsPerByte = 7;
    constexpr std::int32_t kFirstBlobType = 12;
    if (cursor[1] >= OneByteContentSizes::kCount) {
        return ReadVarintOver2Bytes(cursor);
    }
    const std::int32_t type =
        static_cast<std::int32_t>(((cursor[0] & kLowBits) << kBitsPerByte) | cursor[1]);
    const std::int32_t size = type < static_cast<std::int32_t>(OneByteContentSizes::kCount)
                                  ? kOneByteContentSizes.sizes[type]
                                  : (type - kFirstBlobType) / 2;
    return LongVarint{type, 2, size};
}

// Steps 1 to 7 of the frame at raw-buffer index `position` (0 <= position <= F): the
// zero byte, one varint per column with the column's rule (the first refusal, or a
// varint that would start past the terminating zero byte, rejects), then the bounds
// test. Returns true when accepted; `header` is complete only then. This is the
// format's own column-by-column reading; MatchCandidate gives the same answer faster.
inline bool MatchCandidateByColumn(const RawBuffer& buffer, std::int64_t position,
                                   const ColumnRules& rules, CandidateHeader& header)
{
    const unsigned char* const data = buffer.data;
    if (data[position] != 0) {
        return false;
    }
    const std::int32_t columns = rules.columnCount;
    const SerialTypeRule* const rule = rules.rules;
    std::int32_t* const types = header.serialTypes;
    std::int32_t* const lengths = header.varintLengths;
    std::int32_t* const sizes = header.contentSizes;
    const unsigned char* const last = data + buffer.fileLength;   // the terminating zero
    const unsigned char* cursor = data + position;
    std::int64_t contentBytes = 0;
    if (columns > 0) {
        // Column 0's varint is the zero byte itself: NULL, one byte, no content.
        types[0] = 0;
        lengths[0] = 1;
        sizes[0] = 0;
        ++cursor;
    }
    for (std::int32_t i = 1; i < columns; ++i) {
        if (cursor > last) {
            return false;   // no varint starts past the terminating zero byte
        }
        // One-byte varints, the common case, skip the general reader.
        LongVarint varint{*cursor, 1, 0};
        if (varint.serialType < static_cast<std::int32_t>(OneByteContentSizes::kCount)) {
            varint.contentSize = kOneByteContentSizes.sizes[varint.serialType];
            if (!rule[i].AcceptsOneByte(varint.serialType)) {
                return false;
            }
        } else {
            varint = ReadLongVarint(cursor);
            if (!rule[i].Accepts(varint.serialType)) {
                return false;
            }
        }
        types[i] = varint.serialType;
        lengths[i] = varint.length;
        sizes[i] = varint.contentSize;
        contentBytes += varint.contentSize;
        cursor += varint.length;
    }
    header.columnCount = columns;
    header.contentStart = cursor - data;
    header.remnantLength = 1 + (header.contentStart - position) + contentBytes;
    // The content ends, exclusive, at position + R - 1; its last byte may be the
    // terminating zero byte and no further.
    return position + header.remnantLength - 1 <= buffer.EndIndex();
}

// The content bytes of a header whose varints after the zero byte are all one byte long
// and all accepted, summed from ColumnRules::oneByte without a branch per column; -1
// when some varint is multi-byte or refused (MatchCandidateByColumn then decides). The
// columns are summed eight at a time, and a group with a refusal ends the sum: most
// positions that get this far are refused by one of the first few columns. Bytes
// zero[0 .. C-1] must lie in the buffer, so none of these varints starts past the
// terminating zero byte.
inline std::int64_t OneByteHeaderContentBytes(const unsigned char* zero,
                                              const ColumnRules& rules)
{
    constexpr std::int32_t kGroup = 8;
    const std::int32_t columns = rules.columnCount;
    const std::uint16_t(*const table)[ColumnRules::kByteValues] = rules.oneByte;
    std::uint32_t sum = 0;
    for (std::int32_t from = 1; from < columns; from += kGroup) {
        const std::int32_t to = std::min(from + kGroup, columns);
        // Two sums so that consecutive columns' loads do not wait on one another.
        std::uint32_t sums[2] = {0, 0};
        std::int32_t i = from;
        for (; i + 1 < to; i += 2) {
            sums[0] += table[i][zero[i]];
            sums[1] += table[i + 1][zero[i + 1]];
        }
        if (i < to) {
            sums[0] += table[i][zero[i]];
        }
        sum += sums[0] + sums[1];
        const std::uint32_t acceptedColumns = sum >> ColumnRules::kOneByteAcceptedShift;
        if (static_cast<std::int32_t>(acceptedColumns) != to - 1) {
            return -1;
        }
    }
    const std::uint32_t contentMask = ColumnRules::kOneByteAccepted - 1U;
    return static_cast<std::int64_t>(sum & contentMask);
}

// MatchCandidateByColumn's answer. When every varint is one byte long (the common case
// of a remnant) the columns are tested without branching and, unless `fillHeader`, the
// header's per-column arrays are left unwritten (columnCount, contentStart and
// remnantLength are always set on acceptance).
inline bool MatchCandidate(const RawBuffer& buffer, std::int64_t position,
                           const ColumnRules& rules, CandidateHeader& header,
                           bool fillHeader = true)
{
    const std::int32_t columns = rules.columnCount;
    const unsigned char* const zero = buffer.data + position;
    if (columns < 1 || position + columns - 1 > buffer.fileLength || *zero != 0) {
        return MatchCandidateByColumn(buffer, position, rules, header);
    }
    const std::int64_t contentBytes = OneByteHeaderContentBytes(zero, rules);
    if (contentBytes < 0) {
        return MatchCandidateByColumn(buffer, position, rules, header);
    }
    if (fillHeader) {
        for (std::int32_t i = 0; i < columns; ++i) {
            header.serialTypes[i] = zero[i];
            header.varintLengths[i] = 1;
            header.contentSizes[i] = kOneByteContentSizes.sizes[zero[i]];
        }
    }
    header.columnCount = columns;
    header.contentStart = position + columns;
    header.remnantLength = 1 + columns + contentBytes;
    return position + header.remnantLength - 1 <= buffer.EndIndex();
}

// Bytes of one column's content, or none when they do not lie wholly inside the raw
// buffer (negative size, or placement outside data[0 .. F]).
struct ContentView
{
    const unsigned char* bytes = nullptr;
    std::int32_t size = 0;
    bool valid = false;
};
ContentView ContentAt(const RawBuffer& buffer, std::int64_t offset, std::int32_t size);

// Walks a candidate's columns with their content placement.
// for (ColumnCursor c(header); c.Valid(); c.Next()) { c.Column(); c.Offset(); }
class ColumnCursor
{
public:
    explicit ColumnCursor(const CandidateHeader& header)
        : m_header(header), m_offset(header.contentStart) {}
    bool Valid() const { return m_column < m_header.columnCount; }
    void Next() { m_offset += m_header.contentSizes[m_column++]; }
    // Moves on to `column` (not before the current one; at most the column count).
    void SkipTo(std::int32_t column)
    {
        while (m_column < column) {
            Next();
        }
    }
    std::int32_t Column() const { return m_column; }
    std::int32_t SerialType() const { return m_header.serialTypes[m_column]; }
    std::int32_t ContentSize() const { return m_header.contentSizes[m_column]; }
    std::int64_t Offset() const { return m_offset; }
    ContentView Content(const RawBuffer& buffer) const
    {
        return ContentAt(buffer, m_offset, ContentSize());
    }

private:
    const CandidateHeader& m_header;
    std::int32_t m_column = 0;
    std::int64_t m_offset;
};
