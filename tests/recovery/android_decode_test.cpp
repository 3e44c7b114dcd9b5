// Decoding of accepted Android candidates: the worked contacts2.db record, the date,
// type and duration rules, UTF-8 and UTF-16LE texts, and the name message boxes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/scripted_modal_ui.h"
#include "platform/ui/wnd.h"
#include "reader/call_texts.h"
#include "recovery/android_remnant.h"
#include "tests/recovery/recovery_test_support.h"

namespace {

using Bytes = std::vector<unsigned char>;
using recovery_test::LoneCandidate;
using recovery_test::SetSchema;

// Decodes the lone candidate `bytes` (which must be accepted) with `schema`.
CallRecord Decode(CallLogVariant variant, const std::vector<recovery_test::Column>& columns,
                  const Bytes& bytes, CWnd* owner = nullptr)
{
    ColumnSchemaFamily schema;
    SetSchema(schema, columns);
    ColumnRules rules;
    CompileAndroidRules(variant, schema, rules);
    const LoneCandidate candidate(bytes);
    const auto header = std::make_unique<CandidateHeader>();
    CallRecord record;
    EXPECT_TRUE(MatchCandidate(candidate.View(), 0, rules, *header));
    DecodeAndroidRecord(variant, schema, candidate.View(), *header, record, owner);
    return record;
}

const std::vector<recovery_test::Column> kWorkedSchema = {
    {"_id", "INTEGER"}, {"number", "TEXT"}, {"date", "INTEGER"},
    {"duration", "INTEGER"}, {"type", "INTEGER"}, {"name", "TEXT"}};

TEST(DecodeAndroidRecord, WorkedContacts2Record)
{
    const Bytes bytes = {0x00, 0x1B, 0x05, 0x02, 0x01, 0x11,
                         '1', '2', '3', '4', '5', '6', '7',
                         0x01, 0x74, 0x87, 0x6E, 0x80, 0x00,
                         0x01, 0x2C, 0x02, 'L', 'i'};
    ScopedModalUi modal;
    CWnd owner;
    const CallRecord record =
        Decode(CallLogVariant::AndroidContacts2Db, kWorkedSchema, bytes, &owner);
    EXPECT_EQ(record.number, "1234567");
    EXPECT_EQ(record.callTime, "2020-09-13 20:26:40");   // TZ=CST-8
    EXPECT_EQ(record.duration, "300秒");
    EXPECT_EQ(record.callType, kOutgoingCall);
    EXPECT_EQ(record.name, "Li");
    EXPECT_EQ(record.location, "");
    ASSERT_EQ(modal.ui.messageBoxes.size(), 1u);
    EXPECT_EQ(modal.ui.messageBoxes[0].text, "Li");
    EXPECT_EQ(modal.ui.messageBoxes[0].owner, &owner);
    EXPECT_EQ(modal.ui.messageBoxes[0].type, MB_OKCANCEL);
}

// Schema: _id, date (INTEGER), type (INTEGER), duration (INTEGER); the three columns'
// serial types and content follow.
CallRecord DecodeNumbers(const Bytes& serialTypes, const Bytes& content)
{
    Bytes bytes = {0x00};
    bytes.insert(bytes.end(), serialTypes.begin(), serialTypes.end());
    bytes.insert(bytes.end(), content.begin(), content.end());
    return Decode(CallLogVariant::AndroidLogsDb,
                  {{"_id", "INTEGER"}, {"date", "INTEGER"}, {"type", "INTEGER"},
                   {"duration", "INTEGER"}},
                  bytes);
}

TEST(DecodeAndroidRecord, DateRule)
{
    struct Case { Bytes sixBytes; const char* callTime; };
    const std::vector<Case> cases = {
        {{0x00, 0x17, 0x48, 0x76, 0xE7, 0xFF}, ""},                       // 99,999,999,999
        {{0x00, 0x17, 0x48, 0x76, 0xE8, 0x00}, "1973-03-03 17:46:40"},    // 100,000,000,000
        {{0x09, 0x18, 0x4E, 0x72, 0xA3, 0xE7}, "2286-11-21 01:46:40"},    // 10,000,000,000,999
        {{0x09, 0x18, 0x4E, 0x72, 0xA3, 0xE8}, "1970-01-01 08:00:00"},    // 10,000,000,001,000
        {{0x80, 0x17, 0x48, 0x76, 0xE8, 0x00}, ""},                       // negative
    };
    for (const Case& c : cases) {
        Bytes content = c.sixBytes;
        content.push_back(0x01);   // type 1
        EXPECT_EQ(DecodeNumbers({0x05, 0x01, 0x08}, content).callTime, c.callTime);
    }
}

TEST(DecodeAndroidRecord, TypeRule)
{
    const Bytes date = {0x01, 0x74, 0x87, 0x6E, 0x80, 0x00};
    struct Case { Bytes types; Bytes tail; const char* callType; };
    const std::vector<Case> cases = {
        {{0x05, 0x01, 0x08}, {0x01}, kIncomingCall},
        {{0x05, 0x01, 0x08}, {0x02}, kOutgoingCall},
        {{0x05, 0x01, 0x08}, {0x03}, kMissedCall},
        {{0x05, 0x01, 0x08}, {0x00}, ""},
        {{0x05, 0x01, 0x08}, {0x04}, ""},
        {{0x05, 0x09, 0x08}, {}, kIncomingCall},   // the content-free 1
        {{0x05, 0x08, 0x08}, {}, ""},
        {{0x05, 0x00, 0x08}, {}, ""},
        {{0x05, 0x02, 0x08}, {0x00, 0x01}, ""},    // two-byte integers are not read
    };
    for (const Case& c : cases) {
        Bytes content = date;
        content.insert(content.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(DecodeNumbers(c.types, content).callType, c.callType);
    }
}

TEST(DecodeAndroidRecord, DurationRule)
{
    const Bytes date = {0x01, 0x74, 0x87, 0x6E, 0x80, 0x00};
    struct Case { Bytes durationType; Bytes content; const char* duration; };
    const std::vector<Case> cases = {
        {{0x01}, {0x2D}, "45秒"},
        {{0x02}, {0x01, 0x2C}, "300秒"},
        {{0x01}, {0xFF}, "-1秒"},
        {{0x00}, {}, "0秒"},
        {{0x08}, {}, "0秒"},
        {{0x09}, {}, "1秒"},
        {{0x06}, {0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x05}, "5秒"},   // low 32 bits
        {{0x02}, {0x7F, 0xFF}, "32767秒"},
        {{0x03}, {0x00, 0x80, 0x00}, "32768秒"},
        {{0x04}, {0x00, 0x01, 0x00, 0x00}, "65536秒"},
        {{0x04}, {0x7F, 0xFF, 0xFF, 0xFF}, "2147483647秒"},
    };
    for (const Case& c : cases) {
        Bytes content = date;
        content.push_back(0x01);
        content.insert(content.end(), c.content.begin(), c.content.end());
        EXPECT_EQ(DecodeNumbers({0x05, 0x01, c.durationType[0]}, content).duration, c.duration);
    }
}

// Every decoded name gets its box, the empty one too: NULL in contacts2.db, the empty
// text in call.db.
TEST(DecodeAndroidRecord, NameBoxAlsoForAnEmptyName)
{
    const std::vector<recovery_test::Column> columns = {{"_id", "INTEGER"}, {"name", "TEXT"}};
    const struct { CallLogVariant variant; Bytes bytes; } cases[] = {
        {CallLogVariant::AndroidContacts2Db, {0x00, 0x00}},
        {CallLogVariant::AndroidCallDb, {0x00, 0x0D}},
    };
    for (const auto& c : cases) {
        ScopedModalUi modal;
        CWnd owner;
        EXPECT_EQ(Decode(c.variant, columns, c.bytes, &owner).name, "");
        ASSERT_EQ(modal.ui.messageBoxes.size(), 1u) << static_cast<int>(c.variant);
        EXPECT_EQ(modal.ui.messageBoxes[0].text, "");
        EXPECT_EQ(modal.ui.messageBoxes[0].owner, &owner);
    }
}

// The header's text encoding (offset 56) decides; where it names none of 1, 2, 3,
// call.db is UTF-16LE and the others UTF-8.
TEST(AndroidTextEncoding, FromTheHeaderElseByVariant)
{
    constexpr TextEncoding kUtf8 = TextEncoding::Utf8;
    constexpr TextEncoding kLe = TextEncoding::Utf16Le;
    constexpr TextEncoding kBe = TextEncoding::Utf16Be;
    const struct { Bytes field; TextEncoding callDb, others; } cases[] = {
        {{0, 0, 0, 1}, kUtf8, kUtf8}, {{0, 0, 0, 2}, kLe, kLe}, {{0, 0, 0, 3}, kBe, kBe},
        {{0, 0, 0, 0}, kLe, kUtf8},   {{0, 0, 0, 4}, kLe, kUtf8}, {{1, 0, 0, 1}, kLe, kUtf8},
    };
    for (const auto& c : cases) {
        recovery_test::RawImage image(100, 0x0200, 0x00);
        image.Put(56, c.field);
        EXPECT_EQ(AndroidTextEncoding(image.View(), CallLogVariant::AndroidCallDb), c.callDb)
            << +c.field[0] << " " << +c.field[3];
        for (const CallLogVariant other :
             {CallLogVariant::AndroidContacts2Db, CallLogVariant::AndroidLogsDb}) {
            EXPECT_EQ(AndroidTextEncoding(image.View(), other), c.others)
                << +c.field[0] << " " << +c.field[3];
        }
    }
}

TEST(DecodeAndroidRecord, TextsCutAtTheirFirstZero)
{
    // contacts2.db: UTF-8 "李" and a number cut at an inner zero byte.
    const CallRecord utf8 = Decode(
        CallLogVariant::AndroidContacts2Db,
        {{"_id", "INTEGER"}, {"name", "TEXT"}, {"number", "TEXT"}, {"geocoded_location", "TEXT"}},
        {0x00, 0x13, 0x13, 0x13, 0xE6, 0x9D, 0x8E, '1', 0x00, '2', 'B', 'J', 'X'});
    EXPECT_EQ(utf8.name, "李");
    EXPECT_EQ(utf8.number, "1");
    EXPECT_EQ(utf8.location, "BJX");
    // call.db: UTF-16LE; location decoded too; an odd last byte is a unit of its own.
    const CallRecord utf16 = Decode(
        CallLogVariant::AndroidCallDb,
        {{"_id", "INTEGER"}, {"name", "TEXT"}, {"number", "TEXT"}, {"geocoded_location", "TEXT"}},
        {0x00, 0x11, 0x15, 0x13, 0x4E, 0x67, '1', 0x00, 0x00, 0x00, 'B', 0x00, 'J'});
    EXPECT_EQ(utf16.name, "李");
    EXPECT_EQ(utf16.number, "1");
    EXPECT_EQ(utf16.location, "BJ");
}

TEST(DecodeAndroidRecord, ContentOutsideTheBufferReadsEmpty)
{
    // A five-byte serial type whose low 32 bits are 12 (a BLOB, so the untested column
    // takes it) has the content size -2^31: the number's placement then lies before the
    // buffer's start, and it decodes as empty, without a read.
    const Bytes bytes = {0x00, 0x90, 0x80, 0x80, 0x80, 0x0C, 0x15, '9', '9', '9', '9'};
    const CallRecord record = Decode(CallLogVariant::AndroidContacts2Db,
                                     {{"_id", "INTEGER"}, {"x", "BLOB"}, {"number", "TEXT"}},
                                     bytes);
    EXPECT_EQ(record.number, "");
}

// The frame lets the last content byte be the raw buffer's terminating zero byte: such
// a text is read, the zero ending it like any other.
TEST(DecodeAndroidRecord, LastTextMayEndOnTheTerminatingZeroByte)
{
    const Bytes bytes = {0x00, 13 + 2 * 6, '1', '0', '0', '8', '6'};   // six bytes declared
    const CallRecord record = Decode(CallLogVariant::AndroidContacts2Db,
                                     {{"_id", "INTEGER"}, {"number", "TEXT"}}, bytes);
    EXPECT_EQ(record.number, "10086");
}

// Call times across the convertible range (TZ=CST-8) read as printf formats them.
TEST(AndroidCallTimes, MatchPrintfFromEpochToTheLastConvertibleSecond)
{
    constexpr __time64_t kLast = 32535215999LL;   // 3000-12-31 23:59:59 UTC
    constexpr __time64_t kStep = 7919 * 3607;      // about 331 days, every field varies
    for (__time64_t seconds = 0; seconds <= kLast; seconds += kStep) {
        for (const __time64_t at : {seconds, kLast - seconds}) {
            const time_t value = static_cast<time_t>(at);
            struct tm local {};
            ASSERT_NE(localtime_r(&value, &local), nullptr);
            char expected[64];
            std::snprintf(expected, sizeof expected, "%d-%02d-%02d %02d:%02d:%02d",
                          local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec);
            std::string text;
            ASSERT_TRUE(FormatLocalCallTime(at, text));
            ASSERT_EQ(text, expected) << at;
        }
    }
}

// One decoder converts repeated and alternating texts as a fresh decoder does: what it
// remembers is keyed by the whole content.
TEST(AndroidRecordDecoder, RepeatedTextsDecodeAsFreshOnes)
{
    ColumnSchemaFamily schema;
    SetSchema(schema, {{"_id", "INTEGER"}, {"name", "TEXT"}, {"geocoded_location", "TEXT"}});
    ColumnRules rules;
    CompileAndroidRules(CallLogVariant::AndroidContacts2Db, schema, rules);
    const auto utf8 = [](const char* text) { return Bytes(text, text + std::strlen(text)); };
    const std::vector<Bytes> names = {utf8(u8"李雷"), utf8(u8"李雷雷"), utf8(u8"韩梅梅"),
                                      utf8("Tom"), utf8(u8"李")};
    AndroidRecordDecoder decoder(TextEncoding::Utf8, schema, nullptr);
    for (int round = 0; round < 3; ++round) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            const Bytes& name = names[(i + round) % names.size()];
            const Bytes& place = names[(i + 2 * round + 1) % names.size()];
            Bytes bytes = {0x00, static_cast<unsigned char>(13 + 2 * name.size()),
                           static_cast<unsigned char>(13 + 2 * place.size())};
            bytes.insert(bytes.end(), name.begin(), name.end());
            bytes.insert(bytes.end(), place.begin(), place.end());
            const LoneCandidate candidate(bytes);
            CandidateHeader header;
            ASSERT_TRUE(MatchCandidate(candidate.View(), 0, rules, header));
            CallRecord remembered;
            CallRecord fresh;
            decoder.Decode(candidate.View(), header, remembered);
            DecodeAndroidRecord(CallLogVariant::AndroidContacts2Db, schema, candidate.View(),
                                header, fresh, nullptr);
            EXPECT_EQ(remembered.name, fresh.name);
            EXPECT_EQ(remembered.location, fresh.location);
            EXPECT_FALSE(fresh.name.empty());
        }
    }
}

}  // namespace
