// The process-wide call-record table and the open file's path. Built at static
// initialisation, in this order, so they exist before the main window and outlive it.
#include "reader/call_record.h"

void CallRecord::ClearTexts()
{
    name.clear();
    callType.clear();
    callTime.clear();
    duration.clear();
    location.clear();
    number.clear();
}

void CallRecordTableState::Reset()
{
    for (std::int32_t i = 0; i < recordCount; ++i)
        records[i].ClearTexts();
    firstRecoveredIndex = 0;
    recordCount = 0;
    rowsLeftOut = false;
}

CallRecord* CallRecordTableState::BeginAppend()
{
    if (recordCount >= kCallRecordCapacity) {
        rowsLeftOut = true;
        return nullptr;
    }
    return &records[recordCount];
}

CallRecordTableState CallRecordTable;
std::string OpenFilePath;
