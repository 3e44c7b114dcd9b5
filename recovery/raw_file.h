// The scanner's raw read: a whole database file in memory, followed by one terminating
// zero byte, read through the framework's CFile. A Recover reads the file once and both
// of its passes walk these bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "recovery/record_frame.h"

class RawFileBytes
{
public:
    // Reads the whole file at `path` (code page 936). Raises CFileException when it
    // cannot be opened (naming the file and the cause) or read, CMemoryException when
    // F + 1 bytes cannot be allocated. Bytes a short read leaves unfilled are 0.
    explicit RawFileBytes(std::string path);

    RawBuffer View() const { return RawBuffer{m_bytes.get(), m_length}; }
    // The path the bytes were read from, as given.
    const std::string& Path() const { return m_path; }

private:
    struct FreeBytes
    {
        void operator()(unsigned char* bytes) const;
    };
    std::string m_path;
    std::unique_ptr<unsigned char[], FreeBytes> m_bytes;
    std::int64_t m_length = 0;
};
