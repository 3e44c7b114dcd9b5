// The reader on real database files built by the fixtures: every variant end to end,
// the Android cascade and its messages, WAL copies, and bad input that must neither
// crash nor write.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "platform/testing.h"
#include "reader/call_rows.h"
#include "recovery/column_schema.h"
#include "tests/reader/reader_test_support.h"
#include "tests/support/fixtures.h"
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

// A store damaged past its first rows: the statement with ZORIGINATED reads up to the
// damage and then fails. The rows it read stay, once: the statement without ZORIGINATED
// is for a table that lacks the column, not a second reading of this one.
TEST_F(OpenFilesTest, DamagedIphoneStoreKeepsRowsReadBeforeTheDamageOnce)
{
    constexpr int kCalls = 400;
    constexpr std::size_t kPageSize = 4096;
    const std::string path = dir.File("CallHistory.storedata");
    fixtures::BuildIphoneDatabase(path, IphoneLayout::Ios10,
                                  fixtures::GeneratedIphoneCalls(kCalls));
    ASSERT_TRUE(ReadCallLog(path, owner));
    ASSERT_EQ(CallRecordTable.recordCount, kCalls);
    const std::string lastNumber = CallRecordTable.records[kCalls - 1].number;

    // Every page holding the last call's number (its table page among them) is ruined.
    std::string bytes = fixtures::ReadFileBytes(path);
    for (std::size_t at = bytes.find(lastNumber); at != std::string::npos;
         at = bytes.find(lastNumber, at + 1)) {
        const std::size_t page = at / kPageSize * kPageSize;
        bytes.replace(page, kPageSize, kPageSize, '\xA5');
    }
    fixtures::WriteFileBytes(path, bytes);

    ASSERT_TRUE(ReadCallLog(path, owner));
    ASSERT_GT(CallRecordTable.recordCount, 0);
    EXPECT_LT(CallRecordTable.recordCount, kCalls);
    std::set<std::string> numbers;
    for (const RowTexts& row : TableRows())
        numbers.insert(std::get<5>(row));
    EXPECT_EQ(numbers.size(), static_cast<std::size_t>(CallRecordTable.recordCount));
}

TEST_F(OpenFilesTest, WalCopyKeepsItsBytesAndItsWalAndItsWalRowsAreRead)
{
    const std::string path = dir.File("contacts2.db");
    fixtures::BuildOptions options;
    options.wal = true;
    options.rowsOnlyInWal = 2;
    fixtures::BuildAndroidDatabase(path, AndroidLayout::Calls60, ThreeAndroidCalls(), options);
    const std::string file = fixtures::ReadFileBytes(path);
    const std::string wal = fixtures::ReadFileBytes(path + "-wal");
    ASSERT_FALSE(wal.empty());
    ASSERT_EQ(file.find("95555"), std::string::npos);   // the last call lives in the -wal only

    ASSERT_TRUE(ReadCallLog(path, owner));
    EXPECT_EQ(TableRows(), kThreeAndroidRows);
    EXPECT_EQ(fixtures::ReadFileBytes(path), file);
    ASSERT_TRUE(fixtures::FileExists(path + "-wal"));
    EXPECT_EQ(fixtures::ReadFileBytes(path + "-wal"), wal);
}

TEST_F(OpenFilesTest, MissingFileIsNotCreated)
{
    const std::string path = dir.File("CallHistory.storedata");
    EXPECT_FALSE(ReadCallLog(path, owner));
    EXPECT_FALSE(fixtures::FileExists(path));
    EXPECT_EQ(OpenFilePath, path);
    EXPECT_TRUE(modal.ui.messageBoxes.empty());
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
    // A directory with a call-log name: SQLite refuses to open it, so nothing is shown.
    modal.ui.messageBoxes.clear();
    std::filesystem::create_directory(dir.File("logs.db"));
    EXPECT_FALSE(ReadCallLog(dir.File("logs.db"), owner));
    EXPECT_EQ(CallRecordTable.recordCount, 0);
    EXPECT_TRUE(modal.ui.messageBoxes.empty());
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("logs.db")));
}

TEST_F(OpenFilesTest, UnreadableFileReadsNothingAndStaysAsItWas)
{
    fixtures::BuildAndroidDatabase(dir.File("contacts2.db"), AndroidLayout::Calls60,
                                   fixtures::GeneratedAndroidCalls(50));
    const std::string path = dir.File("contacts2.db");
    const std::string bytes = fixtures::ReadFileBytes(path);
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    EXPECT_TRUE(fixtures::RunUnprivileged([&] {
        ReadCallLog(path, owner);
        return CallRecordTable.recordCount == 0;
    }));
    ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    EXPECT_EQ(fixtures::ReadFileBytes(path), bytes);
}

// Open descriptors of this process on `path`.
int OpenDescriptorsOn(const std::string& path)
{
    int count = 0;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        count += std::filesystem::read_symlink(fd.path(), error) == path;
    }
    return count;
}

// A framework exception raised by a row callback (memory exhausted) ends the command,
// but it must not leave SQLite mid-statement: the statement is finished, the exception
// reaches the caller, and the connection still closes.
TEST_F(OpenFilesTest, ExceptionInRowCallbackReachesCallerAndConnectionStillCloses)
{
    const std::string path = dir.File("contacts2.db");
    fixtures::BuildAndroidDatabase(path, AndroidLayout::Calls60, ThreeAndroidCalls());
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
    }
    EXPECT_EQ(OpenDescriptorsOn(path), 0);
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
