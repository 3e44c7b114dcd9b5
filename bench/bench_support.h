// What the benchmarks share: the two time zones every figure is taken in, timing of a
// piece of work apart from its preparation, the memory it adds at its peak, and the
// summary table printed at the end of a run.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/crt.h"

namespace bench {

// TZ unset is how users run the program: glibc then consults /etc/localtime for the
// zone, at every conversion unless the platform reads it once per command. TZ=CST-8 is
// the tests' zone (UTC+8), which never needs the file.
struct Zone
{
    const char* label;
    const char* tz;   // null: unset
};
inline const Zone kZones[] = {{"TZ=unset", nullptr}, {"TZ=CST-8", "CST-8"}};

// The zone with that label; the first when none has it.
inline const Zone& ZoneLabelled(const std::string& label)
{
    for (const Zone& zone : kZones) {
        if (label == zone.label) {
            return zone;
        }
    }
    return kZones[0];
}

// Sets the zone for every conversion that follows.
inline void UseZone(const Zone& zone)
{
    if (zone.tz != nullptr) {
        setenv("TZ", zone.tz, 1);
    } else {
        unsetenv("TZ");
    }
    _tzset();   // as each command does at its start
}

// The resident memory a piece of work adds at its peak: the kernel's high-water mark
// (VmHWM) when it is done, less the resident size before it, the mark having been reset
// to that size by writing 5 to /proc/self/clear_refs. Construct it right before the work,
// in a process whose heap holds no freed memory the work could reuse unseen (a fresh
// one: see PeakInFreshProcess).
class PeakMemory
{
public:
    PeakMemory()
    {
        std::ofstream("/proc/self/clear_refs") << "5";
        m_before = StatusBytes("VmRSS:");
    }
    // -1 when the kernel does not report the figures.
    std::int64_t Bytes() const
    {
        const std::int64_t peak = StatusBytes("VmHWM:");
        return peak < 0 || m_before < 0 ? -1 : peak - m_before;
    }

private:
    static std::int64_t StatusBytes(const char* field)
    {
        constexpr std::int64_t kKilobyte = 1024;
        std::ifstream status("/proc/self/status");
        std::string name;
        std::int64_t kilobytes = 0;
        while (status >> name) {
            if (name == field && status >> kilobytes) {
                return kilobytes * kKilobyte;
            }
        }
        return -1;
    }
    std::int64_t m_before = -1;
};

// Runs this program again as `command` (its own path is prepended) and returns the
// number the child prints after "peak ": the peak memory of a piece of work measured in
// a fresh process. -1 when the child gives none.
inline std::int64_t PeakInFreshProcess(const std::string& command)
{
    char self[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return -1;
    }
    FILE* child = popen(("'" + std::string(self) + "' " + command).c_str(), "r");
    if (child == nullptr) {
        return -1;
    }
    long long bytes = -1;
    char line[256];
    while (std::fgets(line, sizeof line, child) != nullptr) {
        std::sscanf(line, "peak %lld", &bytes);
    }
    pclose(child);
    return bytes;
}

// Times `work` once per iteration of `state` (`prepare` runs before each, untimed) and
// returns the best time in seconds: on a shared machine the figure least disturbed.
inline double BestSeconds(benchmark::State& state, const std::function<void()>& prepare,
                          const std::function<void()>& work)
{
    double best = 1e30;
    for (auto _ : state) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        work();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        best = std::min(best, seconds);
    }
    return best;
}

// One line of the summary table.
struct Figure
{
    std::string name;
    std::string zone;
    double milliseconds;
    std::string ratios;   // e.g. "0.62x floor"
    std::string memory;   // peak memory beside the file size, or empty
};

inline std::vector<Figure>& Figures()
{
    static std::vector<Figure> figures;
    return figures;
}

inline void PrintFigures()
{
    std::printf("\n| figure | zone | best ms | ratio | peak memory |\n|---|---|---|---|---|\n");
    for (const Figure& f : Figures()) {
        std::printf("| %s | %s | %.1f | %s | %s |\n", f.name.c_str(), f.zone.c_str(),
                    f.milliseconds, f.ratios.c_str(), f.memory.c_str());
    }
}

// Runs the registered benchmarks, then prints the summary.
inline int RunAndSummarize(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintFigures();
    return 0;
}

}  // namespace bench
