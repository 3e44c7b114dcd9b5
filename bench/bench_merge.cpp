// The merge of 100,000 recovered records against the records in use: all duplicates of
// 100,000 live records (the lookup alone; the full table takes no more), and 50,000
// duplicates plus 50,000 new records against 50,000 live ones (lookup and appends).
// The main window is window-less, its list keeps rows without a view. Each figure with
// TZ unset and with TZ=CST-8, as every benchmark takes them. Target: under 100 ms.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "tests/support/scripted_modal_ui.h"
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

void RunMerge(benchmark::State& state, const bench::Zone& zone, const char* name, int live,
              int duplicates, int fresh)
{
    bench::UseZone(zone);
    ScopedModalUi modal;
    MainWindow main;
    std::vector<CallRecord> recovered;
    for (int i = 0; i < duplicates + fresh; ++i) {
        recovered.push_back(MadeCall(i < duplicates ? i : live + i));
    }
    const double best = bench::BestSeconds(
        state,
        [&] {
            main.Load(live);
            modal.ui.messageBoxes.clear();
        },
        [&] {
            DecodedRecords records(recovered.data());
            MergeRecoveredRecords(&main.window, records,
                                  static_cast<std::int32_t>(recovered.size()));
        });
    state.counters["appended"] = CallRecordTable.recordCount - live;
    bench::Figures().push_back({name, zone.label, best * 1e3, "", ""});
    CallRecordTable.Reset();
}

}  // namespace

int main(int argc, char** argv)
{
    struct Case { const char* id; const char* name; int live; int duplicates; int fresh; };
    static const Case kCases[] = {
        {"merge/100k_all_duplicates_of_100k_live", "merge, 100,000 x 100,000 live", 100000,
         100000, 0},
        {"merge/100k_half_new_against_50k_live", "merge, 100,000 (half new) x 50,000 live",
         50000, 50000, 50000},
    };
    for (const Case& c : kCases) {
        for (const bench::Zone& zone : bench::kZones) {
            benchmark::RegisterBenchmark((std::string(c.id) + "/" + zone.label).c_str(),
                                         [c, zone](benchmark::State& s) {
                                             RunMerge(s, zone, c.name, c.live, c.duplicates,
                                                      c.fresh);
                                         })
                ->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
        }
    }
    return bench::RunAndSummarize(argc, argv);
}
