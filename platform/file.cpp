// CFile over a POSIX file descriptor, and the CException family with the Chinese texts
// the standard error box shows. Paths arrive in code page 936 and reach the file system
// as UTF-8.
#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/codepage.h"

namespace {

// Largest single read() request; Linux transfers at most about 2 GiB per call anyway.
constexpr std::size_t kMaxReadChunkBytes = std::size_t{1} << 30;

// The reason part of a file error, indexed by CFileException::Cause.
const char* const kCauseTexts[] = {
    "没有错误。",                      // none
    "发生了未知错误。",                // genericException
    "找不到该文件。",                  // fileNotFound
    "路径无效。",                      // badPath
    "同时打开的文件过多。",            // tooManyOpenFiles
    "没有访问该文件的权限。",          // accessDenied
    "文件没有打开。",                  // invalidFile
    "读写磁盘时发生硬件错误。",        // hardIO
    "磁盘已满。",                      // diskFull
};
static_assert(sizeof kCauseTexts / sizeof kCauseTexts[0] == CFileException::diskFull + 1,
              "one text per cause");

// Opens for reading without touching the file's access time where the kernel lets us
// (O_NOATIME: the owner, or root), else quietly as any reader would.
int openForReading(const std::string& utf8Path)
{
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    const int fd = ::open(utf8Path.c_str(), flags | O_NOATIME);
    return fd < 0 && errno == EPERM ? ::open(utf8Path.c_str(), flags) : fd;
}

// Opens without waiting, since a plain open of a FIFO blocks until a writer comes, and
// keeps the descriptor only for a regular file, made blocking again. Otherwise -1 with
// errno set: EISDIR for a folder, ENXIO for a FIFO, device or socket.
int openRegularFile(const std::string& utf8Path)
{
    const int fd = openForReading(utf8Path);
    if (fd < 0)
        return -1;
    struct stat info;
    int refused = 0;
    if (fstat(fd, &info) != 0)
        refused = errno;
    else if (S_ISDIR(info.st_mode))
        refused = EISDIR;
    else if (!S_ISREG(info.st_mode))
        refused = ENXIO;
    if (refused == 0) {
        const int status = fcntl(fd, F_GETFL);
        if (status < 0 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0)
            refused = errno;
    }
    if (refused != 0) {
        ::close(fd);
        errno = refused;
        return -1;
    }
    return fd;
}

}  // namespace

std::string CMemoryException::ErrorText() const
{
    return "内存不足，无法完成此操作。";
}

std::string CInvalidArgException::ErrorText() const
{
    return "参数无效，无法完成此操作。";
}

CFileException::CFileException(int cause, long osError, std::string fileName)
    : m_cause(cause), m_lOsError(osError), m_strFileName(std::move(fileName))
{
}

int CFileException::CauseFromErrno(int errnoValue)
{
    switch (errnoValue) {
    case 0: return none;
    case ENOENT: return fileNotFound;
    case ENOTDIR: case ENAMETOOLONG: case ELOOP: return badPath;
    case EMFILE: case ENFILE: return tooManyOpenFiles;
    case EACCES: case EPERM: case EISDIR: case EROFS: case ENXIO: return accessDenied;
    case EBADF: return invalidFile;
    case EIO: return hardIO;
    case ENOSPC: case EDQUOT: case EFBIG: return diskFull;
    default: return genericException;
    }
}

std::string CFileException::ReasonText() const
{
    if (m_lOsError == EISDIR)
        return "这是一个文件夹，不是文件。";
    if (m_lOsError == ENXIO)
        return "这不是普通文件（可能是管道、设备或套接字）。";
    const bool known = m_cause >= none && m_cause <= diskFull;
    return kCauseTexts[known ? m_cause : genericException];
}

std::string CFileException::ErrorText() const
{
    if (m_strFileName.empty())
        return "文件操作失败：" + ReasonText();
    return "无法读取文件 " + m_strFileName + "：" + ReasonText();
}

CFile::~CFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

BOOL CFile::Open(const char* path, UINT openFlags, CFileException* error)
{
    if (m_fd >= 0)
        Close();
    m_path = path ? path : "";
    int fd = -1;
    if (openFlags != modeRead)
        errno = EINVAL;
    else
        fd = openRegularFile(AnsiToUtf8(m_path));
    if (fd < 0) {
        m_openErrno = errno;
        if (error)
            *error = CFileException(CFileException::CauseFromErrno(m_openErrno), m_openErrno, m_path);
        return FALSE;
    }
    m_fd = fd;
    m_openErrno = 0;
    return TRUE;
}

void CFile::throwNotOpen() const
{
    if (m_openErrno != 0)
        throw CFileException(CFileException::CauseFromErrno(m_openErrno), m_openErrno, m_path);
    throw CFileException(CFileException::invalidFile, 0, m_path);
}

ULONGLONG CFile::GetLength() const
{
    if (m_fd < 0)
        throwNotOpen();
    struct stat info;
    if (fstat(m_fd, &info) != 0)
        throw CFileException(CFileException::CauseFromErrno(errno), errno, m_path);
    return static_cast<ULONGLONG>(info.st_size);
}

UINT CFile::Read(void* buffer, UINT count)
{
    if (m_fd < 0)
        throwNotOpen();
    if (count == 0)
        return 0;
    if (buffer == nullptr)
        throw CInvalidArgException();
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const std::size_t want = std::min<std::size_t>(count - done, kMaxReadChunkBytes);
        const ssize_t got = ::read(m_fd, out + done, want);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw CFileException(CFileException::CauseFromErrno(errno), errno, m_path);
        if (got == 0)
            break;   // end of file
        done += static_cast<std::size_t>(got);
    }
    return static_cast<UINT>(done);
}

void CFile::Close()
{
    if (m_fd < 0)
        return;
    const int rc = ::close(m_fd);
    m_fd = -1;   // the descriptor is gone even when close reports an error
    if (rc != 0 && errno != EINTR)
        throw CFileException(CFileException::CauseFromErrno(errno), errno, m_path);
}
