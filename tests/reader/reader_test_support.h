// Shared by the reader tests: the table's rows as comparable tuples, and a file read
// the way the open command reads it (reset, open read-only, rows, schema).
#pragma once

#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "reader/call_record.h"

// name, callType, callTime, duration, location, number (code page 936).
using RowTexts = std::tuple<std::string, std::string, std::string, std::string,
                            std::string, std::string>;

inline RowTexts TextsOf(const CallRecord& r)
{
    return RowTexts(r.name, r.callType, r.callTime, r.duration, r.location, r.number);
}

inline std::vector<RowTexts> TableRows()
{
    std::vector<RowTexts> rows;
    for (std::int32_t i = 0; i < CallRecordTable.recordCount; ++i)
        rows.push_back(TextsOf(CallRecordTable.records[i]));
    return rows;
}

class CWnd;

// Empties the table, sets OpenFilePath, finds the variant, empties its schema family,
// opens a private copy of the file and runs the variant's row statements and schema
// capture. Returns whether it opened; raises what the copy raises.
bool ReadCallLog(const std::string& ansiPath, CWnd& owner);
