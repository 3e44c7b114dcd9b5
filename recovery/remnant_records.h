// The recovered records of one fill pass as the merge reads them: of each accepted
// candidate only its place in the raw buffer and its remnant length are kept, and its
// texts are decoded from the raw buffer when the merge asks for them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "reader/call_log_variant.h"
#include "recovery/merge.h"
#include "recovery/scanner.h"

class AndroidRecordDecoder;
struct ColumnRules;
struct IphoneRules;

// A record is overlong when its remnant length exceeds the page size minus this.
constexpr std::int64_t kOverlongMargin = 25;

class RemnantRecords final : public RecoveredRecords
{
public:
    // `accepted`: candidates of `variant` that a walk of `buffer` accepted with
    // ColumnSchema as it is now. Both must outlive this. Record i is accepted[i], for i
    // below Count(); any other i reads as overlong 0 with six empty texts, but is never
    // a record to hand on. Decoding shows nothing.
    RemnantRecords(const RawBuffer& buffer, CallLogVariant variant,
                   const std::vector<AcceptedCandidate>& accepted);
    ~RemnantRecords() override;

    // The number of records: accepted.size().
    std::int32_t Count() const { return static_cast<std::int32_t>(m_accepted.size()); }

    // 1 when record i's remnant length is greater than the page size minus 25.
    std::int32_t Overlong(std::int32_t i) override;
    void Read(std::int32_t i, unsigned fields, CallRecord& into) override;

private:
    // Reads record i's header, unless it is the one read last; false for a record that
    // the fill pass did not reach.
    bool Select(std::int32_t i);

    RawBuffer m_buffer;
    const std::vector<AcceptedCandidate>& m_accepted;
    std::int64_t m_pageSize;
    std::unique_ptr<IphoneRules> m_iphone;          // the iPhone variant's rules, or null
    std::unique_ptr<ColumnRules> m_android;         // an Android variant's, or null
    std::unique_ptr<AndroidRecordDecoder> m_decoder;
    std::unique_ptr<CandidateHeader> m_header;
    std::int32_t m_selected = -1;                   // whose header m_header holds
};
