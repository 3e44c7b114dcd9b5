// The shared candidate frame: per-column rule tables and bounded content placement
// (header reading is inline in record_frame.h).
#include "recovery/record_frame.h"

SerialTypeRule SerialTypeRule::FromPredicate(const std::function<bool(std::int32_t)>& accepts)
{
    constexpr std::int32_t kOddLargeSample = kSmallTypes + 1;
    SerialTypeRule rule;
    rule.small = 0;
    rule.next = 0;
    for (std::int32_t type = 0; type < kSmallTypes; ++type) {
        if (accepts(type)) {
            rule.small |= std::uint64_t{1} << type;
        }
        if (accepts(kSmallTypes + type)) {
            rule.next |= std::uint64_t{1} << type;
        }
    }
    rule.negative = accepts(-1);
    rule.oddLarge = accepts(kOddLargeSample);
    rule.evenLarge = accepts(kSmallTypes);
    return rule;
}

void ColumnRules::CompileOneByte()
{
    static_assert((kColumnSchemaCapacity - 1) * ((OneByteContentSizes::kCount - 1 - 12) / 2) <
                      kOneByteAccepted,
                  "the content bytes of a one-byte header stay below the accepted flag");
    // Rows from columnCount on are never read (a header has columnCount varints).
    for (std::int32_t i = 0; i < columnCount; ++i) {
        for (unsigned b = 0; b < kByteValues; ++b) {
            const std::int32_t type = static_cast<std::int32_t>(b);
            const bool accepted =
                b < OneByteContentSizes::kCount && rules[i].AcceptsOneByte(type);
            oneByte[i][b] = accepted ? static_cast<std::uint16_t>(
                                           kOneByteAccepted + kOneByteContentSizes.sizes[b])
                                     : 0;
        }
    }
}

LongVarint ReadVarintOver2Bytes(const unsigned char* cursor)
{
    LongVarint varint{0, 0, 0};
    varint.serialType = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(ReadVarint(cursor, &varint.length, &varint.contentSize)));
    return varint;
}

ContentView ContentAt(const RawBuffer& buffer, std::int64_t offset, std::int32_t size)
{
    ContentView view;
    if (size < 0 || offset < 0 || offset > buffer.EndIndex() - size) {
        return view;
    }
    view.bytes = buffer.data + offset;
    view.size = size;
    view.valid = true;
    return view;
}
