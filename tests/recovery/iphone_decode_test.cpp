// MatchIphoneRecord on lone candidates: acceptance with the remnant length, and the
// decoding of zdate (seconds since 2001), zduration, the call type from zoriginated or
// zanswered, and the location and number texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "platform/crt.h"
#include "reader/call_texts.h"
#include "recovery/iphone_remnant.h"
#include "tests/recovery/recovery_test_support.h"

namespace {

using Bytes = std::vector<unsigned char>;
using recovery_test::LoneCandidate;
using recovery_test::SetSchema;

struct Match
{
    bool accepted = false;
    std::int64_t remnantLength = -1;
    CallRecord record;
};

Match RunMatch(const std::vector<recovery_test::Column>& columns, const Bytes& bytes)
{
    ColumnSchemaFamily schema;
    SetSchema(schema, columns);
    IphoneRules rules;
    CompileIphoneRules(schema, rules);
    const LoneCandidate candidate(bytes);
    const auto header = std::make_unique<CandidateHeader>();
    Match match;
    match.record.name = "untouched";
    match.accepted = MatchIphoneRecord(&match.record, 0, &match.remnantLength,
                                       candidate.View(), rules, *header);
    return match;
}

const std::vector<recovery_test::Column> kIos9Like = {
    {"z_pk", "INTEGER"}, {"zanswered", "INTEGER"}, {"zdate", "TIMESTAMP"},
    {"zduration", "FLOAT"}, {"zlocation", "VARCHAR"}, {"zaddress", "BLOB"}};

// A kIos9Like candidate: answered serial type, zdate bytes, duration type and content,
// location and number texts (odd / even serial types from their lengths).
Bytes Candidate(unsigned char answered, const Bytes& date, unsigned char durationType,
                const Bytes& duration, const std::string& location, const std::string& number)
{
    Bytes bytes = {0x00, answered, 0x07, durationType,
                   static_cast<unsigned char>(13 + 2 * location.size()),
                   static_cast<unsigned char>(12 + 2 * number.size())};
    bytes.insert(bytes.end(), date.begin(), date.end());
    bytes.insert(bytes.end(), duration.begin(), duration.end());
    bytes.insert(bytes.end(), location.begin(), location.end());
    bytes.insert(bytes.end(), number.begin(), number.end());
    return bytes;
}

const Bytes kZeroDate(8, 0x00);

class ScopedZone
{
public:
    explicit ScopedZone(const char* zone)
    {
        const char* old = std::getenv("TZ");
        m_old = old != nullptr ? old : "";
        setenv("TZ", zone, 1);
        _tzset();
    }
    ~ScopedZone()
    {
        setenv("TZ", m_old.c_str(), 1);
        _tzset();
    }

private:
    std::string m_old;
};

TEST(MatchIphoneRecord, DateCountsSecondsSince2001)
{
    const ScopedZone utc("UTC");
    struct Case { Bytes date; const char* callTime; };
    const std::vector<Case> cases = {
        {kZeroDate, "2001-01-01 00:00:00"},
        {{0x41, 0xC1, 0xE1, 0xA3, 0, 0, 0, 0}, "2020-01-06 10:40:00"},   // 600,000,000.0
        {{0x41, 0x90, 0x40, 0xBE, 0, 0, 0, 0}, "2003-03-01 00:00:00"},   // 68,169,600.0
        {{0xBF, 0xE0, 0, 0, 0, 0, 0, 0}, "2001-01-01 00:00:00"},         // -0.5
        {{0xBF, 0xF0, 0, 0, 0, 0, 0, 0}, "1960-01-01 00:00:00"},         // -1.0
        {{0x41, 0xE0, 0, 0, 0, 0, 0, 0}, "1960-01-01 00:00:00"},         // 2^31
        {{0x7F, 0xF8, 0, 0, 0, 0, 0, 0}, "1960-01-01 00:00:00"},         // NaN
    };
    for (const Case& c : cases) {
        const Match m = RunMatch(kIos9Like, Candidate(0x09, c.date, 0x08, {}, "", ""));
        ASSERT_TRUE(m.accepted);
        EXPECT_EQ(m.record.callTime, c.callTime);
    }
}

TEST(MatchIphoneRecord, DateWithFewerThanEightBytesLeftIsUnconvertible)
{
    // zdate declared "DATE" (untested) as a one-byte integer whose content is the
    // terminating zero byte: eight bytes are not there.
    const Match m = RunMatch({{"z_pk", "INTEGER"}, {"zdate", "DATE"}}, {0x00, 0x01});
    ASSERT_TRUE(m.accepted);
    EXPECT_EQ(m.remnantLength, 4);
    EXPECT_EQ(m.record.callTime, kUnconvertibleIphoneTime);
}

// Serial types 10 and 11 have no content (size -1): the eight bytes at the zdate's
// place, here a valid time, are not its value.
TEST(MatchIphoneRecord, DateOfReservedSerialTypeIsUnconvertible)
{
    for (const unsigned char type : {0x0A, 0x0B}) {
        const Match m = RunMatch({{"z_pk", "INTEGER"}, {"zdate", "DATE"}},
                                 {0x00, type, 0x41, 0xC1, 0xE1, 0xA3, 0, 0, 0, 0});
        ASSERT_TRUE(m.accepted);
        EXPECT_EQ(m.record.callTime, kUnconvertibleIphoneTime) << +type;
    }
}

// A zdate of another declared type may be NULL: its eight bytes are still read at its
// place, here the double of the next column, not taken for an unconvertible time.
TEST(MatchIphoneRecord, NullDateReadsTheEightBytesAtItsPlace)
{
    const ScopedZone utc("UTC");
    const std::vector<recovery_test::Column> columns = {
        {"z_pk", "INTEGER"}, {"zdate", "DATE"}, {"zduration", "FLOAT"}};
    struct Case { Bytes next; const char* callTime; };
    const std::vector<Case> cases = {
        {kZeroDate, "2001-01-01 00:00:00"},
        {{0x41, 0xC1, 0xE1, 0xA3, 0, 0, 0, 0}, "2020-01-06 10:40:00"},   // 600,000,000.0
    };
    for (const Case& c : cases) {
        Bytes bytes = {0x00, 0x00, 0x07};
        bytes.insert(bytes.end(), c.next.begin(), c.next.end());
        const Match m = RunMatch(columns, bytes);
        ASSERT_TRUE(m.accepted);
        EXPECT_EQ(m.record.callTime, c.callTime);
    }
}

TEST(MatchIphoneRecord, Duration)
{
    struct Case { unsigned char type; Bytes content; const char* duration; };
    const std::vector<Case> cases = {
        {0x01, {0x2D}, "45秒"}, {0x02, {0x01, 0x2C}, "300秒"}, {0x01, {0xFF}, "-1秒"},
        {0x07, {0x40, 0x29, 0, 0, 0, 0, 0, 0}, "12秒"},   // 12.5
        {0x00, {}, "0秒"}, {0x08, {}, "0秒"}, {0x09, {}, "1秒"},
    };
    for (const Case& c : cases) {
        const Match m = RunMatch(kIos9Like, Candidate(0x09, kZeroDate, c.type, c.content, "", ""));
        ASSERT_TRUE(m.accepted);
        EXPECT_EQ(m.record.duration, c.duration);
    }
}

TEST(MatchIphoneRecord, CallTypeFromOriginatedThenAnswered)
{
    const Match in = RunMatch(kIos9Like, Candidate(0x09, kZeroDate, 0x08, {}, "", ""));
    const Match out = RunMatch(kIos9Like, Candidate(0x08, kZeroDate, 0x08, {}, "", ""));
    EXPECT_EQ(in.record.callType, kIncomingCall);
    EXPECT_EQ(out.record.callType, kOutgoingCall);   // no zoriginated: the old rule

    const std::vector<recovery_test::Column> withOriginated = {
        {"z_pk", "INTEGER"}, {"zanswered", "INTEGER"}, {"zoriginated", "INTEGER"}};
    struct Case { Bytes bytes; const char* callType; };
    const std::vector<Case> cases = {
        {{0x00, 0x09, 0x09}, kOutgoingCall},
        {{0x00, 0x08, 0x09}, kOutgoingCall},
        {{0x00, 0x08, 0x01, 0x01}, kOutgoingCall},   // a one-byte 1
        {{0x00, 0x09, 0x08}, kIncomingCall},
        {{0x00, 0x09, 0x01, 0x00}, kIncomingCall},
        {{0x00, 0x08, 0x08}, kMissedCall},
        // Only the value 1 means made by the phone.
        {{0x00, 0x09, 0x01, 0x02}, kIncomingCall},
        {{0x00, 0x08, 0x01, 0xFF}, kMissedCall},
    };
    for (const Case& c : cases) {
        const Match m = RunMatch(withOriginated, c.bytes);
        ASSERT_TRUE(m.accepted);
        EXPECT_EQ(m.record.callType, c.callType);
    }
}

TEST(MatchIphoneRecord, TextsAndUntouchedName)
{
    const Match m = RunMatch(kIos9Like, Candidate(0x09, kZeroDate, 0x08, {},
                                                  std::string("BJ\0X", 4), "10086"));
    ASSERT_TRUE(m.accepted);
    EXPECT_EQ(m.record.location, "BJ");
    EXPECT_EQ(m.record.number, "10086");
    EXPECT_EQ(m.record.name, "untouched");
    EXPECT_EQ(m.remnantLength, 1 + 6 + 8 + 4 + 5);
}

TEST(MatchIphoneRecord, RejectionLeavesRecordAndLengthAlone)
{
    // zanswered 7, zdate 6, a VARCHAR BLOB-typed 12: each rejects.
    for (const Bytes& bytes : {Bytes{0x00, 0x07, 0x07, 0x08, 0x0D, 0x0C},
                               Bytes{0x00, 0x09, 0x06, 0x08, 0x0D, 0x0C},
                               Bytes{0x00, 0x09, 0x07, 0x08, 0x0C, 0x0C},
                               Bytes{0x01, 0x09, 0x07, 0x08, 0x0D, 0x0C}}) {
        Bytes padded = bytes;
        padded.resize(bytes.size() + 8, 0x00);
        const Match m = RunMatch(kIos9Like, padded);
        EXPECT_FALSE(m.accepted);
        EXPECT_EQ(m.remnantLength, -1);
        EXPECT_EQ(m.record.callTime, "");
        EXPECT_EQ(m.record.name, "untouched");
    }
    const Match empty = RunMatch({}, {0x00, 0x05});
    EXPECT_TRUE(empty.accepted);
    EXPECT_EQ(empty.remnantLength, 1);
}

}  // namespace
