// The raw read of a database file through CFile (see raw_file.h).
#include "recovery/raw_file.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include <sys/mman.h>

#include "platform/file.h"

namespace {

// CFile::Read takes a 32-bit count; larger files are read in pieces of this size.
constexpr std::uint64_t kReadChunkBytes = std::uint64_t{1} << 30;
// Buffers from this size on are asked for in transparent huge pages: reading a 100 MB
// file into fresh memory otherwise spends longer in page faults than in the walk.
constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;
constexpr std::size_t kHugePagesFrom = 2 * kHugePageBytes;

// F + 1 bytes (caller frees with std::free), or null when memory is exhausted.
unsigned char* AllocateRaw(std::size_t bytes)
{
    if (bytes < kHugePagesFrom) {
        return static_cast<unsigned char*>(std::malloc(bytes));
    }
    const std::size_t rounded = (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    void* memory = std::aligned_alloc(kHugePageBytes, rounded);
    if (memory != nullptr) {
        madvise(memory, rounded, MADV_HUGEPAGE);   // a hint: refused, pages stay small
    }
    return static_cast<unsigned char*>(memory);
}

}  // namespace

void RawFileBytes::FreeBytes::operator()(unsigned char* bytes) const
{
    std::free(bytes);
}

RawFileBytes::RawFileBytes(std::string path) : m_path(std::move(path))
{
    CFile file;
    CFileException error;
    // Read access, existing file only.
    if (!file.Open(m_path.c_str(), CFile::modeRead, &error)) {
        throw error;
    }
    const ULONGLONG length = file.GetLength();
    if (length >= static_cast<ULONGLONG>(std::numeric_limits<std::int64_t>::max())) {
        throw CMemoryException();
    }
    m_bytes.reset(AllocateRaw(static_cast<std::size_t>(length) + 1));
    if (m_bytes == nullptr) {
        throw CMemoryException();
    }
    m_length = static_cast<std::int64_t>(length);
    ULONGLONG done = 0;
    while (done < length) {
        const ULONGLONG piece = std::min(length - done, kReadChunkBytes);
        const UINT got = file.Read(m_bytes.get() + done, static_cast<UINT>(piece));
        if (got == 0) {
            break;
        }
        done += got;
    }
    std::memset(m_bytes.get() + done, 0, length + 1 - done);
    file.Close();
}
