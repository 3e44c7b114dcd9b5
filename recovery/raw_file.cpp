// The raw read of a database file through CFile (see raw_file.h).
#include "recovery/raw_file.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "platform/file.h"

namespace {

// CFile::Read takes a 32-bit count; larger files are read in pieces of this size.
constexpr std::uint64_t kReadChunkBytes = std::uint64_t{1} << 30;

}  // namespace

RawFileBytes::RawFileBytes(const std::string& path)
{
    CFile file;
    CFileException error;
    // Read access, existing file only, no sharing.
    if (!file.Open(path.c_str(), CFile::modeRead | CFile::shareExclusive | CFile::typeBinary,
                   &error)) {
        throw error;
    }
    const ULONGLONG length = file.GetLength();
    if (length >= static_cast<ULONGLONG>(std::numeric_limits<std::int64_t>::max())) {
        throw CMemoryException();
    }
    try {
        m_bytes.reset(new unsigned char[length + 1]);
    } catch (const std::bad_alloc&) {
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
