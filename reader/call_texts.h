// The texts every reader and decoder writes the same way: call types, call times,
// durations. Live rows and recovered remnants must give byte-identical texts, or the
// merge cannot tell a remnant of a live call from a deleted one: so all go through here.
#pragma once

#include <cstdint>
#include <string>

#include "platform/windows_types.h"

extern const char* const kIncomingCall;   // "呼入电话"
extern const char* const kOutgoingCall;   // "呼出电话"
extern const char* const kMissedCall;     // "未接电话"
extern const char* const kUnconvertibleIphoneTime;   // "1960-01-01 00:00:00"

// seconds since 1970 UTC as local "%d-%02d-%02d %02d:%02d:%02d" (tm_year + 1900).
// Returns false, leaving `out` untouched, when _localtime64 fails.
bool FormatLocalCallTime(__time64_t seconds, std::string& out);

// iPhone time: seconds since 2001-01-01 00:00:00 UTC. 0 to 2^31 - 1 are converted as
// seconds + 978,307,200; a negative count, or a failed conversion, gives
// "1960-01-01 00:00:00".
std::string IphoneCallTimeText(std::int64_t secondsSince2001);

// "<seconds>秒" with the value formatted by "%d".
std::string DurationText(std::int32_t seconds);
