// The merge of recovered records (see merge.h). Duplicates are found through a hash of
// (callTime, location, number) of the records in use at the start; every hash hit is
// confirmed with _mbscmp on all three texts, so the result is the plain linear
// search's: a record is dropped exactly when some record in use equals it in all three.
#include "recovery/merge.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/crt.h"
#include "platform/ui/wnd.h"
#include "recovery/main_window_ids.h"
#include "recovery/record_values.h"

namespace {

const char kResultPrefix[] = "扫描恢复完成！共成功恢复:";
const char kResultSuffix[] = "条通话记录，软件非百分之百恢复，红色信息是恢复的内容。";
const char kNothingRecovered[] = "扫描恢复完成！此数据库没有能够恢复的通话记录！";
const char kTitlePrefix[] = "Orsane手机通话记录恢复软件 共成功恢复出：";
const char kTitleSuffix[] = " 条通话记录";
const char kTableFull[] = "通话记录已达100000条上限，其余恢复出的记录未能添加。";
// The number some phones store for a call without caller id; never a recovered call.
const char kHiddenNumber[] = "-1";

bool SameText(const char* left, const char* right)
{
    return _mbscmp(reinterpret_cast<const unsigned char*>(left),
                   reinterpret_cast<const unsigned char*>(right)) == 0;
}

bool SameText(const std::string& left, const std::string& right)
{
    return SameText(left.c_str(), right.c_str());
}

// FNV-1a over the texts as _mbscmp sees them (up to their first zero byte).
std::uint64_t HashKey(const CallRecord& record)
{
    constexpr std::uint64_t kOffsetBasis = 1469598103934665603ULL;
    constexpr std::uint64_t kPrime = 1099511628211ULL;
    std::uint64_t hash = kOffsetBasis;
    for (const std::string* text : {&record.callTime, &record.location, &record.number}) {
        for (const char* c = text->c_str(); *c != '\0'; ++c) {
            hash = (hash ^ static_cast<unsigned char>(*c)) * kPrime;
        }
        hash = (hash ^ 0xFFU) * kPrime;   // separator: no text holds the byte 0xFF alone
    }
    return hash;
}

// The records in use when the merge starts, looked up by (callTime, location, number).
class RecordsInUse
{
public:
    RecordsInUse(const CallRecord* records, std::int32_t count) : m_records(records)
    {
        m_keys.reserve(count);
        for (std::int32_t i = 0; i < count; ++i) {
            m_keys.emplace_back(HashKey(records[i]), i);
        }
        std::sort(m_keys.begin(), m_keys.end());
    }

    bool Contains(const CallRecord& record) const
    {
        const std::uint64_t hash = HashKey(record);
        auto it = std::lower_bound(m_keys.begin(), m_keys.end(),
                                   std::make_pair(hash, std::int32_t{0}));
        for (; it != m_keys.end() && it->first == hash; ++it) {
            const CallRecord& live = m_records[it->second];
            if (SameText(live.callTime, record.callTime) &&
                SameText(live.location, record.location) && SameText(live.number, record.number)) {
                return true;
            }
        }
        return false;
    }

private:
    const CallRecord* m_records;
    std::vector<std::pair<std::uint64_t, std::int32_t>> m_keys;
};

// Sets the texts `fields` names of `to` to those of `from`.
void CopyFields(const CallRecord& from, unsigned fields, CallRecord& to)
{
    for (const auto& [field, text] : kRecordFieldTexts) {
        if ((fields & field) != 0) {
            to.*text = from.*text;
        }
    }
}

// When remnants were found that the table had no room for, "nothing to recover" would
// contradict the table-full message that follows, so only the latter is shown.
void ReportResult(CWnd* mainWindow, std::int32_t appended, bool leftOut)
{
    const std::string count = std::to_string(appended);
    if (appended > 0) {
        mainWindow->MessageBox((kResultPrefix + count + kResultSuffix).c_str());
    } else if (!leftOut) {
        mainWindow->MessageBox(kNothingRecovered);
    }
    CWnd* titled = AfxGetMainWnd() != nullptr ? AfxGetMainWnd() : mainWindow;
    titled->SetWindowText((kTitlePrefix + count + kTitleSuffix).c_str());
    if (leftOut) {
        mainWindow->MessageBox(kTableFull);
    }
}

}  // namespace

void InsertCallRow(CListCtrl& list, int item, const CallRecord& record,
                   PlaceholderLocation placeholder)
{
    enum ListColumn { kColumnName, kColumnType, kColumnTime, kColumnDuration, kColumnLocation,
                      kColumnNumber };
    const bool blanked = placeholder == PlaceholderLocation::Blanked &&
                         record.location.compare(0, 2, "<<") == 0;
    list.InsertItem(item, record.name.c_str());
    list.SetItemText(item, kColumnType, record.callType.c_str());
    list.SetItemText(item, kColumnTime, record.callTime.c_str());
    list.SetItemText(item, kColumnDuration, record.duration.c_str());
    list.SetItemText(item, kColumnLocation, blanked ? "" : record.location.c_str());
    list.SetItemText(item, kColumnNumber, record.number.c_str());
}

void DecodedRecords::Read(std::int32_t i, unsigned fields, CallRecord& into)
{
    CopyFields(m_records[i], fields, into);
}

// The texts are read as the tests need them: the number first (a "-1" is dropped
// whatever else it holds), then, for the duplicate test, the location and the call
// time; a kept record's remaining texts are read straight into its table entry.
void MergeRecoveredRecords(CWnd* mainWindow, RecoveredRecords& records, std::int32_t count)
{
    CallRecordTableState& table = CallRecordTable;
    const std::int32_t inUse = table.recordCount;
    const RecordsInUse live(table.records, inUse);
    CListCtrl* list = dynamic_cast<CListCtrl*>(mainWindow->GetDlgItem(kCallListControlId));
    const std::int32_t room = kCallRecordCapacity - inUse;
    std::int32_t appended = 0;
    bool leftOut = false;
    CallRecord tested;   // the texts read for the tests; their buffers are reused
    for (std::int32_t i = 0; i < count; ++i) {
        unsigned read = kFieldNumber;
        records.Read(i, read, tested);
        if (SameText(tested.number.c_str(), kHiddenNumber)) {
            continue;
        }
        if (inUse > 0 && records.Overlong(i) == 0) {
            records.Read(i, kFieldLocation | kFieldCallTime, tested);
            read |= kFieldLocation | kFieldCallTime;
            if (live.Contains(tested)) {
                continue;
            }
        }
        if (appended == room) {
            leftOut = true;
            break;
        }
        CallRecord& kept = table.records[inUse + appended];
        records.Read(i, kAllFields & ~read, kept);
        CopyFields(tested, read, kept);
        if (list != nullptr) {
            InsertCallRow(*list, inUse + appended, kept, PlaceholderLocation::Blanked);
        }
        ++appended;
    }
    ReportResult(mainWindow, appended, leftOut);
    table.recordCount = inUse + appended;
}
