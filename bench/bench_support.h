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

// Sets the zone for every conversion that follows.
inline void UseZone(const Zone& zone)
{
    if (zone.tz != nullptr) {
        setenv("TZ", zone.tz, 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

// The resident memory a piece of work adds at its peak: the kernel's high-water mark
// (VmHWM) when it is done, less the resident size before it, the mark having been reset
// to that size by writing 5 to /proc/self/clear_refs. Construct it right before the work.
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
