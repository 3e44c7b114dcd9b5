// The fill pass's records, decoded on request for the merge (see remnant_records.h).
#include "recovery/remnant_records.h"

#include "recovery/android_remnant.h"
#include "recovery/iphone_remnant.h"
#include "recovery/record_values.h"

RemnantRecords::RemnantRecords(const RawBuffer& buffer, CallLogVariant variant,
                               const std::vector<AcceptedCandidate>& accepted)
    : m_buffer(buffer), m_accepted(accepted), m_pageSize(ReadPageSize(buffer)),
      m_header(std::make_unique<CandidateHeader>())
{
    if (variant == CallLogVariant::IphoneStoredata) {
        m_iphone = std::make_unique<IphoneRules>();
        CompileIphoneRules(ColumnSchema.iphone, *m_iphone);
        m_iphone->encoding = ReadTextEncoding(buffer, TextEncoding::Utf8);
    } else if (IsAndroidVariant(variant)) {
        m_android = std::make_unique<ColumnRules>();
        CompileAndroidRules(variant, ColumnSchema.android, *m_android);
        m_decoder = std::make_unique<AndroidRecordDecoder>(AndroidTextEncoding(buffer, variant),
                                                           ColumnSchema.android, nullptr);
    }
}

RemnantRecords::~RemnantRecords() = default;

std::int32_t RemnantRecords::Overlong(std::int32_t i)
{
    if (static_cast<std::size_t>(i) >= m_accepted.size()) {
        return 0;
    }
    return m_accepted[i].remnantLength > m_pageSize - kOverlongMargin ? 1 : 0;
}

bool RemnantRecords::Select(std::int32_t i)
{
    const bool decodable = m_iphone != nullptr || m_android != nullptr;
    if (!decodable || static_cast<std::size_t>(i) >= m_accepted.size()) {
        return false;
    }
    if (i != m_selected) {
        // The walk accepted this position with the same rules and buffer, so the header
        // reads again as it did then.
        const ColumnRules& rules = m_iphone != nullptr ? m_iphone->columns : *m_android;
        MatchCandidate(m_buffer, m_accepted[i].position, rules, *m_header);
        m_selected = i;
    }
    return true;
}

void RemnantRecords::Read(std::int32_t i, unsigned fields, CallRecord& into)
{
    ClearFields(into, fields);
    if (!Select(i)) {
        return;
    }
    if (m_iphone != nullptr) {
        DecodeIphoneFields(m_buffer, *m_iphone, *m_header, fields, into);
    } else {
        m_decoder->Decode(m_buffer, *m_header, fields, into);
    }
}
