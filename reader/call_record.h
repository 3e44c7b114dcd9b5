// The state every part of the program works on: one call as six texts, the
// process-wide table of 100,000 calls, and the path of the database opened last.
#pragma once

#include <cstdint>
#include <string>

// One call. All six texts are code page 936. `overlong` is set by the scanner on the
// records it fills (1 when the remnant was longer than the page size minus 25) and
// read only by the merge; elsewhere it means nothing.
struct CallRecord
{
    std::string name;
    std::string callType;
    std::string callTime;
    std::string duration;
    std::string location;
    std::string number;
    std::int32_t overlong = 0;

    void ClearTexts();
};

constexpr std::int32_t kCallRecordCapacity = 100000;

// Invariants: 0 <= firstRecoveredIndex <= recordCount <= kCallRecordCapacity, and every
// record at or past recordCount holds six empty texts. The array never moves or grows.
struct CallRecordTableState
{
    CallRecord records[kCallRecordCapacity];
    std::int32_t recordCount = 0;
    std::int32_t firstRecoveredIndex = 0;
    // Set when an open had one more row to append than the table holds, and so stopped
    // reading; reset with the table, read after the refill to tell the user.
    bool rowsLeftOut = false;

    // Empties the texts of the records in use, then sets firstRecoveredIndex and
    // recordCount to 0 (and clears rowsLeftOut). The overlong flags are not touched.
    void Reset();

    // The record at recordCount for a row callback to fill, or null when the table is
    // full (rowsLeftOut is then set). The caller fills it, then calls CommitAppend.
    CallRecord* BeginAppend();
    void CommitAppend() { ++recordCount; }
};

extern CallRecordTableState CallRecordTable;

// Full path of the file chosen last in the open dialog, code page 936. Empty until the
// first file is chosen; never emptied again.
extern std::string OpenFilePath;
