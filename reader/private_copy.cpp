// The private copy of a database for SQLite (see private_copy.h): sources read through
// CFile, the copies written with plain POSIX calls into a mkdtemp folder.
#include "reader/private_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "reader/text_conversions.h"

namespace {

// The copy's own name: short, so that any evidence path, however long, reads the same.
const char* const kCopyName = "database";
// SQLite looks for these beside a database: the write-ahead log of a WAL database and
// the rollback journal that a transaction cut short leaves behind.
const char* const kWalSuffix = "-wal";
const char* const kJournalSuffix = "-journal";
constexpr mode_t kPrivateFileMode = 0600;
constexpr std::size_t kCopyChunkBytes = std::size_t{1} << 20;

// Opens an evidence file for reading. False when it does not exist and may be absent;
// any other failure is raised, naming the file.
bool openSource(CFile& file, const std::string& ansiPath, bool mayBeAbsent)
{
    CFileException error;
    if (file.Open(ansiPath.c_str(), CFile::modeRead, &error))
        return true;
    if (mayBeAbsent && error.m_cause == CFileException::fileNotFound)
        return false;
    throw error;
}

// All of `count` bytes to fd; false with errno set when the write fails.
bool writeAll(int fd, const char* bytes, std::size_t count)
{
    while (count > 0) {
        const ssize_t written = ::write(fd, bytes, count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return false;
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

// Copies the rest of `source` into the new file `target`. Failures to write name the
// evidence file `sourceAnsi` and the temporary folder `folderAnsi`.
void copyInto(CFile& source, const std::string& target, const std::string& sourceAnsi,
              const std::string& folderAnsi)
{
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          kPrivateFileMode);
    if (fd < 0)
        throw CPrivateCopyException(errno, sourceAnsi, folderAnsi);
    int writeError = 0;
    try {
        std::vector<char> buffer(kCopyChunkBytes);
        while (writeError == 0) {
            const UINT got = source.Read(buffer.data(), kCopyChunkBytes);
            if (got == 0)
                break;
            if (!writeAll(fd, buffer.data(), got))
                writeError = errno;
        }
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (::close(fd) != 0 && writeError == 0 && errno != EINTR)
        writeError = errno;
    if (writeError != 0)
        throw CPrivateCopyException(writeError, sourceAnsi, folderAnsi);
}

using ResolvedPath = std::unique_ptr<char, decltype(&std::free)>;   // from realpath

// The path SQLite names the companions after (code page 936): ansiPath itself, or for a
// symbolic link the file it leads to, since SQLite resolves the links in a database's
// full pathname before it adds "-wal" or "-journal". Links in the folders before the
// last name need nothing: the companions share that folder. Raises CFileException
// (badPath) naming ansiPath when the file led to has a path code page 936 cannot hold.
std::string companionStem(const std::string& ansiPath)
{
    const WideBuffer wide(AnsiToWide(ansiPath.c_str()));
    const NarrowBuffer utf8(WideToUtf8(wide.get()));
    struct stat info {};
    if (lstat(utf8.get(), &info) != 0 || !S_ISLNK(info.st_mode))
        return ansiPath;
    // The database itself was read through the same link a moment ago.
    const ResolvedPath target(realpath(utf8.get(), nullptr), &std::free);
    if (!target)
        throw CFileException(CFileException::CauseFromErrno(errno), errno, ansiPath);
    std::string stem = Utf8ToAnsiString(target.get());
    const WideBuffer wideStem(AnsiToWide(stem.c_str()));
    if (std::strcmp(NarrowBuffer(WideToUtf8(wideStem.get())).get(), target.get()) != 0)
        throw CFileException(CFileException::badPath, 0, ansiPath);
    return stem;
}

// Copies the companion stemAnsi + suffix, when it exists, to databaseCopy + suffix.
// Returns whether it existed.
bool copyCompanion(const std::string& stemAnsi, const char* suffix,
                   const std::string& databaseCopy, const std::string& folderAnsi)
{
    CFile companion;
    if (!openSource(companion, stemAnsi + suffix, true))
        return false;
    copyInto(companion, databaseCopy + suffix, stemAnsi + suffix, folderAnsi);
    return true;
}

// The end of a rollback journal of a transaction over several databases, as SQLite's
// pager writes it last (n bytes of name; integers big-endian):
//   from the end   size  content
//   -(20 + n)        4   page number of the lock page
//   -(16 + n)        n   path of the super-journal
//   -16              4   n
//   -12              4   checksum of the name
//   -8               8   the journal magic below
// SQLite follows the name only when the magic is there and 0 < n <= size - 16 (and,
// besides, the checksum matches and n is below its path limit). The record is cut off
// whenever the magic and n frame it, at its first byte (at -(16 + n) when the journal
// is too short to hold the page number); the journal is otherwise left as it is.
const unsigned char kJournalMagic[8] = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};
constexpr off_t kSuperRecordTailBytes = 16;
constexpr off_t kSuperRecordPageNumberBytes = 4;

// Where a journal of journalBytes whose last 16 bytes are `tail` is to end: before its
// super-journal record, or journalBytes when it has none.
off_t endBeforeSuperRecord(const unsigned char* tail, off_t journalBytes)
{
    if (std::memcmp(tail + 8, kJournalMagic, sizeof kJournalMagic) != 0)
        return journalBytes;
    const off_t nameBytes = (off_t{tail[0]} << 24) | (off_t{tail[1]} << 16) |
                            (off_t{tail[2]} << 8) | off_t{tail[3]};
    if (nameBytes == 0 || nameBytes > journalBytes - kSuperRecordTailBytes)
        return journalBytes;
    const off_t nameStart = journalBytes - kSuperRecordTailBytes - nameBytes;
    return nameStart >= kSuperRecordPageNumberBytes ? nameStart - kSuperRecordPageNumberBytes
                                                    : nameStart;
}

// Cuts a super-journal record off the copied journal at `journalCopy`.
void dropSuperJournalRecord(const std::string& journalCopy, const std::string& sourceAnsi,
                            const std::string& folderAnsi)
{
    const int fd = ::open(journalCopy.c_str(), O_RDWR | O_CLOEXEC);
    struct stat info {};
    unsigned char tail[kSuperRecordTailBytes];
    int error = fd < 0 || fstat(fd, &info) != 0 ? errno : 0;
    if (error == 0 && info.st_size >= kSuperRecordTailBytes) {
        const ssize_t got = pread(fd, tail, sizeof tail, info.st_size - kSuperRecordTailBytes);
        if (got != static_cast<ssize_t>(sizeof tail))
            error = got < 0 ? errno : EIO;
        const off_t end = error == 0 ? endBeforeSuperRecord(tail, info.st_size) : info.st_size;
        if (end != info.st_size && ftruncate(fd, end) != 0)
            error = errno;
    }
    if (fd >= 0)
        ::close(fd);
    if (error != 0)
        throw CPrivateCopyException(error, sourceAnsi, folderAnsi);
}

}  // namespace

CPrivateCopyException::CPrivateCopyException(long osError, std::string evidencePath,
                                             std::string folder)
    // A temporary folder that does not exist is a bad path, not a missing file.
    : CFileException(osError == ENOENT ? badPath : CauseFromErrno(static_cast<int>(osError)),
                     osError, std::move(evidencePath)),
      m_strFolder(std::move(folder))
{
}

std::string CPrivateCopyException::ErrorText() const
{
    return "无法在临时文件夹 " + m_strFolder + " 中复制文件 " + m_strFileName + "：" +
           ReasonText();
}

PrivateDatabaseCopy::PrivateDatabaseCopy(const std::string& ansiPath)
    : m_folder(TemporaryParent(), ansiPath)
{
    const std::string folderAnsi = Utf8ToAnsiString(m_folder.Parent().c_str());
    const ResolvedPath folder(realpath(m_folder.Path().c_str(), nullptr), &std::free);
    if (!folder)
        throw CPrivateCopyException(errno, ansiPath, folderAnsi);
    m_folderPath = folder.get();
    m_databasePath = m_folderPath + "/" + kCopyName;
    CFile database;
    openSource(database, ansiPath, false);
    copyInto(database, m_databasePath, ansiPath, folderAnsi);
    const std::string stem = companionStem(ansiPath);
    copyCompanion(stem, kWalSuffix, m_databasePath, folderAnsi);
    if (copyCompanion(stem, kJournalSuffix, m_databasePath, folderAnsi))
        dropSuperJournalRecord(m_databasePath + kJournalSuffix, stem + kJournalSuffix,
                               folderAnsi);
}
