// The scanner at real sizes, every figure with TZ unset and with TZ=CST-8, beside the
// floor of any pass over the same file measured in the same run: finding every zero
// byte with memchr (every candidate starts at a zero byte).
//  - Count pass and fill pass over a 100 MB contacts2.db of 1,250,000 calls, a third of
//    them deleted.
//  - The whole Recover as the command runs it (the raw read, both passes, the merge,
//    the list append into the window-less main window of the tests), after the file's
//    live rows were loaded as Open loads them: on a phone-sized contacts2.db (5,000
//    calls in about 4 MB) and on the 100 MB file, whose first 100,000 live rows fill the
//    table; and on the 100 MB file with an empty table, where the merge appends 100,000
//    records. Name boxes are cancelled at the first, as a user facing thousands does.
//  - 100 MB of zeros behind a valid header (a 6.0 calls table), count pass and whole
//    Recover, against the 100 MB file; and the count pass with a table whose first
//    columns all take NULL, so that an all-zero header gets past the marking.
//  - The memory each Recover adds at its peak, beside the file's size, measured in a
//    fresh process (this program run again with --peak-of-recover), whose heap holds no
//    freed memory that the Recover could reuse unseen.
// The files are built once in /tmp/peldmark-bench-scan and kept for later runs.
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "tests/support/scripted_modal_ui.h"
#include "recovery/raw_file.h"
#include "recovery/scanner.h"
#include "tests/recovery/recovery_test_support.h"
#include "tests/support/bench_fixtures.h"
#include "tests/support/fixtures.h"

namespace {

const std::string kFolder = "/tmp/peldmark-bench-scan";
constexpr int kCalls = 1250000;   // about 105 MB with 4096-byte pages
constexpr std::int64_t kZeroBytes = 100 * 1000 * 1000;
constexpr int kCallsBeforeZeros = 90;
constexpr double kMegabyte = 1e6;

// `path`, built by `build` unless a file of at least `leastBytes` is there already.
std::string BuiltFile(const std::string& folder, const std::string& name, std::int64_t leastBytes,
                      const std::function<void(const std::string&)>& build)
{
    const std::string path = folder + "/" + name;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || info.st_size < leastBytes) {
        mkdir(kFolder.c_str(), 0755);
        mkdir(folder.c_str(), 0755);
        build(path);
    }
    return path;
}

const std::string& LargeFile()
{
    static const std::string path =
        BuiltFile(kFolder, "contacts2.db", 100 * 1000 * 1000, [](const std::string& file) {
            std::vector<fixtures::AndroidCall> calls = fixtures::GeneratedAndroidCalls(kCalls);
            for (std::size_t i = 1; i < calls.size(); i += 3) {
                calls[i].deleted = true;
            }
            fixtures::BuildAndroidDatabase(file, fixtures::AndroidLayout::Calls40, calls);
        });
    return path;
}

const std::string& PhoneFile()
{
    static const std::string path =
        BuiltFile(kFolder + "/phone", "contacts2.db", 3 * 1000 * 1000,
                  fixtures::BuildPhoneSizedContacts2);
    return path;
}

const std::string& ZeroFile()
{
    static const std::string path =
        BuiltFile(kFolder + "/zeros", "contacts2.db", kZeroBytes, [](const std::string& file) {
            std::vector<fixtures::AndroidCall> calls =
                fixtures::GeneratedAndroidCalls(kCallsBeforeZeros);
            for (std::size_t i = 1; i < calls.size(); i += 3) {
                calls[i].deleted = true;
            }
            fixtures::BuildAndroidDatabase(file, fixtures::AndroidLayout::Calls60, calls);
            fixtures::AppendZeros(file, kZeroBytes);
        });
    return path;
}

std::int64_t CountZerosWithMemchr(const RawBuffer& buffer)
{
    std::int64_t zeros = 0;
    const unsigned char* at = buffer.data;
    const unsigned char* const end = buffer.data + buffer.fileLength;
    while (at < end) {
        const void* zero = std::memchr(at, 0, end - at);
        if (zero == nullptr) {
            break;
        }
        ++zeros;
        at = static_cast<const unsigned char*>(zero) + 1;
    }
    return zeros;
}

// The floor of a file: its best memchr pass of five, measured once per run.
double FloorSeconds(const std::string& path)
{
    static std::map<std::string, double> floors;
    const auto known = floors.find(path);
    if (known != floors.end()) {
        return known->second;
    }
    const RawFileBytes raw(path);
    double best = 1e30;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(CountZerosWithMemchr(raw.View()));
        best = std::min(best, std::chrono::duration<double>(
                                  std::chrono::steady_clock::now() - start).count());
    }
    return floors[path] = best;
}

std::int64_t FileBytes(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : 0;
}

std::string Ratio(double seconds, double than, const char* what)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2fx %s", seconds / than, what);
    return text;
}

// Records a figure of a pass over `path` in the summary and as counters, with its ratio
// to the floor of `floorPath`.
void Report(benchmark::State& state, const std::string& name, const bench::Zone& zone,
            double seconds, const std::string& path, const std::string& floorPath,
            const std::string& memory = "")
{
    const double floor = FloorSeconds(floorPath);
    state.counters["x_floor"] = seconds / floor;
    state.counters["MB_per_s"] = static_cast<double>(FileBytes(path)) / kMegabyte / seconds;
    const char* const floorName = floorPath == PhoneFile() ? "4 MB floor" : "100 MB floor";
    bench::Figures().push_back({name, zone.label, seconds * 1e3, Ratio(seconds, floor, floorName),
                                memory});
}

// A calls table whose first columns all take NULL, and whose date refuses it only in
// its seventh column: an all-zero header gets past the marking of three columns.
const std::vector<std::string> kNullFirstColumns = {
    "_id INTEGER", "new INTEGER", "is_read INTEGER", "numbertype INTEGER", "number TEXT",
    "state INTEGER", "date INTEGER", "duration INTEGER", "type INTEGER", "name TEXT"};

void BM_Floor(benchmark::State& state, const std::string& path, const char* name)
{
    const RawFileBytes raw(path);
    const double best = bench::BestSeconds(state, [] {}, [&] {
        benchmark::DoNotOptimize(CountZerosWithMemchr(raw.View()));
    });
    bench::Figures().push_back({name, "either", best * 1e3,
                                Ratio(best, FloorSeconds(path), "best of five"), ""});
}

// The count pass, or the fill pass, over a file in memory.
void BM_Pass(benchmark::State& state, const bench::Zone& zone, const std::string& path,
             const std::vector<std::string>& columns, bool fill, const std::string& name)
{
    bench::UseZone(zone);
    recovery_test::SetSchemaFromLayout(ColumnSchema.android, columns);
    const RawFileBytes raw(path);
    const RawBuffer buffer = raw.View();
    const CallLogVariant variant = CallLogVariant::AndroidContacts2Db;
    const std::int32_t n = WalkRawBuffer(buffer, variant, nullptr, 0, nullptr);
    std::vector<AcceptedCandidate> accepted;
    const double best = bench::BestSeconds(
        state, [&] { std::vector<AcceptedCandidate>().swap(accepted); },
        [&] {
            if (fill) {
                accepted.reserve(static_cast<std::size_t>(n));
                WalkRawBuffer(buffer, variant, &accepted, n, nullptr);
            } else {
                benchmark::DoNotOptimize(WalkRawBuffer(buffer, variant, nullptr, 0, nullptr));
            }
        });
    state.counters["accepted"] = n;
    Report(state, name, zone, best, path, LargeFile());
}

// The window-less main window with the file's live rows loaded (or none), put back as
// it was before every Recover.
class LoadedMainWindow
{
public:
    LoadedMainWindow(const std::string& path, bool keepLiveRows)
    {
        recovery_test::LoadLiveRecords(path, m_main);
        if (!keepLiveRows) {
            CallRecordTable.Reset();
            m_main.list.DeleteAllItems();
        }
        m_live = CallRecordTable.recordCount;
        m_modal.ui.answerMessageBox = [](const ScriptedModalUi::MessageBoxCall& box) {
            return box.type == MB_OKCANCEL ? IDCANCEL : IDOK;
        };
    }
    ~LoadedMainWindow() { CallRecordTable.Reset(); }

    void PutBack()
    {
        for (int i = m_live; i < CallRecordTable.recordCount; ++i) {
            CallRecordTable.records[i].ClearTexts();
        }
        CallRecordTable.recordCount = m_live;
        CallRecordTable.firstRecoveredIndex = m_live;
        m_main.list.DeleteAllItems();
        for (int i = m_live - 1; i >= 0; --i) {
            m_main.list.InsertItem(m_main.list.GetItemCount(),
                                   CallRecordTable.records[i].name.c_str());
        }
        m_modal.ui.messageBoxes.clear();
    }

    // The Recover command: one raw read, both calls of the scanner.
    void Recover(const std::string& path)
    {
        const RawFileBytes file(path);
        std::int32_t counter = 0;
        ScanDeletedRecords(counter, &m_main.window, file);
        ScanDeletedRecords(counter, &m_main.window, file);
    }

    int Appended() const { return CallRecordTable.recordCount - m_live; }

private:
    recovery_test::MainWindowWithList m_main;
    ScopedModalUi m_modal;
    int m_live = 0;
};

// The child's side of the peak memory of a Recover: the main window loaded as for the
// benchmark in this fresh process, then one Recover, whose peak is printed.
const char kPeakOfRecover[] = "--peak-of-recover";

int PrintPeakOfRecover(const std::string& path, bool keepLiveRows, const bench::Zone& zone)
{
    bench::UseZone(zone);
    LoadedMainWindow main(path, keepLiveRows);
    const bench::PeakMemory memory;
    main.Recover(path);
    std::printf("peak %lld\n", static_cast<long long>(memory.Bytes()));
    return 0;
}

void BM_Recover(benchmark::State& state, const bench::Zone& zone, const std::string& path,
                bool keepLiveRows, const std::string& floorPath, const std::string& name)
{
    const double peak = static_cast<double>(bench::PeakInFreshProcess(
        std::string(kPeakOfRecover) + " '" + path + "' " + (keepLiveRows ? "1 " : "0 ") +
        zone.label));
    bench::UseZone(zone);
    LoadedMainWindow main(path, keepLiveRows);
    main.Recover(path);
    const int appended = main.Appended();
    const double best = bench::BestSeconds(state, [&] { main.PutBack(); },
                                           [&] { main.Recover(path); });
    const double fileBytes = static_cast<double>(FileBytes(path));
    state.counters["appended"] = appended;
    state.counters["peak_MB"] = peak / kMegabyte;
    state.counters["peak_per_file"] = peak / fileBytes;
    char memoryText[96];
    std::snprintf(memoryText, sizeof memoryText, "%.1f MB = %.2fx the file (%.1f MB)",
                  peak / kMegabyte, peak / fileBytes, fileBytes / kMegabyte);
    Report(state, name, zone, best, path, floorPath, memoryText);
}

void Register(const std::string& name, const std::function<void(benchmark::State&)>& run,
              int iterations)
{
    benchmark::RegisterBenchmark(name.c_str(), run)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(iterations);
}

void RegisterAll()
{
    using fixtures::AndroidLayout;
    using fixtures::AndroidLayoutColumns;
    Register("floor/100MB", [](benchmark::State& s) {
        BM_Floor(s, LargeFile(), "memchr floor, 100 MB file");
    }, 5);
    Register("floor/4MB", [](benchmark::State& s) {
        BM_Floor(s, PhoneFile(), "memchr floor, 4 MB file");
    }, 20);
    for (const bench::Zone& zone : bench::kZones) {
        const std::string tz = std::string("/") + zone.label;
        Register("count_pass/100MB" + tz, [zone](benchmark::State& s) {
            BM_Pass(s, zone, LargeFile(), AndroidLayoutColumns(AndroidLayout::Calls40), false,
                    "count pass, 100 MB");
        }, 10);
        Register("fill_pass/100MB" + tz, [zone](benchmark::State& s) {
            BM_Pass(s, zone, LargeFile(), AndroidLayoutColumns(AndroidLayout::Calls40), true,
                    "fill pass, 100 MB");
        }, 10);
        Register("recover/4MB" + tz, [zone](benchmark::State& s) {
            BM_Recover(s, zone, PhoneFile(), true, PhoneFile(), "Recover, 4 MB, after Open");
        }, 30);
        Register("recover/100MB" + tz, [zone](benchmark::State& s) {
            BM_Recover(s, zone, LargeFile(), true, LargeFile(), "Recover, 100 MB, after Open");
        }, 5);
        Register("recover/100MB_empty_table" + tz, [zone](benchmark::State& s) {
            BM_Recover(s, zone, LargeFile(), false, LargeFile(),
                       "Recover, 100 MB, empty table (100,000 appended)");
        }, 5);
        Register("count_pass/100MB_zeros" + tz, [zone](benchmark::State& s) {
            BM_Pass(s, zone, ZeroFile(), AndroidLayoutColumns(AndroidLayout::Calls60), false,
                    "count pass, 100 MB zeros");
        }, 10);
        Register("count_pass/100MB_zeros_null_first_columns" + tz, [zone](benchmark::State& s) {
            BM_Pass(s, zone, ZeroFile(), kNullFirstColumns, false,
                    "count pass, 100 MB zeros, first columns taking NULL");
        }, 10);
        Register("recover/100MB_zeros" + tz, [zone](benchmark::State& s) {
            BM_Recover(s, zone, ZeroFile(), true, LargeFile(), "Recover, 100 MB zeros, after Open");
        }, 5);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    constexpr int kPeakArguments = 5;   // the flag, the path, keep live rows, the zone
    if (argc == kPeakArguments && std::strcmp(argv[1], kPeakOfRecover) == 0) {
        return PrintPeakOfRecover(argv[2], std::strcmp(argv[3], "1") == 0,
                                  bench::ZoneLabelled(argv[4]));
    }
    RegisterAll();
    return bench::RunAndSummarize(argc, argv);
}
