// ReadVarint and the serial-type content sizes, against hand-made byte sequences.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "recovery/record_frame.h"
#include "recovery/varint.h"

namespace {

struct VarintCase
{
    std::vector<unsigned char> bytes;
    std::uint64_t value;
    std::int32_t length;
    std::int32_t contentSize;
};

TEST(ReadVarint, ValueLengthAndContentSize)
{
    const std::vector<unsigned char> nineFF(9, 0xFF);
    const std::vector<VarintCase> cases = {
        {{0x00}, 0, 1, 0},
        {{0x7F}, 127, 1, 57},
        {{0x81, 0x00}, 128, 2, 58},
        {{0x82, 0x2C}, 300, 2, 144},
        {{0x01}, 1, 1, 1},
        {{0x04}, 4, 1, 4},
        {{0x05}, 5, 1, 6},
        {{0x06}, 6, 1, 8},
        {{0x07}, 7, 1, 8},
        {{0x08}, 8, 1, 0},
        {{0x09}, 9, 1, 0},
        {{0x0A}, 10, 1, -1},
        {{0x0B}, 11, 1, -1},
        {{0x0C}, 12, 1, 0},
        {{0x0D}, 13, 1, 0},
        {{0x0E}, 14, 1, 1},
        {{0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01}, 1, 9, 1},
        {nineFF, ~std::uint64_t{0}, 9, -7},
        // More than nine continuation bytes: the ninth ends the varint.
        {{0x81, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},
         (1ULL << 57) | 0x80, 9, 58},
    };
    for (const VarintCase& c : cases) {
        std::int32_t length = -99;
        std::int32_t size = -99;
        EXPECT_EQ(ReadVarint(c.bytes.data(), &length, &size), c.value) << "first " << +c.bytes[0];
        EXPECT_EQ(length, c.length) << "value " << c.value;
        EXPECT_EQ(size, c.contentSize) << "value " << c.value;
    }
}

TEST(ReadVarint, NullOutPointersAreNotWritten)
{
    const unsigned char bytes[] = {0x82, 0x2C};
    EXPECT_EQ(ReadVarint(bytes, nullptr, nullptr), 300u);
    std::int32_t length = -1;
    EXPECT_EQ(ReadVarint(bytes, &length, nullptr), 300u);
    EXPECT_EQ(length, 2);
}

TEST(SerialTypeContentSize, MatchesTheRecordFormatFormula)
{
    for (std::uint64_t type = 12; type < 5000; ++type) {
        const std::uint64_t expected = type % 2 == 0 ? (type - 12) / 2 : (type - 13) / 2;
        ASSERT_EQ(SerialTypeContentSize(type), static_cast<std::int32_t>(expected)) << type;
    }
    // Low 32 bits of the halved 64-bit value: 2^33 + 12 halves to 2^32, size 0.
    EXPECT_EQ(SerialTypeContentSize((1ULL << 33) + 12), 0);
}

TEST(OneByteContentSizes, MatchSerialTypeContentSize)
{
    for (unsigned type = 0; type < OneByteContentSizes::kCount; ++type) {
        EXPECT_EQ(kOneByteContentSizes.sizes[type], SerialTypeContentSize(type)) << type;
    }
}

// Every varint that starts with a continuation byte, as a header column reads it: the
// two-byte ones (read inline) and longer ones give what ReadVarint gives.
TEST(ReadLongVarint, AgreesWithReadVarintForEveryFirstTwoBytes)
{
    for (unsigned first = 0x80; first <= 0xFF; ++first) {
        for (unsigned second = 0; second <= 0xFF; ++second) {
            const unsigned char bytes[9] = {static_cast<unsigned char>(first),
                                            static_cast<unsigned char>(second), 0x81, 0x80,
                                            0xFF, 0x80, 0x80, 0x80, 0x05};
            std::int32_t length = 0;
            std::int32_t size = 0;
            const std::uint64_t value = ReadVarint(bytes, &length, &size);
            const LongVarint varint = ReadLongVarint(bytes);
            ASSERT_EQ(varint.serialType, static_cast<std::int32_t>(value))
                << first << " " << second;
            ASSERT_EQ(varint.length, length) << first << " " << second;
            ASSERT_EQ(varint.contentSize, size) << first << " " << second;
        }
    }
}

}  // namespace
