// The scanner's raw read: every byte of the file, then the terminating zero byte that
// lets the frame read a varint or a content byte at index F without a bounds test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "recovery/raw_file.h"
#include "tests/support/fixtures.h"

namespace {

// Frees blocks of `bytes` bytes filled with 0xFF, so that the next allocation of that
// size is likely to be one of them: a terminating byte left unwritten then reads 0xFF
// rather than the zero of fresh memory. The allocator keeps its own links in the first
// 16 bytes of a freed block, so only the end of a larger one stays 0xFF.
void LeaveFilledBlocks(std::size_t bytes)
{
    constexpr int kBlocks = 16;
    std::vector<void*> blocks;
    for (int i = 0; i < kBlocks; ++i) {
        blocks.push_back(std::malloc(bytes));
        std::memset(blocks.back(), 0xFF, bytes);
    }
    for (void* block : blocks) {
        std::free(block);
    }
}

TEST(RawFileBytes, WholeFileThenTheTerminatingZeroByte)
{
    fixtures::TempDir dir;
    const std::string path = dir.File("contacts2.db");
    for (const std::size_t length : {100, 1024, 5000}) {
        const std::string bytes(length, '\xFF');
        fixtures::WriteFileBytes(path, bytes);
        LeaveFilledBlocks(length + 1);
        const RawFileBytes raw(path);
        const RawBuffer view = raw.View();
        ASSERT_EQ(view.fileLength, static_cast<std::int64_t>(length));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(view.data), length), bytes);
        EXPECT_EQ(view.data[length], 0) << length << " bytes";
    }
}

}  // namespace
