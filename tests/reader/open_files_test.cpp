// The reader on real database files built by the fixtures: every variant end to end,
// the Android cascade and its messages, damaged tables, WAL files on read-only media,
// copies that fail, and bad input that must neither crash nor write.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "tests/support/scripted_modal_ui.h"
#include "reader/call_rows.h"
#include "recovery/column_schema.h"
#include "tests/reader/reader_test_support.h"
#include "tests/support/fixtures.h"
#include "tests/support/hang_guard.h"
#include "tests/support/scoped_tmpdir.h"
#include "tests/support/unprivileged.h"

namespace {

using fixtures::AndroidCall;
using fixtures::AndroidLayout;
using fixtures::IphoneCall;
using fixtures::IphoneLayout;
using fixtures::SqlValue;

// Three calls of every kind the list shows, the middle one deleted.
std::vector<AndroidCall> ThreeAndroidCalls()
{
    std::vector<AndroidCall> calls(4);
    calls[0] = {u8"13800138000", 1386316800000, 35, 1, u8"张伟", u8"北京"};
    calls[1] = {u8"13911112222", 1386320400000, 0, 3, u8"王芳", u8"上海"};
    calls[1].deleted = true;
    calls[2] = {u8"10086", 1386324000000, 120, 2, SqlValue(), u8"广东深圳"};
    calls[3] = {u8"95555", 1386316800, 7, 3, u8"招商银行", SqlValue()};
    return calls;
}

const std::vector<RowTexts> kThreeAndroidRows = {
    {"张伟", "呼入电话", "2013-12-06 16:00:00", "35秒", "北京", "13800138000"},
    {"", "呼出电话", "2013-12-06 18:00:00", "120秒", "广东深圳", "10086"},
    {"招商银行", "未接电话", "1386316800", "7秒", "", "95555"},
};

class OpenFilesTest : public ::testing::Test
{
protected:
    void SetUp() override { CallRecordTable.Reset(); }
    void TearDown() override { CallRecordTable.Reset(); }
    std::vector<std::string> MessageTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& box : modal.ui.messageBoxes)
            texts.push_back(box.text);
        return texts;
    }
    fixtures::TempDir dir;
    ScopedModalUi modal;
    CWnd owner;
};

TEST_F(OpenFilesTest, AndroidReleasesReadInDatabaseOrderWithTheirSchema)
{
    const struct { AndroidLayout layout; const char* file; } cases[] = {
        {AndroidLayout::Calls40, "contacts2.db"}, {AndroidLayout::Calls44, "contacts2.db"},
        {AndroidLayout::Calls60, "contacts2.db"}, {AndroidLayout::Calls60Upgraded, "Contacts2.DB"},
        {AndroidLayout::VendorCallDb, "call.db"}, {AndroidLayout::VendorLogs, "logs.db"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.File(c.file);
        fixtures::BuildAndroidDatabase(path, c.layout, ThreeAndroidCalls());
        const std::string before = fixtures::ReadFileBytes(path);
        ASSERT_TRUE(ReadCallLog(path, owner)) << c.file;
        EXPECT_EQ(TableRows(), kThreeAndroidRows) << c.file;
        EXPECT_TRUE(modal.ui.messageBoxes.empty()) << c.file;
        const auto columns = fixtures::AndroidLayoutColumns(c.layout);
        ASSERT_EQ(ColumnSchema.android.count, static_cast<int>(columns.size())) << c.file;
        EXPECT_EQ(ColumnSchema.android.names[1] + " " + ColumnSchema.android.types[1], "number TEXT");
        EXPECT_EQ(fixtures::ReadFileBytes(path), before) << c.file;
        // The deleted call is gone from the table, not from the file's bytes.
        const std::string deletedNumber = c.layout == AndroidLayout::VendorCallDb
            ? std::string("1\0" "3\0" "9\0" "1\0", 8) : std::string("13911112222");
        EXPECT_NE(before.find(deletedNumber), std::string::npos) << c.file;
    }
}

TEST_F(OpenFilesTest, LogsLeaveOutTextMessagesAndWithheldNumbers)
{
    auto calls = ThreeAndroidCalls();
    calls[0].logtype = 300;
    calls[2].number = u8"-1";
    calls[3].logtype = 500;   // a video call stays
    fixtures::BuildAndroidDatabase(dir.File("logs.db"), AndroidLayout::VendorLogs, calls);
    ASSERT_TRUE(ReadCallLog(dir.File("logs.db"), owner));
    EXPECT_EQ(TableRows(), std::vector<RowTexts>{kThreeAndroidRows[2]});
}

TEST_F(OpenFilesTest, AndroidCascadeMessages)
{
    // Android 2.3 has no geocoded_location: statement 3 reads it after the first message.
    fixtures::BuildAndroidDatabase(dir.File("contacts2.db"), AndroidLayout::Calls23,
                                   ThreeAndroidCalls());
    ASSERT_TRUE(ReadCallLog(dir.File("contacts2.db"), owner));
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"打开错误2！"});
    ASSERT_EQ(CallRecordTable.recordCount, 3);
    EXPECT_EQ(CallRecordTable.records[0].location, "");
    EXPECT_EQ(CallRecordTable.records[2].name, "招商银行");
    // No caption of its own: the framework puts the application's name there.
    EXPECT_NE(modal.ui.messageBoxes[0].caption, "");
    EXPECT_EQ(modal.ui.messageBoxes[0].owner, &owner);

    // A logs.db that is an iPhone store: nothing reads, both messages, empty table.
    fixtures::BuildIphoneDatabase(dir.File("logs.db"), IphoneLayout::Ios9,
                                  fixtures::GeneratedIphoneCalls(3));
    modal.ui.messageBoxes.clear();
    ASSERT_TRUE(ReadCallLog(dir.File("logs.db"), owner));
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"打开错误2！", "打开错误3！"}));
    EXPECT_EQ(CallRecordTable.recordCount, 0);
    EXPECT_EQ(ColumnSchema.android.count, 0);
}

TEST_F(OpenFilesTest, IphoneStoresAndTheirSchema)
{
    std::vector<IphoneCall> calls(3);
    calls[0] = {1, 0, 600000000.25, 35.0, u8"北京", SqlValue::Blob("13800138000"), SqlValue()};
    calls[1] = {0, 1, 68169600.5, 0.0, u8"<<RecentsNumberLocationNotFound>>", SqlValue::Blob("10086"), SqlValue()};
    calls[2] = {0, 0, 3000000000.5, 12.75, SqlValue(), SqlValue::Blob("+8695555"), SqlValue()};
    const std::vector<RowTexts> rows = {
        {"", "呼入电话", "2020-01-06 18:40:00", "35秒", "北京", "13800138000"},
        {"", "呼出电话", "2003-03-01 08:00:00", "0秒", "<<RecentsNumberLocationNotFound>>", "10086"},
        {"", "未接电话", "2069-01-19 11:14:07", "12秒", "", "+8695555"},
    };
    const struct { IphoneLayout layout; const char* file; int schemaCount; } cases[] = {
        {IphoneLayout::Ios9, "CallHistory.storedata", 18},
        {IphoneLayout::Ios10, "CALLHISTORY.STOREDATA", 21},
        {IphoneLayout::Ios10, "call_history.db", 0},
    };
    for (const auto& c : cases) {
        fixtures::BuildIphoneDatabase(dir.File(c.file), c.layout, calls);
        ASSERT_TRUE(ReadCallLog(dir.File(c.file), owner)) << c.file;
        EXPECT_EQ(TableRows(), rows) << c.file;
        EXPECT_EQ(ColumnSchema.iphone.count, c.schemaCount) << c.file;
    }
    EXPECT_TRUE(modal.ui.messageBoxes.empty());
}

TEST_F(OpenFilesTest, IphoneTableWithoutOriginatedKeepsTheAnsweredRule)
{
    {
        fixtures::Database db(dir.File("CallHistory.storedata"));
        db.Exec("CREATE TABLE ZCALLRECORD (Z_PK INTEGER PRIMARY KEY, ZANSWERED INTEGER, "
                "ZDATE TIMESTAMP, ZDURATION FLOAT, ZLOCATION VARCHAR, ZADDRESS BLOB)");
        const std::vector<std::string> columns = {"ZANSWERED", "ZDATE", "ZDURATION", "ZADDRESS"};
        db.Insert("ZCALLRECORD", columns, {0, 0.5, 3.0, SqlValue::Blob("1")});
        db.Insert("ZCALLRECORD", columns, {1, 0.5, 3.0, SqlValue::Blob("2")});
    }
    ASSERT_TRUE(ReadCallLog(dir.File("CallHistory.storedata"), owner));
    ASSERT_EQ(CallRecordTable.recordCount, 2);
    EXPECT_EQ(CallRecordTable.records[0].callType, "呼出电话");
    EXPECT_EQ(CallRecordTable.records[1].callType, "呼入电话");
    EXPECT_EQ(ColumnSchema.iphone.count, 6);
}

// Ruins every page of the file that holds `text`, as a bad sector would.
void RuinPagesHolding(const std::string& path, const std::string& text)
{
    constexpr std::size_t kPageSize = 4096;
    std::string bytes = fixtures::ReadFileBytes(path);
    for (std::size_t at = bytes.find(text); at != std::string::npos; at = bytes.find(text, at + 1)) {
        const std::size_t page = at / kPageSize * kPageSize;
        bytes.replace(page, kPageSize, kPageSize, '\xA5');
    }
    fixtures::WriteFileBytes(path, bytes);
}

// A call table damaged past its first rows: the statement reads up to the damage and
// then fails. The rows it read stay, once, and nothing is said: the next statement is
// for a table that lacks a column, not a second reading of this one.
TEST_F(OpenFilesTest, DamagedTablesKeepRowsReadBeforeTheDamageOnce)
{
    constexpr int kCalls = 400;
    const std::string iphone = dir.File("CallHistory.storedata");
    const std::string android = dir.File("contacts2.db");
    fixtures::BuildIphoneDatabase(iphone, IphoneLayout::Ios10, fixtures::GeneratedIphoneCalls(kCalls));
    fixtures::BuildAndroidDatabase(android, AndroidLayout::Calls40,
                                   fixtures::GeneratedAndroidCalls(kCalls));
    for (const std::string& path : {iphone, android}) {
        ASSERT_TRUE(ReadCallLog(path, owner));
        ASSERT_EQ(CallRecordTable.recordCount, kCalls);
        RuinPagesHolding(path, CallRecordTable.records[kCalls - 1].number);

        ASSERT_TRUE(ReadCallLog(path, owner));
        ASSERT_GT(CallRecordTable.recordCount, 0) << path;
        EXPECT_LT(CallRecordTable.recordCount, kCalls) << path;
        std::set<std::string> numbers;
        for (const RowTexts& row : TableRows())
            numbers.insert(std::get<5>(row));
        EXPECT_EQ(numbers.size(), static_cast<std::size_t>(CallRecordTable.recordCount)) << path;
        EXPECT_TRUE(modal.ui.messageBoxes.empty()) << path;
    }
}

// Folders "evidence" (for the database) and "tmp" (TMPDIR) inside `dir`, which the
// unprivileged user can reach; "tmp" is writable by everyone, as /tmp is.
struct ReachableFolders
{
    explicit ReachableFolders(const fixtures::TempDir& dir)
        : evidence(dir.File("evidence")), tmp(dir.File("tmp"))
    {
        std::filesystem::create_directory(evidence);
        std::filesystem::create_directory(tmp);
        chmod(dir.Path().c_str(), 0755);
        chmod(evidence.c_str(), 0755);
        chmod(tmp.c_str(), 0777);
    }
    std::string evidence;
    std::string tmp;
};

// A WAL database as it comes off a phone, its last calls only in the -wal and no -shm,
// on read-only media: SQLite reads a private copy, so it needs no -shm beside the
// evidence, and every call is read.
TEST_F(OpenFilesTest, WalDatabaseInAReadOnlyFolderReadsInFull)
{
    const ReachableFolders folders(dir);
    const std::string path = folders.evidence + "/contacts2.db";
    fixtures::BuildOptions options;
    options.wal = true;
    options.rowsOnlyInWal = 2;
    fixtures::BuildAndroidDatabase(path, AndroidLayout::Calls60, ThreeAndroidCalls(), options);
    ASSERT_EQ(fixtures::ReadFileBytes(path).find("95555"), std::string::npos)
        << "the last call lives in the -wal only";
    const std::string file = fixtures::ReadFileBytes(path);
    const std::string wal = fixtures::ReadFileBytes(path + "-wal");
    for (const std::string& name : {path, path + "-wal"})
        chmod(name.c_str(), 0444);
    chmod(folders.evidence.c_str(), 0555);
    const fixtures::ScopedTmpdir tmpdir(folders.tmp);

    EXPECT_TRUE(fixtures::RunUnprivileged([&] {
        return ReadCallLog(path, owner) && TableRows() == kThreeAndroidRows;
    }));
    chmod(folders.evidence.c_str(), 0755);
    EXPECT_EQ(fixtures::FolderEntries(folders.evidence),
              (std::vector<std::string>{"contacts2.db", "contacts2.db-wal"}));
    EXPECT_EQ(fixtures::ReadFileBytes(path), file);
    EXPECT_EQ(fixtures::ReadFileBytes(path + "-wal"), wal);
    EXPECT_TRUE(fixtures::FolderEntries(folders.tmp).empty());
}

// The text of the CFileException that reading `path` raises; "" when none is raised.
std::string CopyFailureText(const std::string& path, CWnd& owner)
{
    try {
        ReadCallLog(path, owner);
    } catch (const CFileException& e) {
        return e.ErrorText();
    }
    return "";
}

// A copy that cannot be made raises an error naming the file (or its -wal) and the
// reason, and leaves nothing in the temporary folder and nothing new beside the
// evidence. The FIFO is refused at once instead of waited on.
TEST_F(OpenFilesTest, FailedCopyNamesTheFileAndTheReasonAndLeavesNothing)
{
    const ReachableFolders folders(dir);
    const std::string database = folders.evidence + "/contacts2.db";
    const std::string unreadable = folders.evidence + "/logs.db";
    const std::string walLocked = folders.evidence + "/call.db";
    const std::string fifo = folders.evidence + "/fifo/contacts2.db";
    const std::string folder = folders.evidence + "/folder/contacts2.db";
    const std::string missing = folders.evidence + "/missing/contacts2.db";
    fixtures::BuildOptions wal;
    wal.wal = true;
    wal.rowsOnlyInWal = 1;
    fixtures::BuildAndroidDatabase(database, AndroidLayout::Calls60, ThreeAndroidCalls());
    fixtures::BuildAndroidDatabase(unreadable, AndroidLayout::VendorLogs, ThreeAndroidCalls());
    fixtures::BuildAndroidDatabase(walLocked, AndroidLayout::VendorCallDb, ThreeAndroidCalls(), wal);
    std::filesystem::create_directories(folders.evidence + "/fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    std::filesystem::create_directories(folder);
    chmod(unreadable.c_str(), 0);
    chmod((walLocked + "-wal").c_str(), 0);
    const std::string unwritableTmp = dir.File("locked");
    std::filesystem::create_directory(unwritableTmp);
    chmod(unwritableTmp.c_str(), 0555);
    const std::string noTmp = dir.File("none");
    std::vector<std::string> evidenceBefore;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folders.evidence))
        evidenceBefore.push_back(entry.path().string());

    const struct {
        std::string path, tmp;
        bool unprivileged;
        std::string text;
    } cases[] = {
        {missing, folders.tmp, false, "无法读取文件 " + missing + "：找不到该文件。"},
        {folder, folders.tmp, false, "无法读取文件 " + folder + "：这是一个文件夹，不是文件。"},
        {fifo, folders.tmp, false,
         "无法读取文件 " + fifo + "：这不是普通文件（可能是管道、设备或套接字）。"},
        {unreadable, folders.tmp, true, "无法读取文件 " + unreadable + "：没有访问该文件的权限。"},
        {walLocked, folders.tmp, true,
         "无法读取文件 " + walLocked + "-wal：没有访问该文件的权限。"},
        {database, noTmp, false,
         "无法在临时文件夹 " + noTmp + " 中复制文件 " + database + "：路径无效。"},
        {database, unwritableTmp, true,
         "无法在临时文件夹 " + unwritableTmp + " 中复制文件 " + database + "：没有访问该文件的权限。"},
    };
    const fixtures::HangGuard guard;
    for (const auto& c : cases) {
        const fixtures::ScopedTmpdir tmpdir(c.tmp);
        if (c.unprivileged) {
            EXPECT_TRUE(fixtures::RunUnprivileged([&] { return CopyFailureText(c.path, owner) == c.text; }))
                << c.text;
        } else {
            EXPECT_EQ(CopyFailureText(c.path, owner), c.text);
        }
        EXPECT_TRUE(fixtures::FolderEntries(c.tmp).empty()) << c.text;
    }
    std::vector<std::string> evidenceAfter;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folders.evidence))
        evidenceAfter.push_back(entry.path().string());
    EXPECT_EQ(evidenceAfter, evidenceBefore);
}

TEST_F(OpenFilesTest, BadFilesNeitherCrashNorChange)
{
    fixtures::BuildAndroidDatabase(dir.File("full.db"), AndroidLayout::Calls60,
                                   fixtures::GeneratedAndroidCalls(400));
    const std::string database = fixtures::ReadFileBytes(dir.File("full.db"));
    const struct { const char* what; std::string bytes; } contents[] = {
        {"text", "number,date\n10086,1386316800000\n"},
        {"empty", ""},
        {"truncated", database.substr(0, database.size() / 2 + 100)},
        {"header only", database.substr(0, 100)},
    };
    for (const char* name : {"contacts2.db", "CallHistory.storedata"}) {
        for (const auto& c : contents) {
            const std::string path = dir.File(name);
            fixtures::WriteFileBytes(path, c.bytes);
            ReadCallLog(path, owner);
            EXPECT_LE(CallRecordTable.recordCount, 400) << c.what;
            EXPECT_EQ(fixtures::ReadFileBytes(path), c.bytes) << c.what << " " << name;
            EXPECT_FALSE(fixtures::FileExists(path + "-journal")) << c.what;
        }
    }
    // The Android text file and the empty file each gave both messages.
    EXPECT_GE(modal.ui.messageBoxes.size(), 4u);
}

// Open descriptors of this process on files in `folder`, those deleted since included.
int OpenDescriptorsUnder(const std::string& folder)
{
    int count = 0;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        count += std::filesystem::read_symlink(fd.path(), error).string().rfind(folder + "/", 0) == 0;
    }
    return count;
}

// A framework exception raised by a row callback (memory exhausted) ends the command,
// but it must not leave SQLite mid-statement: the statement is finished, the exception
// reaches the caller, and the connection still closes, so its private copy goes.
TEST_F(OpenFilesTest, ExceptionInRowCallbackReachesCallerAndConnectionStillCloses)
{
    const std::string path = dir.File("contacts2.db");
    fixtures::BuildAndroidDatabase(path, AndroidLayout::Calls60, ThreeAndroidCalls());
    std::filesystem::create_directory(dir.File("tmp"));
    const fixtures::ScopedTmpdir tmpdir(dir.File("tmp"));
    static int rowsSeen;
    rowsSeen = 0;
    auto failingRow = [](void*, int, char**, char**) -> int {
        ++rowsSeen;
        throw CMemoryException();
    };
    {
        CallLogConnection connection(path);
        ASSERT_TRUE(connection.IsOpen());
        EXPECT_THROW(connection.Exec(kAndroidCallsRows, failingRow), CMemoryException);
        EXPECT_EQ(rowsSeen, 1);
        // The connection is usable again at once: nothing of the failed statement is left.
        EXPECT_EQ(connection.Exec(kAndroidCallsRows, OnAndroidCallRow), 0);
        EXPECT_EQ(CallRecordTable.recordCount, 3);
        EXPECT_GT(OpenDescriptorsUnder(dir.File("tmp")), 0);
    }
    EXPECT_EQ(OpenDescriptorsUnder(dir.File("tmp")), 0);
    EXPECT_TRUE(fixtures::FolderEntries(dir.File("tmp")).empty());
}

TEST_F(OpenFilesTest, PathWithChineseCharacters)
{
    const fixtures::ChineseName folder = fixtures::ChineseFolderName();
    std::filesystem::create_directory(dir.Path() + "/" + folder.utf8);
    fixtures::BuildAndroidDatabase(dir.Path() + "/" + folder.utf8 + "/call.db",
                                   AndroidLayout::VendorCallDb, ThreeAndroidCalls());
    ASSERT_TRUE(ReadCallLog(dir.Path() + "/" + folder.ansi + "/call.db", owner));
    EXPECT_EQ(TableRows(), kThreeAndroidRows);
}

}  // namespace
