// _tzset and _localtime64 over glibc's zone, converting from a timeline of the zone's
// offsets learned with localtime_r; and the multibyte string functions of code page 936:
// a byte 0x81..0xFE leads a double-byte character whose trail byte (which may be an
// ASCII letter) is never changed on its own.
#include "platform/crt.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace {

bool isLeadByte936(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

template <typename ChangeCase>
errno_t changeCase(unsigned char* str, std::size_t sizeInBytes, ChangeCase change)
{
    if (str == nullptr || sizeInBytes == 0)
        return errno = EINVAL;
    const std::size_t length = strnlen(reinterpret_cast<const char*>(str), sizeInBytes);
    if (length == sizeInBytes)   // no terminator inside the buffer
        return errno = EINVAL;
    for (std::size_t i = 0; i < length; ++i) {
        if (isLeadByte936(str[i])) {
            if (i + 1 < length)
                ++i;   // the trail byte goes with its lead
        } else {
            str[i] = change(str[i]);
        }
    }
    return 0;
}

unsigned char lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }
unsigned char upper(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

}  // namespace

int _mbscmp(const unsigned char* left, const unsigned char* right)
{
    if (left == nullptr || right == nullptr) {
        errno = EINVAL;
        return INT_MAX;   // the runtime's comparison-error value
    }
    while (*left != 0 && *left == *right) {
        ++left;
        ++right;
    }
    return static_cast<int>(*left) - static_cast<int>(*right);
}

errno_t _mbslwr_s(unsigned char* str, std::size_t sizeInBytes)
{
    return changeCase(str, sizeInBytes, lower);
}

errno_t _mbsupr_s(unsigned char* str, std::size_t sizeInBytes)
{
    return changeCase(str, sizeInBytes, upper);
}

// ---- Local time ------------------------------------------------------------------------
//
// glibc's localtime_r costs a lock, a search of the zone's transitions and a breakdown
// of the time per call (90 to 600 ns), and tzset() a stat of /etc/localtime when TZ is
// unset; the fill pass of a recovery converts over a million times. So _localtime64 asks
// localtime_r only to learn the zone: which wall-clock offset, DST flag, tm_gmtoff and
// abbreviation hold over which seconds (a ZoneTimeline). A conversion then breaks the
// second plus its offset down itself, as localtime_r does. That is exact because
//  - between two changes of the zone, localtime_r's fields are the breakdown of UTC
//    seconds plus one constant offset (leap seconds, in right/ zones, are changes too);
//  - the timeline knows every change within the seconds it covers (kCheckedSpanSeconds);
//  - the second before each change is asked of localtime_r itself, so that a leap second
//    reads :60 as localtime_r gives it.

namespace {

// 3000-12-31 23:59:59 UTC: the last second the Windows runtime converts.
constexpr __time64_t kLastConvertibleSecond = 32535215999LL;

constexpr std::int64_t kSecondsPerMinute = 60;
constexpr std::int64_t kSecondsPerHour = 3600;
constexpr std::int64_t kSecondsPerDay = 86400;
constexpr int kTmYearBase = 1900;      // struct tm counts years from 1900, months from 0
constexpr int kDaysPerWeek = 7;
constexpr int kThursday = 4;           // 1970-01-01; tm_wday counts from Sunday = 0

// The zone is learned a day at a time: when localtime_r gives one state at both ends of a
// day, the zone keeps that state through the day; when it gives two, bisection finds the
// change, and every change among the seconds it probes. This holds as long as a zone
// never changes twice within a day: in tzdata 2025b the closest two changes from 1970 to
// 3000 lie 6.9 days apart (America/Cambridge_Bay, 2000), and real POSIX TZ rules keep
// summer time for weeks. A TZ whose summer time lasts less than a day is beyond it.
constexpr std::int64_t kCheckedSpanSeconds = kSecondsPerDay;

// Division rounding toward minus infinity, and its remainder (0 .. divisor - 1), for a
// positive divisor.
std::int64_t floorDiv(std::int64_t value, std::int64_t divisor)
{
    const std::int64_t quotient = value / divisor;
    return quotient * divisor > value ? quotient - 1 : quotient;
}
std::int64_t floorMod(std::int64_t value, std::int64_t divisor)
{
    return value - floorDiv(value, divisor) * divisor;
}

// ---- The proleptic Gregorian calendar, by days since 1970-01-01 ----
//
// Years are counted here from 1 March, so that a leap day ends its year. From 1 March
// 2000 on the calendar repeats every 400 years (146,097 days): three centuries of 36,524
// days and a fourth of 36,525; in a century, four-year spans of 1,461 days (the last one
// a day shorter in the first three centuries); in a span, three years of 365 days and a
// fourth of 366.
constexpr std::int64_t kDays1970To2000March1 = 11017;   // 10,957 to 2000-01-01, + 31 + 29
constexpr std::int64_t kDaysPer400Years = 146097;
constexpr std::int64_t kDaysPerCentury = 36524;
constexpr std::int64_t kDaysPer4Years = 1461;
constexpr std::int64_t kDaysPerYear = 365;
constexpr int kMonthsPerYear = 12;
// Days from 1 March to the first of each month, March first; January is index 10.
constexpr int kDaysBeforeMonthFromMarch[kMonthsPerYear] = {0,   31,  61,  92,  122, 153,
                                                           184, 214, 245, 275, 306, 337};
constexpr int kJanuaryFromMarch = 10;
constexpr int kMarch = 3;
constexpr int kDaysJanuaryAndFebruary = 59;   // in a common year

bool isLeapYear(std::int64_t year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

struct CivilDate
{
    std::int64_t year;
    int month;       // 1 .. 12
    int day;         // 1 .. 31
    int dayOfYear;   // 0 .. 365, 0 = 1 January
};

CivilDate civilDateOfDay(std::int64_t daysSince1970)
{
    std::int64_t day = daysSince1970 - kDays1970To2000March1;
    const std::int64_t eras = floorDiv(day, kDaysPer400Years);
    day -= eras * kDaysPer400Years;
    // The last day of an era belongs to its fourth century, of a span to its fourth year.
    const std::int64_t centuries = std::min<std::int64_t>(day / kDaysPerCentury, 3);
    day -= centuries * kDaysPerCentury;
    const std::int64_t spans = day / kDaysPer4Years;
    day -= spans * kDaysPer4Years;
    const std::int64_t years = std::min<std::int64_t>(day / kDaysPerYear, 3);
    day -= years * kDaysPerYear;   // now 0 .. 365 from 1 March
    int month = kMonthsPerYear - 1;
    while (kDaysBeforeMonthFromMarch[month] > day)
        --month;
    const bool janOrFeb = month >= kJanuaryFromMarch;
    CivilDate date;
    // Years from 1 March 2000; January and February belong to the next calendar year.
    date.year = 2000 + 400 * eras + 100 * centuries + 4 * spans + years + (janOrFeb ? 1 : 0);
    date.month = janOrFeb ? month - kJanuaryFromMarch + 1 : month + kMarch;
    date.day = static_cast<int>(day) - kDaysBeforeMonthFromMarch[month] + 1;
    date.dayOfYear = janOrFeb ? static_cast<int>(day) - kDaysBeforeMonthFromMarch[kJanuaryFromMarch]
                              : static_cast<int>(day) + kDaysJanuaryAndFebruary +
                                    (isLeapYear(date.year) ? 1 : 0);
    return date;
}

// The inverse of civilDateOfDay for a month of 1 .. 12.
std::int64_t dayOfCivilDate(std::int64_t year, int month, int day)
{
    const bool janOrFeb = month < kMarch;
    const std::int64_t years = year - 2000 - (janOrFeb ? 1 : 0);   // whole years from 1 March 2000
    const int monthFromMarch = janOrFeb ? month - 1 + kJanuaryFromMarch : month - kMarch;
    return kDays1970To2000March1 + years * kDaysPerYear + floorDiv(years, 4) -
           floorDiv(years, 100) + floorDiv(years, 400) +
           kDaysBeforeMonthFromMarch[monthFromMarch] + day - 1;
}

// Wall-clock seconds: the days since 1970-01-01 of a local date times 86,400, plus the
// time of day. Second 60 of a leap second counts as the next day's first.
std::int64_t wallSecondsOf(const struct tm& local)
{
    return dayOfCivilDate(std::int64_t{local.tm_year} + kTmYearBase, local.tm_mon + 1,
                          local.tm_mday) * kSecondsPerDay +
           local.tm_hour * kSecondsPerHour + local.tm_min * kSecondsPerMinute + local.tm_sec;
}

// Date, time of day, weekday and day of the year of a count of wall-clock seconds.
void breakDownWallSeconds(std::int64_t wallSeconds, struct tm& out)
{
    const std::int64_t days = floorDiv(wallSeconds, kSecondsPerDay);
    const int secondOfDay = static_cast<int>(wallSeconds - days * kSecondsPerDay);
    const CivilDate date = civilDateOfDay(days);
    out.tm_year = static_cast<int>(date.year - kTmYearBase);
    out.tm_mon = date.month - 1;
    out.tm_mday = date.day;
    out.tm_yday = date.dayOfYear;
    out.tm_wday = static_cast<int>(floorMod(days + kThursday, kDaysPerWeek));
    out.tm_hour = secondOfDay / kSecondsPerHour;
    out.tm_min = secondOfDay % kSecondsPerHour / kSecondsPerMinute;
    out.tm_sec = secondOfDay % kSecondsPerMinute;
}

// What the zone gives at one second besides the date and time: localtime_r's tm_isdst,
// tm_gmtoff and tm_zone (glibc keeps its abbreviations for the life of the process), and
// the wall-clock offset, wall-clock seconds minus UTC seconds. That is tm_gmtoff, but in
// a zone that counts leap seconds (right/...) it takes in the leap seconds so far too.
struct ZoneState
{
    std::int64_t wallOffsetSeconds;
    long gmtOffsetSeconds;
    int isDst;
    const char* abbreviation;
};

bool operator==(const ZoneState& a, const ZoneState& b)
{
    const bool sameAbbreviation =
        a.abbreviation == b.abbreviation ||
        (a.abbreviation != nullptr && b.abbreviation != nullptr &&
         std::strcmp(a.abbreviation, b.abbreviation) == 0);
    return a.wallOffsetSeconds == b.wallOffsetSeconds &&
           a.gmtOffsetSeconds == b.gmtOffsetSeconds && a.isDst == b.isDst && sameAbbreviation;
}

// Counts the _tzset calls; a thread's timeline learned under an older count is dropped.
std::atomic<unsigned> zoneReadings{0};

bool askLocaltime(std::int64_t seconds, struct tm& local)
{
    const time_t value = static_cast<time_t>(seconds);
    return localtime_r(&value, &local) != nullptr;
}

bool sampleZone(std::int64_t seconds, ZoneState& state)
{
    struct tm local {};
    if (!askLocaltime(seconds, local))
        return false;
    state = {wallSecondsOf(local) - seconds, local.tm_gmtoff, local.tm_isdst, local.tm_zone};
    return true;
}

// The zone's states over one stretch of seconds, [runs.front().first, m_lastChecked],
// checked against localtime_r: runs of one state each, in time order; a run lasts up to
// the next run's first second. It grows a day at a time toward the seconds asked for, so
// it holds every change of the zone within the stretch.
class ZoneTimeline
{
public:
    // Starts the stretch at `seconds`; false when localtime_r fails there.
    bool startAt(std::int64_t seconds);

    // Seconds from the stretch to `seconds` (0 inside it).
    std::int64_t distanceTo(std::int64_t seconds) const;

    // `out` := localtime_r's result for `seconds`, growing the stretch to it; false when
    // localtime_r fails.
    bool convert(std::int64_t seconds, struct tm& out);

private:
    struct Run
    {
        std::int64_t first;
        ZoneState state;
    };

    bool extendEarlier();
    bool extendLater();
    bool addChanges(std::int64_t before, const ZoneState& stateBefore, std::int64_t after,
                    const ZoneState& stateAfter, std::vector<Run>& changes) const;
    std::size_t runAt(std::int64_t seconds);
    bool lastBeforeChange(std::size_t run, std::int64_t seconds) const;

    std::vector<Run> m_runs;
    std::int64_t m_lastChecked = 0;
    std::size_t m_lastRun = 0;   // conversions tend to follow one another in time
};

std::int64_t ZoneTimeline::distanceTo(std::int64_t seconds) const
{
    if (seconds < m_runs.front().first)
        return m_runs.front().first - seconds;
    return seconds > m_lastChecked ? seconds - m_lastChecked : 0;
}

bool ZoneTimeline::convert(std::int64_t seconds, struct tm& out)
{
    while (seconds < m_runs.front().first) {
        if (!extendEarlier())
            return false;
    }
    while (seconds > m_lastChecked) {
        if (!extendLater())
            return false;
    }
    const std::size_t run = runAt(seconds);
    // The second before a change is where a zone with leap seconds reads :60, which no
    // offset gives: localtime_r answers it itself.
    if (lastBeforeChange(run, seconds))
        return askLocaltime(seconds, out);
    const ZoneState& state = m_runs[run].state;
    breakDownWallSeconds(seconds + state.wallOffsetSeconds, out);
    out.tm_isdst = state.isDst;
    out.tm_gmtoff = state.gmtOffsetSeconds;
    out.tm_zone = state.abbreviation;
    return true;
}

bool ZoneTimeline::startAt(std::int64_t seconds)
{
    m_runs.clear();
    m_lastRun = 0;
    ZoneState state {};
    if (!sampleZone(seconds, state))
        return false;
    m_runs.push_back({seconds, state});
    m_lastChecked = seconds;
    return true;
}

bool ZoneTimeline::extendEarlier()
{
    const std::int64_t first = m_runs.front().first;
    const std::int64_t earlier = first - kCheckedSpanSeconds;
    ZoneState state {};
    if (!sampleZone(earlier, state))
        return false;
    std::vector<Run> runs{{earlier, state}};
    if (!addChanges(earlier, state, first, m_runs.front().state, runs))
        return false;
    // The last change found is where the old first run really starts.
    m_runs.front().first = runs.back().first;
    runs.pop_back();
    m_runs.insert(m_runs.begin(), runs.begin(), runs.end());
    m_lastRun += runs.size();
    return true;
}

bool ZoneTimeline::extendLater()
{
    const std::int64_t later = m_lastChecked + kCheckedSpanSeconds;
    ZoneState state {};
    std::vector<Run> runs;
    if (!sampleZone(later, state) ||
        !addChanges(m_lastChecked, m_runs.back().state, later, state, runs))
        return false;
    m_runs.insert(m_runs.end(), runs.begin(), runs.end());
    m_lastChecked = later;
    return true;
}

// Appends to `changes`, in time order, a run for every change of state within
// (before, after], bisecting while the two ends differ; two ends that agree hold one
// state throughout (kCheckedSpanSeconds). So when the two states differ, the last run
// appended is stateAfter's; when they agree, nothing is appended.
bool ZoneTimeline::addChanges(std::int64_t before, const ZoneState& stateBefore,
                              std::int64_t after, const ZoneState& stateAfter,
                              std::vector<Run>& changes) const
{
    if (stateBefore == stateAfter)
        return true;
    if (after - before == 1) {
        changes.push_back({after, stateAfter});
        return true;
    }
    const std::int64_t middle = before + (after - before) / 2;
    ZoneState stateMiddle {};
    return sampleZone(middle, stateMiddle) &&
           addChanges(before, stateBefore, middle, stateMiddle, changes) &&
           addChanges(middle, stateMiddle, after, stateAfter, changes);
}

// The run that holds `seconds`, which lies within the checked stretch.
std::size_t ZoneTimeline::runAt(std::int64_t seconds)
{
    const auto holds = [&](std::size_t run) {
        return m_runs[run].first <= seconds &&
               (run + 1 == m_runs.size() || seconds < m_runs[run + 1].first);
    };
    if (m_lastRun >= m_runs.size() || !holds(m_lastRun)) {
        const auto next = std::upper_bound(
            m_runs.begin(), m_runs.end(), seconds,
            [](std::int64_t value, const Run& run) { return value < run.first; });
        m_lastRun = static_cast<std::size_t>(next - m_runs.begin()) - 1;
    }
    return m_lastRun;
}

bool ZoneTimeline::lastBeforeChange(std::size_t run, std::int64_t seconds) const
{
    return run + 1 < m_runs.size() && seconds == m_runs[run + 1].first - 1;
}

// The stretches a thread has learned since the last _tzset. Calls of one recovery
// cluster in the months of a phone's log, but a damaged remnant may carry any date from
// 1970 to 2286: a far second starts a stretch of its own rather than growing a near one
// across decades, so learning costs a day per day that holds a call, not per day
// between the earliest call and the latest.
class ZoneTimelines
{
public:
    bool convert(std::int64_t seconds, struct tm& out)
    {
        const unsigned reading = zoneReadings.load(std::memory_order_acquire);
        if (reading != m_reading) {
            m_reading = reading;
            m_stretches.clear();
        }
        ZoneTimeline* nearest = nullptr;
        std::int64_t nearestDistance = 0;
        for (ZoneTimeline& stretch : m_stretches) {
            const std::int64_t distance = stretch.distanceTo(seconds);
            if (nearest == nullptr || distance < nearestDistance) {
                nearest = &stretch;
                nearestDistance = distance;
            }
        }
        if (nearest == nullptr || nearestDistance > kFarSeconds) {
            nearest = startStretch(seconds);
            if (nearest == nullptr)
                return false;
        }
        return nearest->convert(seconds, out);
    }

private:
    // Growing a stretch by this much costs about as much as starting a new one would
    // save on the way back; at most kStretches are kept, the oldest started replaced.
    static constexpr std::int64_t kFarSeconds = 31 * kSecondsPerDay;
    static constexpr std::size_t kStretches = 16;

    ZoneTimeline* startStretch(std::int64_t seconds)
    {
        ZoneTimeline stretch;
        if (!stretch.startAt(seconds))
            return nullptr;
        if (m_stretches.size() < kStretches) {
            m_stretches.push_back(std::move(stretch));
            return &m_stretches.back();
        }
        ZoneTimeline& replaced = m_stretches[m_nextReplaced];
        m_nextReplaced = (m_nextReplaced + 1) % kStretches;
        replaced = std::move(stretch);
        return &replaced;
    }

    std::vector<ZoneTimeline> m_stretches;
    std::size_t m_nextReplaced = 0;
    unsigned m_reading = 0;   // the zoneReadings the stretches were learned under
};

}  // namespace

void _tzset()
{
    tzset();
    zoneReadings.fetch_add(1, std::memory_order_acq_rel);
}

struct tm* _localtime64(const __time64_t* seconds)
{
    thread_local struct tm result;
    thread_local ZoneTimelines timeline;
    if (seconds == nullptr || *seconds < 0 || *seconds > kLastConvertibleSecond)
        return nullptr;
    static_assert(sizeof(time_t) >= sizeof(__time64_t), "time_t must hold 64-bit seconds");
    if (zoneReadings.load(std::memory_order_acquire) == 0)
        _tzset();   // the zone is read on first use
    return timeline.convert(*seconds, result) ? &result : nullptr;
}
