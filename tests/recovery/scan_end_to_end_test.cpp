// Both passes of the scanner on real SQLite files of the phone layouts, with deleted
// rows left in the file: every deleted call whose record bytes are still in place comes
// back with exactly the texts a live read of the same row gives, live calls are dropped
// as duplicates, and the name boxes, the result message and the title agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/file.h"
#include "platform/testing.h"
#include "platform/ui/wnd.h"
#include "reader/call_rows.h"
#include "recovery/android_remnant.h"
#include "recovery/iphone_remnant.h"
#include "recovery/main_window_ids.h"
#include "recovery/scanner.h"
#include "recovery/schema_capture.h"
#include "tests/recovery/recovery_test_support.h"
#include "tests/support/fixtures.h"

namespace {

using Texts = std::tuple<std::string, std::string, std::string, std::string, std::string,
                         std::string>;

Texts TextsOf(const CallRecord& r)
{
    return {r.name, r.callType, r.callTime, r.duration, r.location, r.number};
}

class ScanEndToEnd : public ::testing::Test, protected recovery_test::MainWindowWithList
{
protected:
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
        CaptureColumnSchema(connection, variant);
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

    // Every position of the file that the variant's frame accepts, decoded, with the
    // span of its record bytes; the schema must be that of the file.
    struct Located { Texts texts; std::int64_t position; std::int64_t length; };
    static std::vector<Located> LocateRecords(const std::string& file, CallLogVariant variant)
    {
        const RawBuffer buffer{reinterpret_cast<const unsigned char*>(file.c_str()),
                               static_cast<std::int64_t>(file.size())};
        ColumnRules android;
        IphoneRules iphone;
        CompileAndroidRules(variant, ColumnSchema.android, android);
        CompileIphoneRules(ColumnSchema.iphone, iphone);
        const auto header = std::make_unique<CandidateHeader>();
        const AndroidContentCheck contentCheck(variant, ColumnSchema.android);
        std::vector<Located> found;
        for (std::int64_t x = 0; x < buffer.fileLength; ++x) {
            CallRecord record;
            std::int64_t length = 0;
            if (variant == CallLogVariant::IphoneStoredata) {
                if (!MatchIphoneRecord(&record, x, &length, buffer, iphone, *header)) continue;
            } else {
                if (!MatchCandidate(buffer, x, android, *header) ||
                    contentCheck.Refuses(buffer, *header)) continue;
                DecodeAndroidRecord(variant, ColumnSchema.android, buffer, *header, record,
                                    nullptr);
                length = header->remnantLength;
            }
            found.push_back({TextsOf(record), x, length});
        }
        return found;
    }

    // Builds the file twice from `calls`: whole, and with every fourth call deleted.
    // Every row of the whole file must decode to the texts its live read gives; every
    // deleted call whose record bytes the deletion left as they were must come back
    // with those texts; no live call may come back.
    template <typename Call, typename Build>
    void CheckRecovery(const std::string& fileName, std::vector<Call> calls, Build build,
                       bool namesShown)
    {
        fixtures::TempDir dir;
        const std::string wholePath = dir.File("whole-" + fileName);
        build(wholePath, calls);
        const std::vector<Texts> wholeLive = LiveTexts(wholePath);
        const std::string whole = fixtures::ReadFileBytes(wholePath);
        const std::vector<Located> located = LocateRecords(whole, ScanVariantOf(fileName));
        for (const Texts& row : wholeLive) {
            EXPECT_TRUE(std::any_of(located.begin(), located.end(),
                                    [&](const Located& l) { return l.texts == row; }))
                << fileName << ": a live row has no remnant with its texts, number "
                << std::get<5>(row);
        }

        for (std::size_t i = 0; i < calls.size(); ++i) {
            calls[i].deleted = i % 4 == 1;   // every call type among them
        }
        const std::string path = dir.File(fileName);
        build(path, calls);
        const std::vector<Texts> live = LiveTexts(path);
        const std::string file = fixtures::ReadFileBytes(path);
        std::set<Texts> intactDeleted;
        for (const Located& l : located) {
            const bool deleted = !std::binary_search(live.begin(), live.end(), l.texts);
            const std::size_t span = static_cast<std::size_t>(l.length - 1);
            if (deleted && whole.compare(l.position, span, file, l.position, span) == 0) {
                intactDeleted.insert(l.texts);
            }
        }
        EXPECT_GE(intactDeleted.size(), calls.size() / 8) << fileName;

        const int liveCount = CallRecordTable.recordCount;
        const std::int32_t accepted = Recover(path);
        const std::vector<Texts> appended = Appended();
        for (const Texts& t : intactDeleted) {
            EXPECT_TRUE(std::binary_search(appended.begin(), appended.end(), t))
                << fileName << ": deleted call not recovered, number " << std::get<5>(t);
        }
        for (const Texts& t : appended) {
            EXPECT_FALSE(std::binary_search(live.begin(), live.end(), t))
                << fileName << ": a live call came back, number " << std::get<5>(t);
        }
        const int k = CallRecordTable.recordCount - liveCount;
        EXPECT_EQ(list.GetItemCount(), liveCount + k);
        EXPECT_EQ(window.GetWindowText(), recovery_test::RecoveryTitleText(k));
        ASSERT_FALSE(modal.ui.messageBoxes.empty());
        EXPECT_NE(modal.ui.messageBoxes.back().text.find(":" + std::to_string(k) + "条"),
                  std::string::npos);
        // One name box per accepted candidate on Android, none on iPhone, then the result.
        EXPECT_EQ(modal.ui.messageBoxes.size(),
                  static_cast<std::size_t>(namesShown ? accepted : 0) + 1);

        // A second recovery keeps nothing new: what was kept now counts as in use.
        modal.ui.messageBoxes.clear();
        Recover(path);
        EXPECT_EQ(CallRecordTable.recordCount, liveCount + k);
        EXPECT_EQ(window.GetWindowText(), recovery_test::RecoveryTitleText(0));
        modal.ui.messageBoxes.clear();
    }

    ScopedModalUi modal;
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
    window.SetWindowText("title before");
    try {
        ScanDeletedRecords(counter, &window, missing);
        ADD_FAILURE() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
        EXPECT_EQ(e.ErrorText(), "无法读取文件 " + missing + "：找不到该文件。");
    }
    EXPECT_EQ(counter, 5);
    EXPECT_EQ(CallRecordTable.recordCount, 10);
    EXPECT_EQ(list.GetItemCount(), 10);
    EXPECT_EQ(window.GetWindowText(), "title before");
    EXPECT_TRUE(modal.ui.messageBoxes.empty());
}

}  // namespace
