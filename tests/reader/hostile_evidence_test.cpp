// Evidence made to turn SQLite against its reader: a hot journal naming a super-journal
// anywhere, statements that reach for files outside the private copy, a database
// reached through symbolic links, a call table that never ends, and a temporary folder
// with room for the copy alone. Each must read as the plain file would, or end with a
// message, and touch nothing outside the private copy.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "tests/support/scripted_modal_ui.h"
#include "reader/call_log_database.h"
#include "tests/reader/reader_test_support.h"
#include "tests/support/fixtures.h"
#include "tests/support/hang_guard.h"
#include "tests/support/scoped_tmpdir.h"

namespace {

using fixtures::AndroidLayout;

constexpr int kPageSize = 4096;

// Big-endian, as the journal stores its integers.
void appendBigEndian32(std::string& bytes, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.push_back(static_cast<char>(value >> shift));
}

// The record SQLite's pager ends a journal with when the transaction spanned several
// databases: lock page number, name, its length, its checksum, the journal magic.
std::string superJournalRecord(const std::string& name)
{
    std::string record;
    appendBigEndian32(record, 0x40000000u / kPageSize + 1);
    record += name;
    appendBigEndian32(record, static_cast<std::uint32_t>(name.size()));
    std::uint32_t checksum = 0;
    for (char c : name)
        checksum += static_cast<std::uint32_t>(static_cast<int>(static_cast<signed char>(c)));
    appendBigEndian32(record, checksum);
    record += "\xd9\xd5\x05\xf9\x20\xa1\x63\xd7";
    return record;
}

// Changes the working directory while it lives.
class ScopedWorkingDirectory
{
public:
    explicit ScopedWorkingDirectory(const std::string& folder)
        : m_old(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~ScopedWorkingDirectory() { std::filesystem::current_path(m_old); }

private:
    std::filesystem::path m_old;
};

class HostileEvidenceTest : public ::testing::Test
{
protected:
    HostileEvidenceTest() : m_evidence(m_dir.File("evidence")), m_tmp(m_dir.File("tmp"))
    {
        std::filesystem::create_directory(m_evidence);
        std::filesystem::create_directory(m_tmp);
    }
    void SetUp() override { CallRecordTable.Reset(); }
    void TearDown() override { CallRecordTable.Reset(); }

    // A contacts2.db of 150 calls at `path` with the hot journal of an unfinished
    // transaction beside it.
    void buildHotJournal(const std::string& path)
    {
        const std::string original = m_dir.File("original-contacts2.db");
        fixtures::BuildAndroidDatabase(original, AndroidLayout::Calls40,
                                       fixtures::GeneratedAndroidCalls(150));
        fixtures::CopyInsideUnfinishedUpdate(original, path);
    }
    // The rows of `path` as the reader gives them, read with TMPDIR at m_tmp; the
    // temporary folder must be empty again afterwards.
    std::vector<RowTexts> rowsOf(const std::string& path)
    {
        const fixtures::ScopedTmpdir tmpdir(m_tmp);
        EXPECT_TRUE(ReadCallLog(path, m_owner)) << path;
        EXPECT_TRUE(fixtures::FolderEntries(m_tmp).empty()) << path;
        return TableRows();
    }

    fixtures::TempDir m_dir;
    std::string m_evidence;
    std::string m_tmp;
    ScopedModalUi m_modal;
    CWnd m_owner;
};

// A hot journal may end by naming a super-journal; rolling it back, SQLite opens that
// file and deletes it. Whatever it names (a file of the evidence, the evidence itself,
// a file elsewhere, a name relative to the working directory, a FIFO), the open ends,
// the file stays, and the journal is rolled back as the same journal without the record.
TEST_F(HostileEvidenceTest, SuperJournalNamedInAHotJournalIsNeitherOpenedNorDeleted)
{
    const std::string path = m_evidence + "/contacts2.db";
    buildHotJournal(path);
    const std::string journal = fixtures::ReadFileBytes(path + "-journal");
    const std::vector<RowTexts> rolledBack = rowsOf(path);
    ASSERT_EQ(rolledBack.size(), 150u);
    ASSERT_EQ(std::get<5>(rolledBack[0]).rfind("139", 0), std::string::npos)
        << "the rows must be those from before the transaction";

    const std::string elsewhere = m_dir.File("elsewhere");
    std::filesystem::create_directory(elsewhere);
    const std::string workingFolder = m_dir.File("working");
    std::filesystem::create_directory(workingFolder);
    fixtures::WriteFileBytes(m_evidence + "/notes.txt", "notes");
    fixtures::WriteFileBytes(elsewhere + "/victim", "victim");
    fixtures::WriteFileBytes(workingFolder + "/relative-victim", "relative");
    ASSERT_EQ(mkfifo((elsewhere + "/fifo").c_str(), 0644), 0);
    const ScopedWorkingDirectory working(workingFolder);
    const struct { std::string named; std::string onDisk; } cases[] = {
        {m_evidence + "/notes.txt", m_evidence + "/notes.txt"},
        {path, path},
        {elsewhere + "/victim", elsewhere + "/victim"},
        {"relative-victim", workingFolder + "/relative-victim"},
        {elsewhere + "/fifo", elsewhere + "/fifo"},
    };
    const fixtures::HangGuard guard;
    for (const auto& c : cases) {
        fixtures::WriteFileBytes(path + "-journal", journal + superJournalRecord(c.named));
        const std::string evidenceBefore = fixtures::ReadFileBytes(path);
        struct stat before {};
        ASSERT_EQ(lstat(c.onDisk.c_str(), &before), 0) << c.named;
        EXPECT_TRUE(rowsOf(path) == rolledBack) << c.named;
        struct stat after {};
        EXPECT_EQ(lstat(c.onDisk.c_str(), &after), 0) << c.named << " was deleted";
        EXPECT_EQ(after.st_ino, before.st_ino) << c.named;
        EXPECT_EQ(fixtures::ReadFileBytes(path), evidenceBefore) << c.named;
        EXPECT_EQ(fixtures::ReadFileBytes(path + "-journal"),
                  journal + superJournalRecord(c.named));
    }
    EXPECT_EQ(fixtures::ReadFileBytes(m_evidence + "/notes.txt"), "notes");
    EXPECT_EQ(fixtures::ReadFileBytes(elsewhere + "/victim"), "victim");
    EXPECT_EQ(fixtures::ReadFileBytes(workingFolder + "/relative-victim"), "relative");
    EXPECT_TRUE(m_modal.ui.messageBoxes.empty());
}

// Whatever a statement names, the connection opens, makes and probes no file outside
// its private folder: not the evidence, not a new file, not a name relative to the
// working directory.
TEST_F(HostileEvidenceTest, ConnectionReachesNoFileOutsideItsPrivateFolder)
{
    const std::string path = m_evidence + "/contacts2.db";
    fixtures::BuildAndroidDatabase(path, AndroidLayout::Calls60,
                                   fixtures::GeneratedAndroidCalls(3));
    const std::string evidence = fixtures::ReadFileBytes(path);
    const std::string workingFolder = m_dir.File("working");
    std::filesystem::create_directory(workingFolder);
    const ScopedWorkingDirectory working(workingFolder);
    const fixtures::ScopedTmpdir tmpdir(m_tmp);
    {
        CallLogConnection connection(path);
        ASSERT_TRUE(connection.IsOpen());
        for (const std::string& named : {path, m_dir.File("new.db"), std::string("relative.db")}) {
            const std::string attach = "ATTACH DATABASE '" + named + "' AS other";
            EXPECT_NE(connection.Exec(attach.c_str(), nullptr), SQLITE_OK) << named;
        }
        EXPECT_EQ(connection.Exec("SELECT 1 FROM calls", nullptr), SQLITE_OK);
    }
    EXPECT_FALSE(fixtures::FileExists(m_dir.File("new.db")));
    EXPECT_TRUE(fixtures::FolderEntries(workingFolder).empty());
    EXPECT_EQ(fixtures::FolderEntries(m_evidence), std::vector<std::string>{"contacts2.db"});
    EXPECT_EQ(fixtures::ReadFileBytes(path), evidence);
    EXPECT_TRUE(fixtures::FolderEntries(m_tmp).empty());
}

// Through a symbolic link (relative, or a chain of two) the companions are those of the
// file the link leads to, as SQLite names them: an iPhone store whose calls are all in
// its -wal lists them, and a hot journal is rolled back.
TEST_F(HostileEvidenceTest, CompanionsAreThoseOfTheFileALinkLeadsTo)
{
    const std::string store = m_evidence + "/CallHistory.storedata";
    fixtures::BuildOptions wal;
    wal.wal = true;
    wal.rowsOnlyInWal = 250;
    fixtures::BuildIphoneDatabase(store, fixtures::IphoneLayout::Ios10,
                                  fixtures::GeneratedIphoneCalls(250), wal);
    const std::string contacts = m_evidence + "/contacts2.db";
    buildHotJournal(contacts);
    const std::string links = m_dir.File("links");
    std::filesystem::create_directories(links + "/chain");

    for (const std::string name : {"CallHistory.storedata", "contacts2.db"}) {
        const std::vector<RowTexts> direct = rowsOf(m_evidence + "/" + name);
        ASSERT_EQ(direct.size(), name == "contacts2.db" ? 150u : 250u) << name;
        const std::string relativeLink = links + "/" + name;
        std::filesystem::create_symlink("../evidence/" + name, relativeLink);
        std::filesystem::create_symlink(relativeLink, links + "/chain/" + name);
        EXPECT_TRUE(rowsOf(relativeLink) == direct) << name;
        EXPECT_TRUE(rowsOf(links + "/chain/" + name) == direct) << name;
    }
    EXPECT_EQ(fixtures::FolderEntries(m_evidence),
              (std::vector<std::string>{"CallHistory.storedata", "CallHistory.storedata-wal",
                                        "contacts2.db", "contacts2.db-journal"}));
    EXPECT_EQ(fixtures::FolderEntries(links),
              (std::vector<std::string>{"CallHistory.storedata", "chain", "contacts2.db"}));
}

// A call table that is a view over an endless query yielding no row ends the open with
// a message naming the file, and the copy goes; a real table of more calls than the
// list holds never comes near that bound and loads its first 100,000 calls.
TEST_F(HostileEvidenceTest, EndlessCallTableEndsWithAMessageWhileLargeTablesLoad)
{
    const struct { const char* name; const char* view; } endless[] = {
        {"contacts2.db", "CREATE VIEW calls AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                         "SELECT i + 1 FROM n) SELECT 2 AS type, 0 AS date, 0 AS duration, "
                         "'' AS name, '' AS number, '' AS geocoded_location FROM n WHERE i < 0"},
        {"CallHistory.storedata", "CREATE VIEW ZCALLRECORD AS WITH RECURSIVE n(i) AS "
                                  "(SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT 1 AS ZANSWERED, "
                                  "0 AS ZORIGINATED, 0 AS ZDATE, 0 AS ZDURATION, '' AS ZLOCATION, "
                                  "'' AS ZADDRESS FROM n WHERE i < 0"},
    };
    const fixtures::ScopedTmpdir tmpdir(m_tmp);
    for (const auto& c : endless) {
        const std::string path = m_evidence + "/" + c.name;
        fixtures::Database(path).Exec(c.view);
        std::string text;
        {
            const fixtures::HangGuard guard;
            try {
                ReadCallLog(path, m_owner);
            } catch (const CFileException& e) {
                text = e.ErrorText();
            }
        }
        EXPECT_EQ(text, "无法读取文件 " + path +
                        "：查询通话记录时做了大量工作却没有得到任何一行，已停止读取（通话表可能是一个不会结束的视图）。");
        EXPECT_EQ(CallRecordTable.recordCount, 0);
        EXPECT_TRUE(fixtures::FolderEntries(m_tmp).empty()) << c.name;
    }
    EXPECT_TRUE(m_modal.ui.messageBoxes.empty());

    const std::string large = m_dir.File("large/contacts2.db");
    std::filesystem::create_directory(m_dir.File("large"));
    fixtures::BuildAndroidDatabase(large, AndroidLayout::Calls60,
                                   fixtures::GeneratedAndroidCalls(kCallRecordCapacity + 1));
    ASSERT_TRUE(ReadCallLog(large, m_owner));
    EXPECT_EQ(CallRecordTable.recordCount, kCallRecordCapacity);
    EXPECT_TRUE(CallRecordTable.rowsLeftOut);
}

// A tmpfs mounted at a folder while it lives; Mounted() is false when this process
// may not mount (not root).
class ScopedTmpfs
{
public:
    ScopedTmpfs(const std::string& folder, std::uintmax_t bytes) : m_folder(folder)
    {
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
        m_mounted = mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
        m_error = m_mounted ? 0 : errno;
    }
    ~ScopedTmpfs()
    {
        if (m_mounted)
            umount2(m_folder.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return m_mounted; }
    int Error() const { return m_error; }   // errno of a refused mount

private:
    std::string m_folder;
    bool m_mounted = false;
    int m_error = 0;
};

std::uintmax_t wholePages(std::uintmax_t bytes)
{
    return (bytes + kPageSize - 1) / kPageSize * kPageSize;
}

// A temporary folder with room for the copy of a WAL database and its -wal, but not
// for the 32 KiB of a -shm: every call is read all the same, the -wal's included.
TEST_F(HostileEvidenceTest, WalDatabaseReadsWithRoomForTheCopyAlone)
{
    const std::string path = m_evidence + "/contacts2.db";
    fixtures::BuildOptions wal;
    wal.wal = true;
    wal.rowsOnlyInWal = 60;
    fixtures::BuildAndroidDatabase(path, AndroidLayout::Calls60,
                                   fixtures::GeneratedAndroidCalls(120), wal);
    const std::vector<RowTexts> everyCall = rowsOf(path);
    ASSERT_EQ(everyCall.size(), 120u);

    constexpr std::uintmax_t kRoomLeftBytes = 4 * kPageSize;   // a -shm needs 8 pages
    const std::string small = m_dir.File("small");
    std::filesystem::create_directory(small);
    const ScopedTmpfs tmpfs(small, wholePages(std::filesystem::file_size(path)) +
                                       wholePages(std::filesystem::file_size(path + "-wal")) +
                                       kRoomLeftBytes);
    if (!tmpfs.Mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root: " << std::strerror(tmpfs.Error());
    const fixtures::ScopedTmpdir tmpdir(small);
    ASSERT_TRUE(ReadCallLog(path, m_owner));
    EXPECT_TRUE(TableRows() == everyCall);
    EXPECT_TRUE(m_modal.ui.messageBoxes.empty());
    EXPECT_TRUE(fixtures::FolderEntries(small).empty());
}

}  // namespace
