// CSV formatting and the all-or-nothing file write behind Export. Paths arrive in code
// page 936 and reach the file system as UTF-8; failure reasons are the platform's
// Chinese file-error texts.
#include "app/csv_export.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/file.h"
#include "reader/text_conversions.h"

namespace {

const char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";
const char kLineEnd[] = "\r\n";
constexpr int kTemporaryNameAttempts = 100;
constexpr mode_t kCreateMode = 0666;   // narrowed by the umask, as for any new file

std::string reasonFromErrno(int errnoValue)
{
    return CFileException(CFileException::CauseFromErrno(errnoValue), errnoValue).ErrorText();
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Creates a new file beside `target` that no one else has; returns its descriptor or
// -1 with errno set. `temporaryPath` receives its name, which is short whatever the
// target's name, so it stays within the file system's limit of a name's length.
int createTemporaryBeside(const std::string& target, std::string& temporaryPath)
{
    const std::string folder = folderOf(target);
    const std::string stem = (folder == "/" ? "" : folder) + "/.peldmark-export-" +
                             std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        temporaryPath = stem + std::to_string(attempt);
        const int fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                              kCreateMode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Writes every byte; returns 0 or the errno of the failure.
int writeAll(int fd, const std::string& content)
{
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t step = ::write(fd, content.data() + written, content.size() - written);
        if (step < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        written += static_cast<std::size_t>(step);
    }
    return 0;
}

}  // namespace

std::string ansiToUtf8String(const std::string& ansi)
{
    if (ansi.empty())
        return {};
    WideBuffer wide(AnsiToWide(ansi.c_str()));
    NarrowBuffer utf8(WideToUtf8(wide.get()));
    return utf8.get();
}

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
    const std::string target = ansiToUtf8String(ansiPath);
    if (target.empty())
        return reasonFromErrno(ENOENT);
    std::string temporary;
    const int fd = createTemporaryBeside(target, temporary);
    if (fd < 0)
        return reasonFromErrno(errno);
    int failure = writeAll(fd, content);
    if (::fsync(fd) != 0 && failure == 0)
        failure = errno;
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure == 0 && std::rename(temporary.c_str(), target.c_str()) != 0)
        failure = errno;
    if (failure != 0) {
        ::unlink(temporary.c_str());
        return reasonFromErrno(failure);
    }
    return {};
}
