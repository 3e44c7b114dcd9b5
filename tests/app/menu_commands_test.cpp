// Recover, Export and the web pages as a user drives them: refusals before any open,
// a recovery on an Android file (name boxes, result box, title, red rows) and again,
// the title after an open of the other phone's file that follows a recovery, Export read back (BOM, header, order, quoting, "是" on recovered rows), a refused
// name followed by both commands, an unwritable target, a target that is the open
// database or a companion of it, the two web addresses, and the time zone that Open and
// Recover read when they start.
#include "main_window_harness.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "app/resource_ids.h"
#include "reader/call_record.h"
#include "tests/support/fixtures.h"

namespace {

using fixtures::AndroidCall;
using fixtures::AndroidLayout;

const char* const kRecoverRefusal = "您需要先打开通话记录数据库文件后才可以执行恢复操作。";
const char* const kExportRefusal = "您需要先打开通话记录数据库文件后才可以执行导出操作。";
const char* const kCaption = "Orsane手机通话记录恢复软件";

constexpr long long kNewYear2020Ms = 1577836800000LL;
constexpr long long kHourMs = 3600000LL;

// Five calls, the second and fourth deleted (their remnants stay in the file).
std::vector<AndroidCall> callsWithTwoDeleted()
{
    std::vector<AndroidCall> calls = {
        {u8"13800000001", kNewYear2020Ms, 5, 1, u8"李雷", u8"北京"},
        {u8"13800000002", kNewYear2020Ms + kHourMs, 7, 2, u8"删除甲", u8"上海"},
        {u8"13800000003", kNewYear2020Ms + 2 * kHourMs, 9, 3, u8"韩梅梅", u8"广州, 天河"},
        {u8"13800000004", kNewYear2020Ms + 3 * kHourMs, 11, 1, u8"删除乙", u8"深圳"},
        {u8"13800000005", kNewYear2020Ms + 4 * kHourMs, 13, 2, u8"王\"五\"", u8"杭州"},
    };
    calls[1].deleted = true;
    calls[3].deleted = true;
    return calls;
}

class MenuCommandsTest : public MainWindowTest
{
protected:
    // Chooses `path` in the next save dialog and sends the Export command.
    void exportThroughMenu(const std::string& path)
    {
        m_modal.ui.fileDialogAnswers.push_back(path);
        command(ID_EXPORT_RECORDS);
    }
    COLORREF rowColour(int row)
    {
        COLORREF colour = 0;
        customDraw(CDDS_ITEMPREPAINT, row, colour);
        return colour;
    }
    fixtures::TempDir m_folder;
};

TEST_F(MenuCommandsTest, RecoverAndExportBeforeAnyOpenOnlyRefuse)
{
    command(ID_RECOVER_DELETED);
    command(ID_EXPORT_RECORDS);
    EXPECT_EQ(messageTexts(), (std::vector<std::string>{kRecoverRefusal, kExportRefusal}));
    for (const auto& box : m_modal.ui.messageBoxes) {
        EXPECT_EQ(box.owner, m_dialog.get());
        EXPECT_EQ(box.type, MB_OK);
    }
    EXPECT_TRUE(m_modal.ui.fileDialogFilters.empty());
    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(title(), kCaption);
}

TEST_F(MenuCommandsTest, RecoverAppendsDeletedCallsInRedThenExportMarksThem)
{
    const std::string database = m_folder.File("contacts2.db");
    fixtures::BuildAndroidDatabase(database, AndroidLayout::Calls40, callsWithTwoDeleted());
    const std::string databaseBytes = fixtures::ReadFileBytes(database);
    openThroughMenu(database);
    ASSERT_EQ(rowCount(), 3);

    command(ID_RECOVER_DELETED);
    const std::vector<std::string> boxes = messageTexts();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back(), "扫描恢复完成！共成功恢复:2条通话记录，软件非百分之百恢复，红色信息是恢复的内容。");
    // Each decoded name is shown while the fill pass runs, before the result.
    for (const char* name : {"删除甲", "删除乙"})
        EXPECT_NE(std::find(boxes.begin(), boxes.end() - 1, name), boxes.end() - 1) << name;
    EXPECT_EQ(title(), "Orsane手机通话记录恢复软件 共成功恢复出：2 条通话记录");
    ASSERT_EQ(rowCount(), 5);
    // Recovered rows come in the order found: cells fill a page from its end, so the
    // later call lies first in the file.
    EXPECT_EQ(row(3)[0], "删除乙");
    EXPECT_EQ(row(4)[0], "删除甲");
    const COLORREF black = 0x000000, red = 0x0000FF;
    EXPECT_EQ((std::vector<COLORREF>{rowColour(0), rowColour(1), rowColour(2), rowColour(3),
                                     rowColour(4)}),
              (std::vector<COLORREF>{black, black, black, red, red}));
    EXPECT_EQ(statusLine(), "共成功导出：3 条通话记录");

    m_modal.ui.messageBoxes.clear();
    const std::string csv = m_folder.File("通话记录.csv");
    exportThroughMenu(csv);
    EXPECT_EQ(m_modal.ui.fileDialogFilters.back(), "CSV 文件 (*.csv)|*.csv||");
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"导出完成，共导出5条通话记录。"});
    EXPECT_EQ(fixtures::ReadFileBytes(m_folder.File(u8"通话记录.csv")),
              u8"\xEF\xBB\xBF姓名,来电或去电,通话时间,通话时长,归属地,通话号码,已恢复\r\n"
              u8"\"王\"\"五\"\"\",呼出电话,2020-01-01 12:00:00,13秒,杭州,13800000005,\r\n"
              u8"韩梅梅,未接电话,2020-01-01 10:00:00,9秒,\"广州, 天河\",13800000003,\r\n"
              u8"李雷,呼入电话,2020-01-01 08:00:00,5秒,北京,13800000001,\r\n"
              u8"删除乙,呼入电话,2020-01-01 11:00:00,11秒,深圳,13800000004,是\r\n"
              u8"删除甲,呼出电话,2020-01-01 09:00:00,7秒,上海,13800000002,是\r\n");
    EXPECT_EQ(fixtures::ReadFileBytes(database), databaseBytes);
}

// The export writes what the list shows: an iPhone location hidden by the "<<" rule is
// empty in the file too, and a text with a line break is quoted whole.
TEST_F(MenuCommandsTest, IphoneExportWritesRowsAsShown)
{
    std::vector<fixtures::IphoneCall> calls(2);
    calls[0].date = 600000000.5;
    calls[0].duration = 61.5;
    calls[0].location = u8"<<RecentsNumberLocationNotFound>>";
    calls[0].address = fixtures::SqlValue::Blob("10086");
    calls[1].originated = 1;
    calls[1].date = 600000060.5;
    calls[1].duration = 0.0;
    calls[1].location = u8"北京\r\n海淀";
    calls[1].address = fixtures::SqlValue::Blob("+86 10 1234");
    const std::string database = m_folder.File("CallHistory.storedata");
    fixtures::BuildIphoneDatabase(database, fixtures::IphoneLayout::Ios10, calls);
    openThroughMenu(database);
    ASSERT_EQ(rowCount(), 2);

    exportThroughMenu(m_folder.File("iphone.csv"));
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"导出完成，共导出2条通话记录。"});
    EXPECT_EQ(fixtures::ReadFileBytes(m_folder.File("iphone.csv")),
              u8"\xEF\xBB\xBF姓名,来电或去电,通话时间,通话时长,归属地,通话号码,已恢复\r\n"
              u8",呼出电话,2020-01-06 18:41:00,0秒,\"北京\r\n海淀\",+86 10 1234,\r\n"
              u8",呼入电话,2020-01-06 18:40:00,61秒,,10086,\r\n");
}

TEST_F(MenuCommandsTest, SecondRecoverFindsOnlyDuplicatesOfWhatTheFirstKept)
{
    const std::string database = m_folder.File("contacts2.db");
    fixtures::BuildAndroidDatabase(database, AndroidLayout::Calls40, callsWithTwoDeleted());
    openThroughMenu(database);
    command(ID_RECOVER_DELETED);
    ASSERT_EQ(rowCount(), 5);

    m_modal.ui.messageBoxes.clear();
    command(ID_RECOVER_DELETED);
    ASSERT_FALSE(m_modal.ui.messageBoxes.empty());
    EXPECT_EQ(messageTexts().back(), "扫描恢复完成！此数据库没有能够恢复的通话记录！");
    EXPECT_EQ(title(), "Orsane手机通话记录恢复软件 共成功恢复出：0 条通话记录");
    EXPECT_EQ(rowCount(), 5);

    // An Android open takes the caption back and shows no row in red.
    openThroughMenu(database);
    EXPECT_EQ(title(), kCaption);
    EXPECT_EQ(rowCount(), 3);
    EXPECT_EQ(rowColour(2), 0x000000u);
}

// The title gives the count of a recovery on the open file only: an open of either
// phone's file after a recovery on the other's takes the caption back.
TEST_F(MenuCommandsTest, OpenAfterRecoveryOnTheOtherPhoneTakesCaptionBack)
{
    const std::string android = m_folder.File("contacts2.db");
    fixtures::BuildAndroidDatabase(android, AndroidLayout::Calls40, callsWithTwoDeleted());
    std::vector<fixtures::IphoneCall> iphoneCalls = fixtures::GeneratedIphoneCalls(8);
    iphoneCalls[1].deleted = true;
    iphoneCalls[5].deleted = true;
    const std::string iphone = m_folder.File("CallHistory.storedata");
    fixtures::BuildIphoneDatabase(iphone, fixtures::IphoneLayout::Ios9, iphoneCalls);

    openThroughMenu(android);
    for (const std::string& path : {android, iphone}) {
        command(ID_RECOVER_DELETED);
        ASSERT_GT(CallRecordTable.recordCount, CallRecordTable.firstRecoveredIndex) << path;
        ASSERT_NE(title(), kCaption) << path;
        openThroughMenu(path == android ? iphone : android);
        EXPECT_EQ(title(), kCaption) << "after a recovery on " << path;
        EXPECT_EQ(CallRecordTable.firstRecoveredIndex, rowCount());
    }
}

// Both passes of a Recover walk one read of the file, so that a file cut or rewritten
// between them cannot leave the fill pass short of what the count pass promised; the
// next Recover reads it anew. Counted by the kernel's open events on the file.
TEST_F(MenuCommandsTest, EachRecoverReadsTheFileOnce)
{
    const std::string database = m_folder.File("contacts2.db");
    fixtures::BuildAndroidDatabase(database, AndroidLayout::Calls40, callsWithTwoDeleted());
    openThroughMenu(database);
    const int events = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(events, 0);
    // Closes watched too: the kernel folds an event into an unread one just like it.
    ASSERT_GE(inotify_add_watch(events, database.c_str(), IN_OPEN | IN_CLOSE), 0);
    const auto opensSinceLastAsked = [&] {
        int opens = 0;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t got; (got = read(events, buffer, sizeof buffer)) > 0;) {
            for (char* at = buffer; at < buffer + got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                opens += (event->mask & IN_OPEN) != 0 ? 1 : 0;
                at += sizeof(inotify_event) + event->len;
            }
        }
        return opens;
    };
    for (int recover = 1; recover <= 2; ++recover) {
        command(ID_RECOVER_DELETED);
        EXPECT_EQ(opensSinceLastAsked(), 1) << "Recover " << recover;
    }
    EXPECT_EQ(rowCount(), 5);
    close(events);
}

// Open and Recover each read the zone as it is when they start (the tests run at UTC+8):
// a zone changed in between counts from the next command on.
TEST_F(MenuCommandsTest, OpenAndRecoverReadTheZoneWhenTheyStart)
{
    const std::string database = m_folder.File("contacts2.db");
    fixtures::BuildAndroidDatabase(database, AndroidLayout::Calls40, callsWithTwoDeleted());
    const std::string testZone = std::getenv("TZ") != nullptr ? std::getenv("TZ") : "";
    const auto timeOf = [&](const char* name) {
        for (int item = rowCount() - 1; item >= 0; --item) {
            if (row(item)[0] == name)
                return row(item)[2];
        }
        return std::string("(no row)");
    };
    openThroughMenu(database);
    EXPECT_EQ(timeOf("李雷"), "2020-01-01 08:00:00");

    setenv("TZ", "UTC", 1);
    openThroughMenu(database);
    EXPECT_EQ(timeOf("李雷"), "2020-01-01 00:00:00");

    // Back at UTC+8 the remnants read so, whatever zone the rows shown were read in.
    setenv("TZ", testZone.c_str(), 1);
    command(ID_RECOVER_DELETED);
    EXPECT_EQ(timeOf("删除乙"), "2020-01-01 11:00:00");
}

TEST_F(MenuCommandsTest, AfterRefusedNameRecoverShowsNothingAndExportWritesHeaderOnly)
{
    const std::string refused = m_folder.File("notes.txt");
    fixtures::WriteFileBytes(refused, "some text, not a database");
    openThroughMenu(refused);
    m_modal.ui.messageBoxes.clear();

    command(ID_RECOVER_DELETED);
    EXPECT_TRUE(m_modal.ui.messageBoxes.empty());
    EXPECT_EQ(title(), kCaption);

    exportThroughMenu(m_folder.File("empty.csv"));
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"导出完成，共导出0条通话记录。"});
    EXPECT_EQ(fixtures::ReadFileBytes(m_folder.File("empty.csv")),
              u8"\xEF\xBB\xBF姓名,来电或去电,通话时间,通话时长,归属地,通话号码,已恢复\r\n");
}

TEST_F(MenuCommandsTest, ExportCancelledOrIntoUnwritablePlaceLeavesNoFile)
{
    const std::string database = m_folder.File("contacts2.db");
    fixtures::BuildAndroidDatabase(database, AndroidLayout::Calls40, callsWithTwoDeleted());
    openThroughMenu(database);

    command(ID_EXPORT_RECORDS);   // no answer scripted: Cancel
    EXPECT_TRUE(m_modal.ui.messageBoxes.empty());

    const std::string underFile = database + "/x.csv";
    const std::string missingFolder = m_folder.File("missing/x.csv");
    for (const std::string& target : {std::string("/etc/passwd/x.csv"), underFile, missingFolder}) {
        m_modal.ui.messageBoxes.clear();
        exportThroughMenu(target);
        ASSERT_EQ(m_modal.ui.messageBoxes.size(), 1u) << target;
        const std::string& text = m_modal.ui.messageBoxes[0].text;
        const std::string prefix = "导出失败：" + target;
        EXPECT_EQ(text.compare(0, prefix.size(), prefix), 0) << text;
        EXPECT_GT(text.size(), prefix.size()) << "a reason follows the path";
        EXPECT_FALSE(fixtures::FileExists(target));
    }
    EXPECT_EQ(fixtures::FolderEntries(m_folder.Path()), std::vector<std::string>{"contacts2.db"});
}

// Confirming the save dialog's overwrite question on the open database (or a file SQLite
// keeps beside it) gets the refusal, and the folder stays as it was, byte for byte.
TEST_F(MenuCommandsTest, ExportOntoTheOpenFileOrItsCompanionsIsRefusedAndWritesNothing)
{
    const std::string database = m_folder.File("contacts2.db");
    fixtures::BuildAndroidDatabase(database, AndroidLayout::Calls40, callsWithTwoDeleted());
    const std::string refusedName = m_folder.File("notes.txt");
    fixtures::WriteFileBytes(refusedName, "not a database");
    const std::string databaseBytes = fixtures::ReadFileBytes(database);
    const std::string refusal =
        "这是打开的数据库文件或它旁边的 -wal、-journal、-shm 文件，导出不会写入这些文件。"
        "请另选文件名。";

    const struct { std::string open, target; } cases[] = {
        {database, database},
        {database, m_folder.Path() + "/./contacts2.db"},
        {database, database + "-wal"},
        {database, database + "-journal"},
        {refusedName, refusedName},   // a refused name counts as open too
    };
    for (const auto& c : cases) {
        openThroughMenu(c.open);
        m_modal.ui.messageBoxes.clear();
        exportThroughMenu(c.target);
        EXPECT_EQ(messageTexts(), std::vector<std::string>{"导出失败：" + c.target + "\n" + refusal})
            << c.target;
    }
    EXPECT_EQ(fixtures::ReadFileBytes(database), databaseBytes);
    EXPECT_EQ(fixtures::ReadFileBytes(refusedName), "not a database");
    EXPECT_EQ(fixtures::FolderEntries(m_folder.Path()),
              (std::vector<std::string>{"contacts2.db", "notes.txt"}));
}

TEST_F(MenuCommandsTest, WebPagesOpenSiteRootAndUsagePageWithOrWithoutFile)
{
    const std::string usage = std::string(PELDMARK_SITE_URL) + "/call.htm";
    command(ID_HOME_PAGE);
    command(ID_USAGE_PAGE);
    m_dialog->SendMessage(WM_COMMAND, ID_HELP);   // F1: the usage page too
    fixtures::WriteFileBytes(m_folder.File("x.txt"), "");
    openThroughMenu(m_folder.File("x.txt"));
    command(ID_HOME_PAGE);

    const std::vector<std::string> expected = {PELDMARK_SITE_URL, usage, usage, PELDMARK_SITE_URL};
    ASSERT_EQ(m_modal.ui.shellCalls.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(m_modal.ui.shellCalls[i].verb, "open");
        EXPECT_EQ(m_modal.ui.shellCalls[i].file, expected[i]);
        EXPECT_EQ(m_modal.ui.shellCalls[i].showCommand, SW_SHOWNORMAL);
    }
}

}  // namespace
