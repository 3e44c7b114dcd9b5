// Private folders (see private_folder.h): the owner record, the table of live folders that
// the termination-signal handler reads, the removal that the handler, the destructor and
// the start-up clean-up share, and the start-up clean-up itself.
#include "reader/private_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>

#include "reader/private_copy.h"
#include "reader/text_conversions.h"

namespace {

const char* const kNamePrefix = "peldmark-";
constexpr std::size_t kNamePrefixLength = 9;
constexpr std::size_t kNameRandomLength = 6;   // the XXXXXX that mkdtemp fills
const char* const kRecordName = "owner";
constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};
// More than one open command ever holds; a folder beyond them goes only with its owner
// or at a later start.
constexpr int kMaxLiveFolders = 64;
// SQLite makes files only; a folder inside is removed too, this deep.
constexpr int kMaxRemovalDepth = 4;
// The /proc/<pid>/stat field that survives pid reuse: the start time, in clock ticks
// since boot. Counted from the first field after the command's closing parenthesis,
// which is field 3.
constexpr int kStartTimeField = 22;
constexpr int kFirstFieldAfterCommand = 3;
constexpr std::size_t kSmallFileBytes = 4096;

// ---- Removal, safe in a signal handler: open/openat, getdents64, lseek, unlinkat,
// ---- close and rmdir only, no allocation.

// The record layout of the getdents64 system call (glibc has no declaration of it
// before 2.30).
struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

bool isDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Removes everything inside the open folder `folderFd`, `depth` levels below the private
// folder. Passes over the entries until one finds nothing left, or removes nothing (what
// cannot be removed stays).
void removeContents(int folderFd, int depth)
{
    alignas(LinuxDirent64) char buffer[2048];
    for (bool removedSome = true; removedSome;) {
        removedSome = false;
        if (::lseek(folderFd, 0, SEEK_SET) != 0)
            return;
        long got;
        while ((got = ::syscall(SYS_getdents64, folderFd, buffer, sizeof buffer)) > 0) {
            for (long at = 0; at < got;) {
                const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer + at);
                at += entry->d_reclen;
                if (isDotOrDotDot(entry->d_name))
                    continue;
                if (::unlinkat(folderFd, entry->d_name, 0) == 0) {
                    removedSome = true;
                    continue;
                }
                if (errno != EISDIR || depth >= kMaxRemovalDepth)
                    continue;
                const int inner = ::openat(folderFd, entry->d_name,
                                           O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (inner < 0)
                    continue;
                removeContents(inner, depth + 1);
                ::close(inner);
                if (::unlinkat(folderFd, entry->d_name, AT_REMOVEDIR) == 0)
                    removedSome = true;
            }
        }
    }
}

// The entry `name` of the open folder `parentFd`, with all it holds; a symbolic link
// found there is removed, never followed.
void removeEntry(int parentFd, const char* name)
{
    const int folderFd =
        ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folderFd >= 0) {
        removeContents(folderFd, 0);
        ::close(folderFd);
    }
    ::unlinkat(parentFd, name, AT_REMOVEDIR);
}

void removeFolder(const char* path)
{
    removeEntry(AT_FDCWD, path);
}

// ---- The live folders, as the signal handler sees them.

// A slot goes Free -> Making -> Live, then Live -> Removing -> Free in its owner's
// destructor, or Live -> Removing -> Gone in a handler and Gone -> Free in the
// destructor. Making and Removing happen with the termination signals blocked in the
// thread doing them, so a handler that sees either runs in another thread and can wait
// for the state to move on.
enum SlotState : int { kFree, kMaking, kLive, kRemoving, kGone };

struct LiveFolderSlot {
    std::atomic<int> state{kFree};
    // Set before the state becomes Live, cleared after it is Free again.
    const char* path = nullptr;
    pid_t owner = 0;   // a child made by fork inherits the table, not the folders
};
static_assert(std::atomic<int>::is_always_lock_free, "read in a signal handler");

LiveFolderSlot g_liveFolders[kMaxLiveFolders];
// Set while a handler removes the live folders, so that no new folder slips in behind.
std::atomic<bool> g_ending{false};
// The dispositions in place before ours, in the order of kTerminationSignals.
struct sigaction g_previousActions[std::size(kTerminationSignals)];

// Blocks the termination signals in this thread while it lives.
class TerminationSignalsBlocked
{
public:
    TerminationSignalsBlocked()
    {
        sigset_t set;
        sigemptyset(&set);
        for (int signal : kTerminationSignals)
            sigaddset(&set, signal);
        pthread_sigmask(SIG_BLOCK, &set, &m_previous);
    }
    ~TerminationSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
    TerminationSignalsBlocked(const TerminationSignalsBlocked&) = delete;
    TerminationSignalsBlocked& operator=(const TerminationSignalsBlocked&) = delete;

private:
    sigset_t m_previous;
};

// Removes the live folders of this process, and waits for those that other threads are
// making or removing right now.
void removeLiveFolders()
{
    const pid_t self = ::getpid();
    for (bool waiting = true; waiting;) {
        waiting = false;
        for (LiveFolderSlot& slot : g_liveFolders) {
            int state = kLive;
            if (slot.state.compare_exchange_strong(state, kRemoving)) {
                if (slot.owner == self)
                    removeFolder(slot.path);
                slot.state.store(kGone);
            } else if (state == kMaking || state == kRemoving) {
                waiting = true;
            }
        }
        if (waiting)
            sched_yield();
    }
}

const struct sigaction& previousAction(int signal)
{
    std::size_t index = 0;
    while (kTerminationSignals[index] != signal)
        ++index;
    return g_previousActions[index];
}

void onTerminationSignal(int signal, siginfo_t* info, void* context)
{
    const int savedErrno = errno;
    const struct sigaction& previous = previousAction(signal);
    const bool withInfo = (previous.sa_flags & SA_SIGINFO) != 0;
    if (!withInfo && previous.sa_handler == SIG_IGN) {
        errno = savedErrno;
        return;
    }
    g_ending.store(true);
    removeLiveFolders();
    if (!withInfo && previous.sa_handler == SIG_DFL) {
        // Blocked while this handler runs: the signal comes again, with the default
        // action, as the handler returns.
        ::sigaction(signal, &previous, nullptr);
        ::raise(signal);
    } else {
        if (withInfo)
            previous.sa_sigaction(signal, info, context);
        else
            previous.sa_handler(signal);
        g_ending.store(false);
    }
    errno = savedErrno;
}

void installSignalHandlers()
{
    struct sigaction ours {};
    ours.sa_sigaction = onTerminationSignal;
    ours.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&ours.sa_mask);
    for (int signal : kTerminationSignals)
        sigaddset(&ours.sa_mask, signal);
    for (std::size_t i = 0; i < std::size(kTerminationSignals); ++i)
        ::sigaction(kTerminationSignals[i], &ours, &g_previousActions[i]);
}

// A Free slot made Making, or -1 when all are taken.
int claimSlot()
{
    for (int index = 0; index < kMaxLiveFolders; ++index) {
        int state = kFree;
        if (g_liveFolders[index].state.compare_exchange_strong(state, kMaking))
            return index;
    }
    return -1;
}

void releaseSlot(int index)
{
    if (index < 0)
        return;
    g_liveFolders[index].path = nullptr;
    g_liveFolders[index].state.store(kFree);
}

// ---- Owner records.

// Up to kSmallFileBytes of the regular file `name` in the folder `folderFd`, not
// following a symbolic link and not waiting on a FIFO; with `owner`, only a file of
// that user. False with errno set when it cannot be read.
bool readSmallFile(int folderFd, const char* name, std::string& content,
                   std::optional<uid_t> owner = std::nullopt)
{
    const int fd = ::openat(folderFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status;
    char buffer[kSmallFileBytes];
    ssize_t got = -1;
    errno = EPERM;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
        (!owner || status.st_uid == *owner))
        got = ::read(fd, buffer, sizeof buffer);
    const int readError = errno;
    ::close(fd);
    errno = readError;
    if (got < 0)
        return false;
    content.assign(buffer, static_cast<std::size_t>(got));
    return true;
}

// The start time of process `pid` from its /proc stat file; false when it cannot be
// read (errno ENOENT when no such process runs).
bool processStartTime(pid_t pid, unsigned long long& startTime)
{
    std::string stat;
    const std::string name = "/proc/" + std::to_string(pid) + "/stat";
    if (!readSmallFile(AT_FDCWD, name.c_str(), stat))
        return false;
    // The command may hold spaces and parentheses; the last ')' closes it.
    std::size_t at = stat.rfind(')');
    for (int field = kFirstFieldAfterCommand; at != std::string::npos && field <= kStartTimeField;
         ++field)
        at = stat.find(' ', at + 1);
    errno = EINVAL;
    if (at == std::string::npos)
        return false;
    char* end = nullptr;
    startTime = std::strtoull(stat.c_str() + at + 1, &end, 10);
    return end != stat.c_str() + at + 1;
}

// This process's record; read for each folder, as a child made by fork has an id of its
// own. Without /proc it holds the id alone, a record the start-up clean-up never takes
// for one of a process that ended.
std::string ownRecord()
{
    unsigned long long startTime = 0;
    if (!processStartTime(::getpid(), startTime))
        return std::to_string(::getpid()) + "\n";
    return std::to_string(::getpid()) + " " + std::to_string(startTime) + "\n";
}

// A whole decimal number from `text` at `at`, up to `stop`; false when there is none.
bool parseNumber(const std::string& text, std::size_t& at, char stop, unsigned long long& value)
{
    const std::size_t begin = at;
    value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - begin < 19)
        value = value * 10 + static_cast<unsigned>(text[at++] - '0');
    return at > begin && at < text.size() && text[at++] == stop;
}

// True when the record names a process that has ended; false when it is alive, or when
// the record is not one of ours or its process cannot be told.
bool ownerHasEnded(const std::string& record)
{
    std::size_t at = 0;
    unsigned long long pid = 0;
    unsigned long long recordedStart = 0;
    if (!parseNumber(record, at, ' ', pid) || !parseNumber(record, at, '\n', recordedStart) ||
        at != record.size() || pid == 0 || pid > static_cast<unsigned long long>(INT32_MAX))
        return false;
    unsigned long long runningStart = 0;
    if (!processStartTime(static_cast<pid_t>(pid), runningStart))
        return errno == ENOENT;
    return runningStart != recordedStart;
}

bool hasPrivateFolderName(const char* name)
{
    if (std::strncmp(name, kNamePrefix, kNamePrefixLength) != 0 ||
        std::strlen(name) != kNamePrefixLength + kNameRandomLength)
        return false;
    for (const char* c = name + kNamePrefixLength; *c != '\0'; ++c)
        if (!((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9')))
            return false;
    return true;
}

// Whether the entry `name` of `parentFd` is a folder of ours, of this user, whose owner
// has ended.
bool isAbandoned(int parentFd, const char* name)
{
    struct stat status;
    if (::fstatat(parentFd, name, &status, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISDIR(status.st_mode) || status.st_uid != ::geteuid())
        return false;
    const int folderFd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folderFd < 0)
        return false;
    std::string record;
    const bool readable = readSmallFile(folderFd, kRecordName, record, ::geteuid());
    ::close(folderFd);
    return readable && ownerHasEnded(record);
}

}  // namespace

std::string TemporaryParent()
{
    const char* tmpdir = std::getenv("TMPDIR");
    return tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
}

PrivateFolder::PrivateFolder(const std::string& parent, const std::string& evidencePath)
    : m_parent(parent)
{
    static const bool installed = (installSignalHandlers(), true);
    (void)installed;
    const std::string record = ownRecord();
    const TerminationSignalsBlocked blocked;
    m_slot = claimSlot();
    const auto fail = [&](int error) {
        releaseSlot(m_slot);
        throw CPrivateCopyException(error, evidencePath, Utf8ToAnsiString(parent.c_str()));
    };
    if (g_ending.load())
        fail(EINTR);
    std::string pattern = parent + "/" + kNamePrefix + "XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr)
        fail(errno);
    const std::string recordPath = pattern + "/" + kRecordName;
    const int fd = ::open(recordPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    const ssize_t written = fd < 0 ? -1 : ::write(fd, record.data(), record.size());
    // A write of a few bytes that stops short has met a full disk.
    int error = written >= 0 ? ENOSPC : errno;
    bool complete = written == static_cast<ssize_t>(record.size());
    if (fd >= 0 && ::close(fd) != 0 && complete) {
        complete = false;
        error = errno;
    }
    if (!complete) {
        removeFolder(pattern.c_str());
        fail(error);
    }
    m_path = std::move(pattern);
    if (m_slot >= 0) {
        g_liveFolders[m_slot].path = m_path.c_str();
        g_liveFolders[m_slot].owner = ::getpid();
        g_liveFolders[m_slot].state.store(kLive);
    }
}

PrivateFolder::~PrivateFolder()
{
    const TerminationSignalsBlocked blocked;
    if (m_slot < 0) {
        removeFolder(m_path.c_str());
        return;
    }
    LiveFolderSlot& slot = g_liveFolders[m_slot];
    int state = kLive;
    if (slot.state.compare_exchange_strong(state, kRemoving))
        removeFolder(m_path.c_str());
    else
        while (slot.state.load() == kRemoving)   // a handler in another thread has it
            sched_yield();
    releaseSlot(m_slot);
}

int RemoveAbandonedPrivateFolders(const std::string& parent)
{
    // Without /proc no owner can be told, and every one would look ended.
    unsigned long long ownStart = 0;
    if (!processStartTime(::getpid(), ownStart))
        return 0;
    DIR* folder = ::opendir(parent.c_str());
    if (folder == nullptr)
        return 0;
    const int parentFd = ::dirfd(folder);
    int removed = 0;
    while (const dirent* entry = ::readdir(folder)) {
        if (!hasPrivateFolderName(entry->d_name) || !isAbandoned(parentFd, entry->d_name))
            continue;
        removeEntry(parentFd, entry->d_name);
        struct stat status;
        if (::fstatat(parentFd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0)
            ++removed;
    }
    ::closedir(folder);
    return removed;
}
