// The fuzz test's reference: a plain walk of a call-log database file written from the
// SQLite file and record formats and the remnant rules alone, position by position with
// no shortcut. It has its own page-size reading, varint reader, column rules and
// candidate frame and shares no code with recovery/, so a fault in the scanner's frame,
// limits or rules shows as a difference, not as agreement with itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace reference_walk {

// Which rule table a file's columns follow: the end of its name decides.
enum class Rules { Iphone, CallDb, Contacts2Db, LogsDb };

// One column of the live call table as table_info reports it: "name TYPE" or "name".
// The walk compares names lower-cased and declared types upper-cased, as captured.
using ColumnDefinitions = std::vector<std::string>;

// A candidate the walk accepts: its index in the file, its remnant length (1 + the
// header's bytes + the content's bytes) and whether that exceeds the page size - 25.
struct Accepted
{
    std::int64_t position;
    std::int64_t remnantLength;
    bool overlong;
};

// Every candidate accepted in `file` (the file's bytes; the walk reads them followed by
// one terminating zero byte), in walk order.
std::vector<Accepted> AcceptedCandidates(const std::string& file, Rules rules,
                                         const ColumnDefinitions& columns);

}  // namespace reference_walk
