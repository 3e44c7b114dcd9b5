// Varint and serial-type reading of the SQLite 3 record format (see varint.h).
#include "recovery/varint.h"

namespace {

constexpr int kMaxVarintLength = 9;
constexpr unsigned kContinuationBit = 0x80;
constexpr unsigned kLowSevenBits = 0x7F;

}  // namespace

std::int32_t SerialTypeContentSize(std::uint64_t serialType)
{
    static constexpr std::int32_t kSmallSizes[] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0, -1, -1};
    constexpr std::uint64_t kFirstBlobType = 12;
    if (serialType < kFirstBlobType) {
        return kSmallSizes[serialType];
    }
    // Even: BLOB of (N - 12) / 2 bytes; odd: text of (N - 13) / 2 bytes. Both are
    // (N - 12) / 2 in integer division.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>((serialType - kFirstBlobType) / 2));
}

std::uint64_t ReadVarint(const unsigned char* bytes, std::int32_t* length,
                         std::int32_t* contentSize)
{
    std::uint64_t value = 0;
    std::int32_t used = kMaxVarintLength;
    for (std::int32_t i = 0; i < kMaxVarintLength - 1; ++i) {
        const unsigned byte = bytes[i];
        value = (value << 7) | (byte & kLowSevenBits);
        if ((byte & kContinuationBit) == 0) {
            used = i + 1;
            break;
        }
    }
    if (used == kMaxVarintLength) {
        value = (value << 8) | bytes[kMaxVarintLength - 1];
    }
    if (length != nullptr) {
        *length = used;
    }
    if (contentSize != nullptr) {
        *contentSize = SerialTypeContentSize(value);
    }
    return value;
}
