// Scanner passes over a 100 MB Android contacts2.db full of calls, a third of them
// deleted, against the floor of any pass: finding every zero byte of the same buffer
// with memchr (every candidate starts at a zero byte). Reports bytes per second and,
// as "x_floor", each pass's time over the floor's.
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "recovery/raw_file.h"
#include "recovery/scanner.h"
#include "tests/recovery/recovery_test_support.h"
#include "tests/support/fixtures.h"

namespace {

constexpr int kCalls = 1250000;   // about 105 MB with 4096-byte pages
const char kDatabasePath[] = "/tmp/peldmark-bench-scan/contacts2.db";

// The database, built once and kept in /tmp for later runs.
const std::string& DatabasePath()
{
    static const std::string path = [] {
        struct stat info {};
        if (stat(kDatabasePath, &info) != 0 || info.st_size < 100 * 1000 * 1000) {
            mkdir("/tmp/peldmark-bench-scan", 0755);
            std::vector<fixtures::AndroidCall> calls = fixtures::GeneratedAndroidCalls(kCalls);
            for (std::size_t i = 1; i < calls.size(); i += 3) {
                calls[i].deleted = true;
            }
            fixtures::BuildAndroidDatabase(kDatabasePath, fixtures::AndroidLayout::Calls40, calls);
        }
        recovery_test::SetSchemaFromLayout(
            ColumnSchema.android, fixtures::AndroidLayoutColumns(fixtures::AndroidLayout::Calls40));
        return std::string(kDatabasePath);
    }();
    return path;
}

const RawFileBytes& Raw()
{
    static const RawFileBytes raw(DatabasePath());
    return raw;
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

// The floor's time per pass in seconds, best of five.
double FloorSeconds()
{
    static const double seconds = [] {
        double best = 1e9;
        for (int i = 0; i < 5; ++i) {
            const auto start = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(CountZerosWithMemchr(Raw().View()));
            best = std::min(best, std::chrono::duration<double>(
                                      std::chrono::steady_clock::now() - start).count());
        }
        return best;
    }();
    return seconds;
}

template <typename Pass>
void RunTimed(benchmark::State& state, Pass pass)
{
    const RawBuffer buffer = Raw().View();
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        pass(buffer);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * buffer.fileLength);
    state.counters["MB"] = buffer.fileLength / 1e6;
    state.counters["x_floor"] = total / state.iterations() / FloorSeconds();
}

void BM_MemchrFloor(benchmark::State& state)
{
    std::int64_t zeros = 0;
    RunTimed(state, [&](const RawBuffer& buffer) { zeros = CountZerosWithMemchr(buffer); });
    state.counters["zeros"] = static_cast<double>(zeros);
}

void BM_CountPass(benchmark::State& state)
{
    std::int32_t accepted = 0;
    RunTimed(state, [&](const RawBuffer& buffer) {
        accepted = WalkRawBuffer(buffer, CallLogVariant::AndroidContacts2Db, nullptr, 0, nullptr);
    });
    state.counters["accepted"] = accepted;
}

// The fill pass's walk keeping N candidates (no name boxes: no owner window).
void BM_FillPass(benchmark::State& state)
{
    const RawBuffer buffer = Raw().View();
    const std::int32_t n =
        WalkRawBuffer(buffer, CallLogVariant::AndroidContacts2Db, nullptr, 0, nullptr);
    RunTimed(state, [&](const RawBuffer& raw) {
        std::vector<AcceptedCandidate> accepted;
        accepted.reserve(static_cast<std::size_t>(n));
        benchmark::DoNotOptimize(WalkRawBuffer(raw, CallLogVariant::AndroidContacts2Db,
                                               &accepted, n, nullptr));
    });
    state.counters["records"] = n;
}

// The count pass as the Recover command runs it: raw read of the file included.
void BM_ScanDeletedRecordsCountPass(benchmark::State& state)
{
    const std::string path = DatabasePath();
    std::int32_t counter = 0;
    RunTimed(state, [&](const RawBuffer&) {
        counter = 0;
        ScanDeletedRecords(counter, nullptr, path);
    });
    state.counters["accepted"] = counter;
}

// With --benchmark_repetitions=N, "min" is the figure least disturbed by other load.
double Minimum(const std::vector<double>& values)
{
    return *std::min_element(values.begin(), values.end());
}

BENCHMARK(BM_MemchrFloor)->Unit(benchmark::kMillisecond)->UseRealTime()
    ->ComputeStatistics("min", Minimum);
BENCHMARK(BM_CountPass)->Unit(benchmark::kMillisecond)->UseRealTime()
    ->ComputeStatistics("min", Minimum);
BENCHMARK(BM_FillPass)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ScanDeletedRecordsCountPass)->Unit(benchmark::kMillisecond)->UseRealTime()
    ->ComputeStatistics("min", Minimum);

}  // namespace

// The tests' zone: with TZ unset, glibc looks at /etc/localtime at every conversion.
int main(int argc, char** argv)
{
    setenv("TZ", "CST-8", 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
