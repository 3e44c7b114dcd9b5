// The texts every reader and decoder writes the same way: call types, call times,
// durations. Live rows and recovered remnants must give byte-identical texts, or the
// merge cannot tell a remnant of a live call from a deleted one: so all go through here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/windows_types.h"

extern const char* const kIncomingCall;   // "呼入电话"
extern const char* const kOutgoingCall;   // "呼出电话"
extern const char* const kMissedCall;     // "未接电话"
extern const char* const kUnconvertibleIphoneTime;   // "1960-01-01 00:00:00"

// Room for a call-time text and its NUL. The text is 19 characters for the years
// _localtime64 gives (1969 to 3001); the room holds a year of any int.
constexpr std::size_t kCallTimeTextBytes = 27;

// seconds since 1970 UTC as local "%d-%02d-%02d %02d:%02d:%02d" (tm_year + 1900), without
// printf and without allocating: writes the NUL-terminated text into `text` and returns
// its length, or returns 0 and leaves `text` untouched when _localtime64 fails.
std::size_t FormatLocalCallTime(__time64_t seconds, char (&text)[kCallTimeTextBytes]);

// The same text into `out`, which keeps its capacity (a string reused from call to call
// allocates once). Returns false, leaving `out` untouched, when _localtime64 fails.
bool FormatLocalCallTime(__time64_t seconds, std::string& out);

// iPhone time: seconds since 2001-01-01 00:00:00 UTC. 0 to 2^31 - 1 are converted as
// seconds + 978,307,200; a negative count, or a failed conversion, gives
// "1960-01-01 00:00:00".
std::string IphoneCallTimeText(std::int64_t secondsSince2001);

// "<seconds>秒" with the value formatted by "%d".
std::string DurationText(std::int32_t seconds);
