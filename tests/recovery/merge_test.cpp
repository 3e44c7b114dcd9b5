// MergeRecoveredRecords against a window-less main window whose control 1000 is the
// call list: what is dropped and kept, rows and table entries, messages, title, the
// table's limit, and agreement with the plain linear duplicate search.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/support/scripted_modal_ui.h"
#include "platform/ui/wnd.h"
#include "recovery/main_window_ids.h"
#include "recovery/merge.h"
#include "tests/recovery/recovery_test_support.h"

namespace {

CallRecord Call(const std::string& name, const std::string& time, const std::string& location,
                const std::string& number, std::int32_t overlong = 0)
{
    CallRecord r;
    r.name = name;
    r.callType = "t" + name;
    r.callTime = time;
    r.duration = "d" + name;
    r.location = location;
    r.number = number;
    r.overlong = overlong;
    return r;
}

const char* const kTableFull = "通话记录已达100000条上限，其余恢复出的记录未能添加。";
const char* const kNothingRecovered = "扫描恢复完成！此数据库没有能够恢复的通话记录！";

std::string ResultText(int k)
{
    return "扫描恢复完成！共成功恢复:" + std::to_string(k) +
           "条通话记录，软件非百分之百恢复，红色信息是恢复的内容。";
}

class Merge : public ::testing::Test, protected recovery_test::MainWindowWithList
{
protected:
    void SetUp() override { CallRecordTable.Reset(); }
    void TearDown() override { CallRecordTable.Reset(); }

    // Live records in table order, listed last first as the refill lists them.
    void Load(const std::vector<CallRecord>& live)
    {
        for (const CallRecord& r : live) {
            CallRecord& slot = CallRecordTable.records[CallRecordTable.recordCount++];
            slot = r;
            slot.overlong = 0;
        }
        for (auto it = live.rbegin(); it != live.rend(); ++it) {
            list.SetItemText(list.InsertItem(list.GetItemCount(), it->name.c_str()), 5,
                             it->number.c_str());
        }
        CallRecordTable.firstRecoveredIndex = CallRecordTable.recordCount;
    }

    void Run(const std::vector<CallRecord>& recovered)
    {
        DecodedRecords records(recovered.data());
        MergeRecoveredRecords(&window, records, static_cast<std::int32_t>(recovered.size()));
    }

    std::vector<std::string> Messages() const
    {
        std::vector<std::string> texts;
        for (const auto& box : modal.ui.messageBoxes) {
            EXPECT_EQ(box.owner, &window);
            texts.push_back(box.text);
        }
        return texts;
    }

    ScopedModalUi modal;
};

TEST_F(Merge, AppendsAfterTheLiveRowsInTheOrderFound)
{
    Load({Call("A", "t1", "", "1"), Call("B", "t2", "", "2"), Call("C", "t3", "", "3")});
    Run({Call("X", "t4", "", "4"), Call("Y", "t5", "<<RecentsNumberLocationNotFound>>", "5")});
    const std::vector<std::string> names = {"C", "B", "A", "X", "Y"};
    ASSERT_EQ(list.GetItemCount(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(list.GetItemText(i, 0), names[i]);
    }
    EXPECT_EQ(list.GetItemText(3, 1), "tX");
    EXPECT_EQ(list.GetItemText(3, 2), "t4");
    EXPECT_EQ(list.GetItemText(3, 3), "dX");
    EXPECT_EQ(list.GetItemText(4, 4), "");   // "<<" locations are shown empty ...
    EXPECT_EQ(CallRecordTable.records[4].location, "<<RecentsNumberLocationNotFound>>");
    EXPECT_EQ(list.GetItemText(4, 5), "5");
    EXPECT_EQ(CallRecordTable.records[3].name, "X");
    EXPECT_EQ(CallRecordTable.records[3].duration, "dX");
    EXPECT_EQ(CallRecordTable.recordCount, 5);
    EXPECT_EQ(CallRecordTable.firstRecoveredIndex, 3);
    EXPECT_EQ(Messages(), std::vector<std::string>{ResultText(2)});
    EXPECT_EQ(window.GetWindowText(), recovery_test::RecoveryTitleText(2));
}

TEST_F(Merge, DuplicateAndNumberTests)
{
    Load({Call("A", "t1", "L1", "1"), Call("B", "t2", "L2", "2")});
    struct Case { CallRecord record; bool kept; };
    const std::vector<Case> cases = {
        {Call("Z", "t1", "L1", "1"), false},       // same time, location, number
        {Call("A", "t1", "L1", "1", 1), true},     // overlong: never a duplicate
        {Call("A", "t1", "L2", "1"), true},        // location differs
        {Call("A", "t2", "L1", "1"), true},        // time differs
        {Call("A", "t1", "L1", "2"), true},        // number differs
        {Call("Q", "t9", "", "-1"), false},
        {Call("Q", "t9", "", "-1", 1), false},
        {Call("Q", "t9", "", "-10"), true},
        {Call("Q", "t9", "", " -1"), true},
        {Call("R", "t8", "", "8"), true},          // two equal remnants: both kept
        {Call("R", "t8", "", "8"), true},
    };
    std::vector<CallRecord> recovered;
    std::vector<std::string> keptNumbers;
    for (const Case& c : cases) {
        recovered.push_back(c.record);
        if (c.kept) {
            keptNumbers.push_back(c.record.callTime + c.record.location + c.record.number);
        }
    }
    Run(recovered);
    const int kept = static_cast<int>(keptNumbers.size());
    ASSERT_EQ(CallRecordTable.recordCount, 2 + kept);
    for (int i = 0; i < kept; ++i) {
        const CallRecord& r = CallRecordTable.records[2 + i];
        EXPECT_EQ(r.callTime + r.location + r.number, keptNumbers[i]) << i;
    }
    EXPECT_EQ(Messages(), std::vector<std::string>{ResultText(kept)});
}

// The result box comes first; the title tells the count once the user has closed it.
TEST_F(Merge, ResultBoxBeforeTheTitle)
{
    Load({Call("A", "t1", "", "1")});
    window.SetWindowText("title before");
    std::vector<std::string> titlesDuringBoxes;
    modal.ui.answerMessageBox = [&](const ScriptedModalUi::MessageBoxCall&) {
        titlesDuringBoxes.push_back(window.GetWindowText());
        return IDOK;
    };
    Run({Call("X", "t4", "", "4")});
    EXPECT_EQ(titlesDuringBoxes, std::vector<std::string>{"title before"});
    EXPECT_EQ(window.GetWindowText(), recovery_test::RecoveryTitleText(1));
}

TEST_F(Merge, NothingKept)
{
    Load({Call("A", "t1", "", "1")});
    Run({Call("A", "t1", "", "1"), Call("B", "t2", "", "-1")});
    EXPECT_EQ(list.GetItemCount(), 1);
    EXPECT_EQ(CallRecordTable.recordCount, 1);
    EXPECT_EQ(Messages(), std::vector<std::string>{kNothingRecovered});
    EXPECT_EQ(window.GetWindowText(), recovery_test::RecoveryTitleText(0));
}

TEST_F(Merge, EmptyTableKeepsEverythingFromRowZero)
{
    Run({Call("X", "t1", "", "1"), Call("Y", "t1", "", "1")});
    EXPECT_EQ(list.GetItemText(0, 0), "X");
    EXPECT_EQ(list.GetItemText(1, 0), "Y");
    EXPECT_EQ(CallRecordTable.recordCount, 2);
}

TEST_F(Merge, NeverWritesPastTheLastRecord)
{
    std::vector<CallRecord> live;
    for (int i = 0; i < kCallRecordCapacity - 2; ++i) {
        live.push_back(Call("L", std::to_string(i), "", "1"));
    }
    Load(live);
    Run({Call("X", "x1", "", "1"), Call("Y", "x2", "", "1"), Call("Z", "x3", "", "1")});
    EXPECT_EQ(CallRecordTable.recordCount, kCallRecordCapacity);
    EXPECT_EQ(CallRecordTable.records[kCallRecordCapacity - 1].name, "Y");
    EXPECT_EQ(list.GetItemCount(), kCallRecordCapacity);
    EXPECT_EQ(Messages(), (std::vector<std::string>{ResultText(2), kTableFull}));
    EXPECT_EQ(window.GetWindowText(), recovery_test::RecoveryTitleText(2));

    // With the table full, remnants it has no room for get the table-full message alone
    // (not also "nothing to recover"); duplicates alone still get "nothing to recover".
    modal.ui.messageBoxes.clear();
    Run({Call("L", "0", "", "1"), Call("W", "x4", "", "1")});
    EXPECT_EQ(Messages(), std::vector<std::string>{kTableFull});
    EXPECT_EQ(window.GetWindowText(), recovery_test::RecoveryTitleText(0));
    modal.ui.messageBoxes.clear();
    Run({Call("L", "0", "", "1")});
    EXPECT_EQ(Messages(), std::vector<std::string>{kNothingRecovered});
    EXPECT_EQ(CallRecordTable.recordCount, kCallRecordCapacity);
    EXPECT_EQ(list.GetItemCount(), kCallRecordCapacity);
}

// The two numbers give the same 64-bit key hash with this time and location (found by a
// collision search): a hash hit is only a duplicate when all three texts are equal.
TEST_F(Merge, RecordWhoseKeyHashesAlikeIsKept)
{
    const std::string time = "2020-01-06 10:40:00";
    Load({Call("A", time, "北京", "06063622222181446960")});
    Run({Call("X", time, "北京", "13819371077998015058"),
         Call("Y", time, "北京", "06063622222181446960")});
    ASSERT_EQ(CallRecordTable.recordCount, 2);
    EXPECT_EQ(CallRecordTable.records[1].name, "X");
    EXPECT_EQ(Messages(), std::vector<std::string>{ResultText(1)});
}

// The hash lookup must give exactly the plain linear search's answer.
TEST_F(Merge, AgreesWithTheLinearSearch)
{
    std::mt19937 random(7);
    const auto pick = [&](const std::vector<std::string>& from) {
        return from[random() % from.size()];
    };
    const std::vector<std::string> times = {"t1", "t2", "t3", ""};
    const std::vector<std::string> places = {"", "L", std::string("L\0x", 3)};
    const std::vector<std::string> numbers = {"1", "2", "-1", std::string("1\0", 2)};
    std::vector<CallRecord> live;
    std::vector<CallRecord> recovered;
    for (int i = 0; i < 40; ++i) {
        live.push_back(Call("L", pick(times), pick(places), pick(numbers)));
        recovered.push_back(Call("R", pick(times), pick(places), pick(numbers),
                                 static_cast<std::int32_t>(random() % 3 == 0)));
    }
    const auto same = [](const std::string& a, const std::string& b) {
        return std::strcmp(a.c_str(), b.c_str()) == 0;
    };
    std::vector<std::string> expected;
    for (const CallRecord& r : recovered) {
        bool duplicate = false;
        for (const CallRecord& l : live) {
            duplicate = duplicate || (r.overlong == 0 && same(l.callTime, r.callTime) &&
                                      same(l.location, r.location) && same(l.number, r.number));
        }
        if (!duplicate && !same(r.number, "-1")) {
            expected.push_back(r.callTime + "|" + r.location + "|" + r.number);
        }
    }
    Load(live);
    Run(recovered);
    std::vector<std::string> got;
    for (int i = 40; i < CallRecordTable.recordCount; ++i) {
        const CallRecord& r = CallRecordTable.records[i];
        got.push_back(r.callTime + "|" + r.location + "|" + r.number);
    }
    EXPECT_EQ(got, expected);
    EXPECT_GT(got.size(), 0u);
    EXPECT_LT(got.size(), recovered.size());
}

}  // namespace
