// The merge of recovered records into the call-record table and the main window's list:
// duplicates of records in use and numbers "-1" are dropped, the rest appended in the
// order found, and the count reported in a message box and the window title.
#pragma once

#include <cstdint>

#include "reader/call_record.h"

class CListCtrl;
class CWnd;

// Whether a location that starts with "<<" (iPhone stores "<<RecentsNumberLocationNotFound>>"
// and the like where it knows none) is shown empty; the record keeps it in full.
enum class PlaceholderLocation { Shown, Blanked };

// The one place a record becomes a list row: item `item` of `list` gets the record's six
// texts in the list's column order (name, call type, time, duration, location, number).
// The first two bytes of the location decide the placeholder, so "<<" alone is one too.
void InsertCallRow(CListCtrl& list, int item, const CallRecord& record,
                   PlaceholderLocation placeholder);

// The recovered records handed to the merge, in the order found. Their texts are read
// on request, field by field, so that a source that decodes them (the scanner's) does
// no more work than the merge's tests and its appended rows need.
class RecoveredRecords
{
public:
    virtual ~RecoveredRecords() = default;
    // The overlong flag of record i.
    virtual std::int32_t Overlong(std::int32_t i) = 0;
    // Sets the texts of `into` that `fields` (RecordField bits, record_values.h) names
    // to those of record i; its other texts are left as they are.
    virtual void Read(std::int32_t i, unsigned fields, CallRecord& into) = 0;
};

// Records already decoded, in an array that must outlive this.
class DecodedRecords final : public RecoveredRecords
{
public:
    explicit DecodedRecords(const CallRecord* records) : m_records(records) {}
    std::int32_t Overlong(std::int32_t i) override { return m_records[i].overlong; }
    void Read(std::int32_t i, unsigned fields, CallRecord& into) override;

private:
    const CallRecord* m_records;
};

// Appends the kept records of records 0 .. count - 1 at CallRecordTable.recordCount and
// at the same item indexes of control 1000 of mainWindow, then raises recordCount by
// the number appended. A record with overlong 0 whose callTime, location and number all
// equal those of a record in use at the start is dropped; so is one whose number is
// "-1". Records that would pass the table's 100,000 entries are left out, and a second
// message says so.
void MergeRecoveredRecords(CWnd* mainWindow, RecoveredRecords& records, std::int32_t count);
