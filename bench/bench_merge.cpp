// The merge of 100,000 recovered records against the records in use: all duplicates of
// 100,000 live records (the lookup alone; the full table takes no more), and 50,000
// duplicates plus 50,000 new records against 50,000 live ones (lookup and appends).
// The main window is window-less, its list keeps rows without a view.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/testing.h"
#include "platform/ui/wnd.h"
#include "recovery/main_window_ids.h"
#include "recovery/merge.h"
#include "tests/recovery/recovery_test_support.h"

namespace {

std::string Padded(int value, std::size_t width)
{
    std::string text = std::to_string(value);
    return std::string(width > text.size() ? width - text.size() : 0, '0') + text;
}

// Distinct calls with texts of a live row's lengths.
CallRecord MadeCall(int i)
{
    const std::string time = "2020-" + Padded(1 + i % 12, 2) + "-" + Padded(1 + i % 28, 2) +
                             " " + Padded(i % 24, 2) + ":" + Padded(i % 60, 2) + ":" +
                             Padded((i / 60) % 60, 2);
    const std::string number = "138" + Padded(i, 8);
    CallRecord r;
    r.name = "name";
    r.callType = "type";
    r.callTime = time;
    r.duration = "35";
    r.location = "location";
    r.number = number;
    return r;
}

// The window-less main window of the tests, with the live records loaded.
struct MainWindow : recovery_test::MainWindowWithList
{
    void Load(int live)
    {
        CallRecordTable.Reset();
        list.DeleteAllItems();
        for (int i = 0; i < live; ++i) {
            CallRecordTable.records[i] = MadeCall(i);
            list.InsertItem(i, CallRecordTable.records[i].name.c_str());
        }
        CallRecordTable.recordCount = live;
        CallRecordTable.firstRecoveredIndex = live;
    }
};

void RunMerge(benchmark::State& state, int live, int duplicates, int fresh)
{
    ScopedModalUi modal;
    MainWindow main;
    std::vector<CallRecord> recovered;
    for (int i = 0; i < duplicates + fresh; ++i) {
        recovered.push_back(MadeCall(i < duplicates ? i : live + i));
    }
    for (auto _ : state) {
        state.PauseTiming();
        main.Load(live);
        modal.ui.messageBoxes.clear();
        state.ResumeTiming();
        DecodedRecords records(recovered.data());
        MergeRecoveredRecords(&main.window, records, static_cast<std::int32_t>(recovered.size()));
    }
    state.counters["appended"] = CallRecordTable.recordCount - live;
    CallRecordTable.Reset();
}

void BM_Merge100kAllDuplicatesOf100kLive(benchmark::State& state)
{
    RunMerge(state, 100000, 100000, 0);
}

void BM_Merge100kHalfNewAgainst50kLive(benchmark::State& state)
{
    RunMerge(state, 50000, 50000, 50000);
}

BENCHMARK(BM_Merge100kAllDuplicatesOf100kLive)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Merge100kHalfNewAgainst50kLive)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
