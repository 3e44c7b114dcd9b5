// CSV formatting, the all-or-nothing file write behind Export (QSaveFile), and the test
// that keeps it off the open database. Paths arrive in code page 936 and reach the file
// system as UTF-8; failure reasons are the platform's Chinese file-error texts.
#include "app/csv_export.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/codepage.h"
#include "platform/crt.h"
#include "platform/file.h"

namespace fs = std::filesystem;

namespace {

const char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";
const char kLineEnd[] = "\r\n";
// The files SQLite keeps beside a database: the name itself, then its companions.
const char* const kDatabaseFileSuffixes[] = { "", "-wal", "-journal", "-shm" };
constexpr int kMaxSymbolicLinks = 40;   // the kernel's own limit on a chain of links

std::string reasonFromErrno(int errnoValue)
{
    return CFileException(CFileException::CauseFromErrno(errnoValue), errnoValue).ErrorText();
}

// Why QSaveFile failed: errno as the failing system call left it. Qt refuses two targets
// on its own, leaving errno untouched: a folder, and an existing file the user may not
// write.
std::string saveFailureReason(const std::string& target)
{
    const int failure = errno;
    if (failure != 0)
        return reasonFromErrno(failure);
    std::error_code error;
    return reasonFromErrno(fs::is_directory(target, error) ? EISDIR : EACCES);
}

// `path`, then each symbolic link it leads through, to the name the chain ends at.
std::vector<fs::path> namesAlongLinks(const fs::path& path)
{
    std::vector<fs::path> names{ path };
    for (int depth = 0; depth < kMaxSymbolicLinks; ++depth) {
        std::error_code error;
        const fs::path link = fs::read_symlink(names.back(), error);
        if (error)
            break;
        names.push_back(link.is_absolute() ? link : names.back().parent_path() / link);
    }
    return names;
}

bool sameNameIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

fs::path folderOf(const fs::path& path)
{
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

// The same file (both exist), or the same name in the same folder (for a file that does
// not exist yet, or whose name differs only in case).
bool sameFileOrName(const fs::path& a, const fs::path& b)
{
    std::error_code error;
    if (fs::equivalent(a, b, error))
        return true;
    return sameNameIgnoringCase(a.filename().string(), b.filename().string()) &&
           fs::equivalent(folderOf(a), folderOf(b), error);
}

}  // namespace

std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string csvDocument(const std::vector<std::vector<std::string>>& lines)
{
    std::string document = kUtf8ByteOrderMark;
    for (const auto& fields : lines) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0)
                document += ',';
            document += csvField(fields[i]);
        }
        document += kLineEnd;
    }
    return document;
}

std::string writeFileReplacing(const std::string& ansiPath, const std::string& content)
{
    const std::string target = AnsiToUtf8(ansiPath);
    if (target.empty())
        return reasonFromErrno(ENOENT);
    // Unless committed, the temporary file goes with the object: a failure leaves nothing.
    QSaveFile file(QFile::decodeName(QByteArray::fromStdString(target)));
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return saveFailureReason(target);
    errno = 0;
    const auto size = static_cast<qint64>(content.size());
    if (file.write(content.data(), size) != size || !file.commit())
        return saveFailureReason(target);
    return {};
}

bool isOpenDatabaseOrCompanion(const std::string& ansiTarget, const std::string& ansiOpenPath)
{
    if (ansiOpenPath.empty())
        return false;
    const std::vector<fs::path> databases = namesAlongLinks(AnsiToUtf8(ansiOpenPath));
    for (const fs::path& written : namesAlongLinks(AnsiToUtf8(ansiTarget))) {
        for (const fs::path& database : databases) {
            for (const char* suffix : kDatabaseFileSuffixes) {
                if (sameFileOrName(written, database.string() + suffix))
                    return true;
            }
        }
    }
    return false;
}
