// The Open command through the menu with a scripted file dialog: rows last read first,
// the status line and title, the iPhone location rule, the refused name and failed opens
// that empty the list, the Android cascade's messages, bad inputs, the 100,000-row limit
// on a call table without end.
#include "main_window_harness.h"

#include <filesystem>

#include "app/resource_ids.h"
#include "platform/ui/winapp.h"
#include "reader/call_record.h"
#include "recovery/column_schema.h"
#include "tests/support/fixtures.h"
#include "tests/support/hang_guard.h"

namespace {

using fixtures::AndroidCall;
using fixtures::AndroidLayout;
using fixtures::IphoneCall;

// 2020-01-01 08:00:00 at UTC+8, in milliseconds.
constexpr long long kNewYear2020Ms = 1577836800000LL;
constexpr long long kMinuteMs = 60000LL;

std::vector<AndroidCall> threeAndroidCalls()
{
    return {
        {u8"13800000001", kNewYear2020Ms, 5, 1, u8"李雷", u8"北京"},
        {u8"13800000002", kNewYear2020Ms + kMinuteMs, 0, 3, u8"韩梅梅", u8"<<上海"},
        {u8"13800000003", kNewYear2020Ms + 2 * kMinuteMs, 61, 2, u8"王五", u8"广州"},
    };
}

class OpenCommandTest : public MainWindowTest
{
protected:
    fixtures::TempDir m_folder;
};

TEST_F(OpenCommandTest, AndroidRowsShownLastReadFirstWithCountAndCaption)
{
    m_dialog->SetWindowText("Orsane手机通话记录恢复软件 共成功恢复出：3 条通话记录");
    const std::string path = m_folder.File("contacts2.db");
    fixtures::BuildAndroidDatabase(path, AndroidLayout::Calls40, threeAndroidCalls());
    const std::string before = fixtures::ReadFileBytes(path);

    openThroughMenu(path);

    EXPECT_EQ(m_modal.ui.fileDialogFilters, std::vector<std::string>{"通讯录文件 (*.*)|*.*||"});
    EXPECT_TRUE(m_modal.ui.messageBoxes.empty());
    ASSERT_EQ(rowCount(), 3);
    EXPECT_EQ(row(0), (std::vector<std::string>{"王五", "呼出电话", "2020-01-01 08:02:00",
                                                "61秒", "广州", "13800000003"}));
    EXPECT_EQ(row(1), (std::vector<std::string>{"韩梅梅", "未接电话", "2020-01-01 08:01:00",
                                                "0秒", "<<上海", "13800000002"}));
    EXPECT_EQ(row(2)[0], "李雷");
    EXPECT_EQ(statusLine(), "共成功导出：3 条通话记录");
    EXPECT_EQ(title(), "Orsane手机通话记录恢复软件");
    EXPECT_EQ(CallRecordTable.firstRecoveredIndex, 3);
    EXPECT_EQ(OpenFilePath, path);
    EXPECT_EQ(fixtures::ReadFileBytes(path), before);
}

TEST_F(OpenCommandTest, IphoneRowsBlankLocationsFromDoubleAngleAndTakeCaptionBack)
{
    m_dialog->SetWindowText("Orsane手机通话记录恢复软件 共成功恢复出：2 条通话记录");
    std::vector<IphoneCall> calls(3);
    const char* const locations[] = {u8"<<RecentsNumberLocationNotFound>>", u8"<上海", u8"<<"};
    for (int i = 0; i < 3; ++i) {
        calls[i].date = 600000000.5 + i;
        calls[i].duration = 12.0;
        calls[i].location = locations[i];
        calls[i].address = fixtures::SqlValue::Blob("1380000000" + std::to_string(i));
    }
    const std::string path = m_folder.File("CallHistory.storedata");
    fixtures::BuildIphoneDatabase(path, fixtures::IphoneLayout::Ios9, calls);
    // What the last Android file left: an iPhone open does not touch it.
    ColumnSchema.android.count = 7;

    openThroughMenu(path);

    ASSERT_EQ(rowCount(), 3);
    EXPECT_EQ(row(0)[4], "");
    EXPECT_EQ(row(1)[4], "<上海");
    EXPECT_EQ(row(2)[4], "");
    EXPECT_EQ(row(2)[5], "13800000000");
    EXPECT_EQ(statusLine(), "共成功导出：3 条通话记录");
    EXPECT_EQ(title(), "Orsane手机通话记录恢复软件");
    EXPECT_EQ(ColumnSchema.iphone.count, 18);
    EXPECT_EQ(ColumnSchema.android.count, 7);
}

TEST_F(OpenCommandTest, CancelledDialogChangesNothing)
{
    const std::string path = m_folder.File("contacts2.db");
    fixtures::BuildAndroidDatabase(path, AndroidLayout::Calls40, threeAndroidCalls());
    openThroughMenu(path);
    // As a recovery leaves it: the last row drawn red.
    CallRecordTable.firstRecoveredIndex = 2;
    const std::vector<std::string> firstRow = row(0);
    const std::int32_t androidColumns = ColumnSchema.android.count;
    const std::int32_t iphoneColumns = ColumnSchema.iphone.count;

    command(ID_OPEN_DATABASE);   // no answer scripted: the dialog is cancelled
    EXPECT_EQ(m_modal.ui.fileDialogFilters.size(), 2u);
    EXPECT_TRUE(m_modal.ui.messageBoxes.empty());
    EXPECT_EQ(rowCount(), 3);
    EXPECT_EQ(row(0), firstRow);
    EXPECT_EQ(statusLine(), "共成功导出：3 条通话记录");
    EXPECT_EQ(CallRecordTable.recordCount, 3);
    EXPECT_EQ(CallRecordTable.firstRecoveredIndex, 2);
    EXPECT_EQ(CallRecordTable.records[0].name, "李雷");
    EXPECT_EQ(OpenFilePath, path);
    EXPECT_EQ(ColumnSchema.android.count, androidColumns);
    EXPECT_EQ(ColumnSchema.iphone.count, iphoneColumns);
}

// A refused name and a failed open both empty the table, so they empty the list and
// the status line too. A file that cannot be read says why, and leaves no columns of
// the file opened before it for Recover to carve with (the other family stays).
TEST_F(OpenCommandTest, RefusedNameAndFailedOpenEmptyListAndStatusLine)
{
    const std::string database = m_folder.File("contacts2.db");
    fixtures::BuildAndroidDatabase(database, AndroidLayout::Calls40, threeAndroidCalls());
    openThroughMenu(database);
    ASSERT_EQ(rowCount(), 3);
    ASSERT_GT(ColumnSchema.android.count, 0);
    ColumnSchema.iphone.count = 18;   // as an iPhone store opened earlier left it

    const std::string missing = m_folder.File("gone/contacts2.db");
    openThroughMenu(missing);
    EXPECT_EQ(messageTexts(),
              std::vector<std::string>{"无法读取文件 " + missing + "：找不到该文件。"});
    EXPECT_EQ(m_modal.ui.messageBoxes[0].owner, m_dialog.get());
    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(statusLine(), "");
    EXPECT_EQ(OpenFilePath, missing);
    EXPECT_FALSE(fixtures::FileExists(missing));
    EXPECT_EQ(ColumnSchema.android.count, 0);
    EXPECT_EQ(ColumnSchema.iphone.count, 18);

    openThroughMenu(database);
    ASSERT_EQ(rowCount(), 3);
    m_modal.ui.messageBoxes.clear();
    const std::string refused = m_folder.File("contacts2.db.bak");
    openThroughMenu(refused);

    ASSERT_EQ(m_modal.ui.messageBoxes.size(), 1u);
    EXPECT_EQ(m_modal.ui.messageBoxes[0].text, "你打开的不是通讯录文件");
    EXPECT_EQ(m_modal.ui.messageBoxes[0].caption, "");
    EXPECT_EQ(m_modal.ui.messageBoxes[0].owner, m_dialog.get());
    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(statusLine(), "");
    EXPECT_EQ(CallRecordTable.recordCount, 0);
    EXPECT_EQ(OpenFilePath, refused);
}

TEST_F(OpenCommandTest, AndroidCascadeShowsItsMessagesWithApplicationCaption)
{
    for (const char* folder : {"old", "text"})
        std::filesystem::create_directories(m_folder.File(folder));
    const std::string oldRelease = m_folder.File("old/contacts2.db");
    const std::string notSqlite = m_folder.File("text/contacts2.db");
    fixtures::BuildAndroidDatabase(oldRelease, AndroidLayout::Calls23, threeAndroidCalls());
    fixtures::WriteFileBytes(notSqlite, "name,number\r\n李雷,10086\r\n");

    openThroughMenu(oldRelease);
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"打开错误2！"});
    EXPECT_EQ(m_modal.ui.messageBoxes[0].caption, AfxGetAppName());
    EXPECT_EQ(rowCount(), 3);

    m_modal.ui.messageBoxes.clear();
    openThroughMenu(notSqlite);
    EXPECT_EQ(messageTexts(), (std::vector<std::string>{"打开错误2！", "打开错误3！"}));
    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(statusLine(), "共成功导出：0 条通话记录");
}

// An iPhone-named file whose calls the iPhone statements cannot read says so, naming
// the file, after the refill; an empty call table is no failure.
TEST_F(OpenCommandTest, IphoneFileWithoutReadableCallTableSaysSo)
{
    const struct { const char* folder; const char* name; const char* sql; bool told; } cases[] = {
        // iOS 7 and earlier: table call, no ZCALLRECORD.
        {"ios7", "call_history.db",
         "CREATE TABLE call (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, address TEXT, "
         "date INTEGER, duration INTEGER, flags INTEGER, id INTEGER, name TEXT);"
         "INSERT INTO call (address, date, duration, flags, id) "
         "VALUES ('10086', 1386316800, 35, 5, -1)", true},
        {"nocolumns", "CallHistory.storedata", "CREATE TABLE ZCALLRECORD (Z_PK INTEGER PRIMARY KEY);"
         "INSERT INTO ZCALLRECORD VALUES (1)", true},
        {"emptyfile", "CallHistory.storedata", nullptr, true},
        {"notable", "CallHistory.storedata", "CREATE TABLE Z_METADATA (Z_VERSION INTEGER)", true},
        {"nocalls", "CallHistory.storedata",
         "CREATE TABLE ZCALLRECORD (Z_PK INTEGER PRIMARY KEY, ZANSWERED INTEGER, ZDATE TIMESTAMP, "
         "ZDURATION FLOAT, ZLOCATION VARCHAR, ZADDRESS BLOB)", false},
    };
    for (const auto& c : cases) {
        std::filesystem::create_directories(m_folder.File(c.folder));
        const std::string path = m_folder.File(c.folder) + "/" + c.name;
        if (c.sql != nullptr) {
            fixtures::Database(path).Exec(c.sql);
        } else {
            fixtures::WriteFileBytes(path, "");
        }
        m_modal.ui.messageBoxes.clear();
        openThroughMenu(path);
        const std::vector<std::string> told = {"文件 " + path + " 中没有本程序能读取的通话记录表。"};
        EXPECT_EQ(messageTexts(), c.told ? told : std::vector<std::string>()) << c.folder;
        EXPECT_EQ(rowCount(), 0) << c.folder;
        EXPECT_EQ(statusLine(), "共成功导出：0 条通话记录") << c.folder;
        for (const auto& box : m_modal.ui.messageBoxes) {
            EXPECT_EQ(box.owner, m_dialog.get());
            EXPECT_EQ(box.caption, AfxGetAppName());
        }
    }
}

// Bad input never crashes and is never written; what the user sees depends on where
// the open stops.
TEST_F(OpenCommandTest, BadInputsEndWithoutCrashOrWrite)
{
    const fixtures::ChineseName chinese = fixtures::ChineseFolderName();
    const std::string chineseFolder = m_folder.File(chinese.utf8);
    for (const std::string& folder :
         {chineseFolder, m_folder.File("empty"), m_folder.File("notes"), m_folder.File("dir/call.db")})
        std::filesystem::create_directories(folder);
    fixtures::BuildAndroidDatabase(chineseFolder + "/logs.db", AndroidLayout::VendorLogs,
                                   threeAndroidCalls());
    fixtures::WriteFileBytes(m_folder.File("empty/contacts2.db"), "");
    fixtures::WriteFileBytes(m_folder.File("notes/call_history.db"), "not a database");

    const struct {
        std::string programPath, diskPath;
        std::vector<std::string> messages;
        int rows;
    } cases[] = {
        {m_folder.File(chinese.ansi) + "/logs.db", chineseFolder + "/logs.db", {}, 3},
        {m_folder.File("empty/contacts2.db"), m_folder.File("empty/contacts2.db"),
         {"打开错误2！", "打开错误3！"}, 0},
        {m_folder.File("notes/call_history.db"), m_folder.File("notes/call_history.db"),
         {"文件 " + m_folder.File("notes/call_history.db") + " 不是 SQLite 数据库。"}, 0},
        {m_folder.File("dir/call.db"), "",
         {"无法读取文件 " + m_folder.File("dir/call.db") + "：这是一个文件夹，不是文件。"}, 0},
        {m_folder.File("missing/contacts2.db"), m_folder.File("missing/contacts2.db"),
         {"无法读取文件 " + m_folder.File("missing/contacts2.db") + "：找不到该文件。"}, 0},
    };
    for (const auto& c : cases) {
        const bool exists = !c.diskPath.empty() && fixtures::FileExists(c.diskPath);
        const std::string before = exists ? fixtures::ReadFileBytes(c.diskPath) : "";
        m_modal.ui.messageBoxes.clear();
        openThroughMenu(c.programPath);
        EXPECT_EQ(messageTexts(), c.messages) << c.programPath;
        EXPECT_EQ(rowCount(), c.rows) << c.programPath;
        EXPECT_EQ(OpenFilePath, c.programPath);
        if (!c.diskPath.empty()) {
            EXPECT_EQ(fixtures::FileExists(c.diskPath), exists) << c.programPath;
            if (exists) {
                EXPECT_EQ(fixtures::ReadFileBytes(c.diskPath), before) << c.programPath;
            }
        }
    }
}

// A call table with more calls than the table holds, here a view whose calls never run
// out: the first 100,000 are shown, reading stops there, and the user is told once,
// after the refill. Stopping is no failure of the statement: without a location column
// the table is read by the last statement, after "打开错误2！", and "打开错误3！" does
// not follow.
TEST_F(OpenCommandTest, MoreRowsThanTableHoldsStopReadingWithOneMessage)
{
    const std::string limit = "通话记录超过100000条，只载入了前100000条。";
    const struct { const char* folder; const char* location; std::vector<std::string> messages; } cases[] = {
        {"located", ", '' AS geocoded_location", {limit}},
        {"unlocated", "", {"打开错误2！", limit}},
    };
    for (const auto& c : cases) {
        std::filesystem::create_directories(m_folder.File(c.folder));
        const std::string path = m_folder.File(c.folder) + "/contacts2.db";
        {
            fixtures::Database db(path);
            db.Exec(std::string("CREATE VIEW calls AS WITH RECURSIVE n(i) AS ") +
                    "(SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT 2 AS type, " +
                    "1577836800000 + i * 60000 AS date, i % 60 AS duration, '' AS name, " +
                    "13800000000 + i AS number" + c.location + " FROM n");
        }
        m_modal.ui.messageBoxes.clear();
        {
            const fixtures::HangGuard guard;
            openThroughMenu(path);
        }
        EXPECT_EQ(messageTexts(), c.messages) << c.folder;
        EXPECT_EQ(rowCount(), kCallRecordCapacity);
        EXPECT_EQ(row(kCallRecordCapacity - 1)[5], "13800000001");
        EXPECT_EQ(statusLine(), "共成功导出：100000 条通话记录");
    }

    // The next open of a small file says nothing of the kind.
    m_modal.ui.messageBoxes.clear();
    std::filesystem::create_directories(m_folder.File("small"));
    fixtures::BuildAndroidDatabase(m_folder.File("small/contacts2.db"), AndroidLayout::Calls40,
                                   threeAndroidCalls());
    openThroughMenu(m_folder.File("small/contacts2.db"));
    EXPECT_TRUE(m_modal.ui.messageBoxes.empty());
    EXPECT_EQ(rowCount(), 3);
}

}  // namespace
