// Both passes of the scanner on real SQLite files of the phone layouts, with deleted
// rows left in the file: every deleted call comes back with exactly the texts a live
// read of the same row gives, live calls are dropped as duplicates, and the name boxes,
// the result message and the title agree with the count.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/file.h"
#include "platform/testing.h"
#include "platform/ui/wnd.h"
#include "reader/call_rows.h"
#include "recovery/main_window_ids.h"
#include "recovery/scanner.h"
#include "recovery/column_schema.h"
#include "tests/support/fixtures.h"

namespace {

using Texts = std::tuple<std::string, std::string, std::string, std::string, std::string,
                         std::string>;

Texts TextsOf(const CallRecord& r)
{
    return {r.name, r.callType, r.callTime, r.duration, r.location, r.number};
}

std::string TitleText(int k)
{
    return "Orsane手机通话记录恢复软件 共成功恢复出：" + std::to_string(k) + " 条通话记录";
}

// The schema capture of the open sequence: the family's count to 0, then table_info.
void CaptureSchema(CallLogConnection& connection, CallLogVariant variant)
{
    if (IsIphoneVariant(variant)) {
        ColumnSchema.iphone.count = 0;
        connection.Exec("PRAGMA table_info(ZCALLRECORD)", OnIphoneColumnInfo);
    } else {
        ColumnSchema.android.count = 0;
        connection.Exec(variant == CallLogVariant::AndroidLogsDb ? "PRAGMA table_info(logs)"
                                                                 : "PRAGMA table_info(calls)",
                        OnAndroidColumnInfo);
    }
}

class ScanEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CDataExchange dx(&window, FALSE);
        DDX_Control(&dx, kCallListControlId, list);
        for (int column = 0; column < 6; ++column) {
            list.InsertColumn(column, "");
        }
    }
    void TearDown() override { CallRecordTable.Reset(); }

    // The open sequence's reading part: live rows, schema, list (last row first).
    void LoadLive(const std::string& path)
    {
        CallRecordTable.Reset();
        list.DeleteAllItems();
        const CallLogVariant variant = FindCallLogVariant(path);
        CallLogConnection connection(path);
        ASSERT_TRUE(connection.IsOpen()) << path;
        if (IsIphoneVariant(variant)) {
            ReadIphoneCallRows(connection);
        } else {
            ReadAndroidCallRows(connection, window);
        }
        CaptureSchema(connection, variant);
        for (int i = CallRecordTable.recordCount - 1; i >= 0; --i) {
            list.InsertItem(list.GetItemCount(), CallRecordTable.records[i].name.c_str());
        }
        CallRecordTable.firstRecoveredIndex = CallRecordTable.recordCount;
    }

    std::vector<Texts> LiveTexts(const std::string& path)
    {
        LoadLive(path);
        std::vector<Texts> texts;
        for (int i = 0; i < CallRecordTable.recordCount; ++i) {
            texts.push_back(TextsOf(CallRecordTable.records[i]));
        }
        std::sort(texts.begin(), texts.end());
        return texts;
    }

    // Count pass then fill pass, as the Recover command runs them; returns the count.
    std::int32_t Recover(const std::string& path)
    {
        std::int32_t counter = 0;
        ScanDeletedRecords(counter, &window, path);
        EXPECT_TRUE(modal.ui.messageBoxes.empty()) << "the count pass shows nothing";
        const std::int32_t accepted = counter;
        ScanDeletedRecords(counter, &window, path);
        EXPECT_EQ(counter, accepted);
        return accepted;
    }

    std::vector<Texts> Appended() const
    {
        std::vector<Texts> texts;
        for (int i = CallRecordTable.firstRecoveredIndex; i < CallRecordTable.recordCount; ++i) {
            texts.push_back(TextsOf(CallRecordTable.records[i]));
        }
        std::sort(texts.begin(), texts.end());
        return texts;
    }

    // Builds the file with `calls` (some deleted) and a reference file holding only the
    // deleted calls, live; then recovers and compares.
    template <typename Call, typename Build>
    void CheckRecovery(const std::string& fileName, std::vector<Call> calls, Build build,
                       bool namesShown)
    {
        std::vector<Call> deleted;
        for (std::size_t i = 0; i < calls.size(); ++i) {
            calls[i].deleted = i % 4 == 1;   // every call type among them
            if (calls[i].deleted) {
                deleted.push_back(calls[i]);
                deleted.back().deleted = false;
            }
        }
        fixtures::TempDir dir;
        build(dir.File("ref-" + fileName), deleted);
        const std::vector<Texts> expected = LiveTexts(dir.File("ref-" + fileName));
        ASSERT_FALSE(expected.empty());

        const std::string path = dir.File(fileName);
        build(path, calls);
        LoadLive(path);
        const int live = CallRecordTable.recordCount;
        const std::int32_t accepted = Recover(path);
        // Every deleted call comes back, and nothing else does: copies of live rows are
        // dropped as duplicates. A deleted row may come back more than once, when SQLite
        // left an older copy of its cell in the page (two equal remnants are both kept).
        const std::vector<Texts> appended = Appended();
        const std::set<Texts> distinct(appended.begin(), appended.end());
        const std::set<Texts> wanted(expected.begin(), expected.end());
        EXPECT_EQ(distinct.size(), wanted.size()) << fileName;
        EXPECT_TRUE(distinct == wanted) << fileName << ": recovered texts differ from live ones";
        EXPECT_GE(appended.size(), expected.size());
        for (const Texts& t : wanted) {
            if (distinct.count(t) == 0) {
                ADD_FAILURE() << "missing " << std::get<2>(t) << " " << std::get<5>(t) << " type [" << std::get<1>(t) << "] dur " << std::get<3>(t);
            }
        }
        for (const Texts& t : distinct) {
            if (wanted.count(t) == 0) {
                ADD_FAILURE() << "extra " << std::get<2>(t) << " " << std::get<5>(t) << " type [" << std::get<1>(t) << "] dur " << std::get<3>(t) << " loc " << std::get<4>(t).size();
            }
        }
        const int k = CallRecordTable.recordCount - live;
        EXPECT_EQ(list.GetItemCount(), live + k);
        EXPECT_EQ(window.GetWindowText(), TitleText(k));
        ASSERT_FALSE(modal.ui.messageBoxes.empty());
        EXPECT_NE(modal.ui.messageBoxes.back().text.find(":" + std::to_string(k) + "条"),
                  std::string::npos);
        // One name box per accepted candidate on Android, none on iPhone, then the result.
        EXPECT_EQ(modal.ui.messageBoxes.size(),
                  static_cast<std::size_t>(namesShown ? accepted : 0) + 1);

        // A second recovery keeps nothing new: what was kept now counts as in use.
        modal.ui.messageBoxes.clear();
        Recover(path);
        EXPECT_EQ(CallRecordTable.recordCount, live + k);
        EXPECT_EQ(window.GetWindowText(), TitleText(0));
    }

    ScopedModalUi modal;
    CWnd window;
    CListCtrl list;
};

using fixtures::AndroidLayout;

TEST_F(ScanEndToEnd, AndroidContacts2Releases)
{
    for (AndroidLayout layout : {AndroidLayout::Calls40, AndroidLayout::Calls60,
                                 AndroidLayout::Calls60Upgraded}) {
        CheckRecovery("contacts2.db", fixtures::GeneratedAndroidCalls(90),
                      [layout](const std::string& path,
                               const std::vector<fixtures::AndroidCall>& calls) {
                          fixtures::BuildAndroidDatabase(path, layout, calls);
                      },
                      true);
        modal.ui.messageBoxes.clear();
    }
}

TEST_F(ScanEndToEnd, AndroidCallDbUtf16)
{
    CheckRecovery("call.db", fixtures::GeneratedAndroidCalls(90),
                  [](const std::string& path, const std::vector<fixtures::AndroidCall>& calls) {
                      fixtures::BuildAndroidDatabase(path, AndroidLayout::VendorCallDb, calls);
                  },
                  true);
}

TEST_F(ScanEndToEnd, AndroidLogsDbWithTextMessages)
{
    std::vector<fixtures::AndroidCall> calls = fixtures::GeneratedAndroidCalls(90);
    for (std::size_t i = 0; i < calls.size(); i += 5) {
        calls[i].logtype = 300;   // text messages: never live rows, never recovered
    }
    CheckRecovery("logs.db", calls,
                  [](const std::string& path, const std::vector<fixtures::AndroidCall>& c) {
                      fixtures::BuildAndroidDatabase(path, AndroidLayout::VendorLogs, c);
                  },
                  true);
}

TEST_F(ScanEndToEnd, IphoneLayouts)
{
    for (fixtures::IphoneLayout layout : {fixtures::IphoneLayout::Ios9,
                                          fixtures::IphoneLayout::Ios10}) {
        CheckRecovery("CallHistory.storedata", fixtures::GeneratedIphoneCalls(90),
                      [layout](const std::string& path,
                               const std::vector<fixtures::IphoneCall>& calls) {
                          fixtures::BuildIphoneDatabase(path, layout, calls);
                      },
                      false);
        modal.ui.messageBoxes.clear();
    }
}

TEST_F(ScanEndToEnd, MissingFileRaisesAndChangesNothing)
{
    fixtures::TempDir dir;
    const std::string path = dir.File("contacts2.db");
    fixtures::BuildAndroidDatabase(path, AndroidLayout::Calls40,
                                   fixtures::GeneratedAndroidCalls(10));
    LoadLive(path);
    const std::string missing = dir.File("gone/contacts2.db");
    std::int32_t counter = 5;
    try {
        ScanDeletedRecords(counter, &window, missing);
        ADD_FAILURE() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
        EXPECT_NE(e.ErrorText().find(missing), std::string::npos);
    }
    EXPECT_EQ(counter, 5);
    EXPECT_EQ(CallRecordTable.recordCount, 10);
    EXPECT_EQ(list.GetItemCount(), 10);
    EXPECT_TRUE(modal.ui.messageBoxes.empty());
}

}  // namespace
