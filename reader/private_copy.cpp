// The private copy of a database for SQLite (see private_copy.h): sources read through
// CFile, the copies written with plain POSIX calls into a mkdtemp folder.
#include "reader/private_copy.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "reader/text_conversions.h"

namespace {

// The copy's own name: short, so that any evidence path, however long, reads the same.
const char* const kCopyName = "database";
// SQLite looks for these beside a database: the write-ahead log of a WAL database and
// the rollback journal that a transaction cut short leaves behind.
const char* const kCompanionSuffixes[] = {"-wal", "-journal"};
constexpr mode_t kPrivateFileMode = 0600;
constexpr std::size_t kCopyChunkBytes = std::size_t{1} << 20;

std::string temporaryParent()
{
    const char* tmpdir = std::getenv("TMPDIR");
    return tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
}

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

PrivateFolder::PrivateFolder(const std::string& parent, const std::string& evidencePath)
    : m_parent(parent)
{
    std::string pattern = parent + "/peldmark-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr)
        throw CPrivateCopyException(errno, evidencePath, Utf8ToAnsiString(parent.c_str()));
    m_path = std::move(pattern);
}

PrivateFolder::~PrivateFolder()
{
    // Nothing is left to tell the user at this point: the command is ending.
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

PrivateDatabaseCopy::PrivateDatabaseCopy(const std::string& ansiPath)
    : m_folder(temporaryParent(), ansiPath), m_databasePath(m_folder.Path() + "/" + kCopyName)
{
    const std::string folderAnsi = Utf8ToAnsiString(m_folder.Parent().c_str());
    CFile database;
    openSource(database, ansiPath, false);
    copyInto(database, m_databasePath, ansiPath, folderAnsi);
    for (const char* suffix : kCompanionSuffixes) {
        CFile companion;
        if (openSource(companion, ansiPath + suffix, true))
            copyInto(companion, m_databasePath + suffix, ansiPath + suffix, folderAnsi);
    }
}
