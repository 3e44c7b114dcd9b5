// Private folders that outlive no owner: a process stopped by a termination signal while
// a connection is open removes its copy on the way out, and a later start removes the
// folders of processes that died outright, and nothing else.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "reader/call_log_database.h"
#include "reader/private_folder.h"
#include "tests/support/fixtures.h"
#include "tests/support/hang_guard.h"
#include "tests/support/scoped_tmpdir.h"

namespace {

int IgnoreRow(void*, int, char**, char**)
{
    return 0;
}

// Runs `work` in a child process, which reports through a pipe when it has done it and
// then waits for a signal; the parent receives what the child reported. Returns the
// child's id, or -1 when it ended before reporting.
template <typename Work>
pid_t StartChild(Work work, std::string& report)
{
    int channel[2];
    if (pipe(channel) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        try {
            const std::string text = work() + "\n";
            if (write(channel[1], text.data(), text.size()) != static_cast<ssize_t>(text.size()))
                _exit(1);
        } catch (...) {
            _exit(1);
        }
        for (;;)
            pause();
    }
    close(channel[1]);
    report.clear();
    char c;
    while (read(channel[0], &c, 1) == 1 && c != '\n')
        report += c;
    close(channel[0]);
    if (child > 0 && c != '\n') {
        waitpid(child, nullptr, 0);
        return -1;
    }
    return child;
}

// SIGTERM, SIGINT or SIGHUP while a connection on a WAL database is open: the copy goes
// with the -wal and -shm SQLite keeps beside it, and the process ends by that signal.
TEST(PrivateFolderTest, TerminationSignalRemovesTheCopyOfAnOpenConnection)
{
    const fixtures::TempDir dir;
    const std::string database = dir.File("contacts2.db");
    fixtures::BuildOptions options;
    options.wal = true;
    options.rowsOnlyInWal = 2;
    fixtures::BuildAndroidDatabase(database, fixtures::AndroidLayout::Calls60,
                                   fixtures::GeneratedAndroidCalls(20), options);
    const fixtures::HangGuard guard;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        const std::string tmp = dir.File("tmp-" + std::to_string(signal));
        std::filesystem::create_directory(tmp);
        const fixtures::ScopedTmpdir tmpdir(tmp);
        std::string copyFolder;
        const pid_t child = StartChild(
            [&] {
                // Open until the signal comes.
                auto* connection = new CallLogConnection(database);
                if (connection->Exec("SELECT * FROM calls", IgnoreRow) != 0)
                    throw std::runtime_error("query");
                const std::vector<std::string> made = fixtures::FolderEntries(tmp);
                return made.size() == 1 ? tmp + "/" + made[0] : std::string();
            },
            copyFolder);
        ASSERT_GT(child, 0) << signal;
        const std::vector<std::string> copied = fixtures::FolderEntries(copyFolder);
        EXPECT_NE(std::find(copied.begin(), copied.end(), "database-wal"), copied.end())
            << signal;

        ASSERT_EQ(kill(child, signal), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
        EXPECT_EQ(fixtures::FolderEntries(tmp), std::vector<std::string>{}) << signal;
    }
}

void WriteRecord(const std::string& folder, const std::string& record)
{
    std::filesystem::create_directory(folder);
    fixtures::WriteFileBytes(folder + "/owner", record);
}

// The start-up clean-up removes the folders of a process that ended and of a reused
// process id, and leaves alone everything that is not certainly one of those.
TEST(PrivateFolderTest, StartUpCleanUpRemovesOnlyFoldersOfEndedProcesses)
{
    const fixtures::TempDir dir;
    const std::string parent = dir.Path();
    // Made first: a child made by fork afterwards records its own id, not this one's.
    const PrivateFolder live(parent, "contacts2.db");
    std::string deadFolder;
    const pid_t child = StartChild(
        [&] {
            // Never destroyed: the process ends as if killed outright.
            auto* folder = new PrivateFolder(parent, "contacts2.db");
            fixtures::WriteFileBytes(folder->Path() + "/database", "copy");
            return folder->Path();
        },
        deadFolder);
    ASSERT_GT(child, 0);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const std::string deadRecord = fixtures::ReadFileBytes(deadFolder + "/owner");

    WriteRecord(parent + "/peldmark-Reused", std::to_string(getpid()) + " 1\n");
    WriteRecord(parent + "/peldmark-bench-scan", deadRecord);
    WriteRecord(parent + "/other-Xy12ab", deadRecord);
    WriteRecord(parent + "/peldmark-Broken", deadRecord.substr(0, deadRecord.size() - 1));
    std::filesystem::create_directory(parent + "/peldmark-NoRec1");
    fixtures::WriteFileBytes(parent + "/peldmark-NoRec1/database", "copy");
    WriteRecord(parent + "/linked", deadRecord);
    std::filesystem::create_directory_symlink(parent + "/linked", parent + "/peldmark-Link01");
    std::vector<std::string> kept = fixtures::FolderEntries(parent);
    kept.erase(std::find(kept.begin(), kept.end(), "peldmark-Reused"));
    kept.erase(std::find(kept.begin(), kept.end(),
                         std::filesystem::path(deadFolder).filename().string()));
    if (geteuid() == 0) {
        constexpr uid_t kNobody = 65534;
        WriteRecord(parent + "/peldmark-Nobody", deadRecord);
        ASSERT_EQ(chown((parent + "/peldmark-Nobody").c_str(), kNobody, kNobody), 0);
        kept.push_back("peldmark-Nobody");
        std::sort(kept.begin(), kept.end());
    }

    EXPECT_EQ(RemoveAbandonedPrivateFolders(parent), 2);
    EXPECT_EQ(fixtures::FolderEntries(parent), kept);
    EXPECT_EQ(fixtures::FolderEntries(parent + "/linked"), std::vector<std::string>{"owner"});
}

}  // namespace
