// The row callbacks on hand-made rows: call types, times (TZ=CST-8), durations, the
// rows the Android callback leaves out, atoi-style integers, and the full table.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "reader/call_rows.h"
#include "tests/reader/reader_test_support.h"

namespace {

// A result row as sqlite3_exec hands it over: nullable texts.
struct Row
{
    std::vector<const char*> values;
    int Deliver(int (*callback)(void*, int, char**, char**))
    {
        return callback(nullptr, static_cast<int>(values.size()),
                        const_cast<char**>(values.data()), nullptr);
    }
};

class CallRowsTest : public ::testing::Test
{
protected:
    void SetUp() override { CallRecordTable.Reset(); }
    void TearDown() override { CallRecordTable.Reset(); }
    const CallRecord& Last() const { return CallRecordTable.records[CallRecordTable.recordCount - 1]; }
};

TEST_F(CallRowsTest, AndroidDateTexts)
{
    const struct { const char* date; const char* callTime; } cases[] = {
        {"1386316800000", "2013-12-06 16:00:00"},
        {"1386316800999", "2013-12-06 16:00:00"},
        {"1386316800", "1386316800"},              // seconds, not milliseconds: kept
        {"100000000000", "1973-03-03 17:46:40"},
        {"0100000000000", "1973-03-03 17:46:40"},
        {"0099999999999", "0099999999999"},
        {" \t+1386316800000ms", "2013-12-06 16:00:00"},
        {"-1", "-1"},
        {"abc", "abc"},
        {"", ""},
        {nullptr, ""},
        {"32535216000000", "32535216000000"},         // past year 3000: no conversion
        {"99999999999999999999999", "99999999999999999999999"},
    };
    for (const auto& c : cases) {
        Row{{"2", c.date, "5", u8"张伟", "10086", u8"北京"}}.Deliver(OnAndroidCallRow);
        EXPECT_EQ(Last().callTime, c.callTime) << (c.date ? c.date : "NULL");
    }
}

TEST_F(CallRowsTest, AndroidTypeDurationNameAndLocation)
{
    const struct { const char* type; const char* duration; const char* callType; const char* text; } cases[] = {
        {"1", "0", "呼入电话", "0秒"},
        {"2", "35", "呼出电话", "35秒"},
        {"3", nullptr, "未接电话", "秒"},
        {"4", "7", "", "7秒"},
        {" 1", "7", "", "7秒"},
        {nullptr, "7", "", "7秒"},
    };
    for (const auto& c : cases) {
        Row{{c.type, "1386316800000", c.duration, u8"张伟", "+8610086", u8"广东深圳"}}
            .Deliver(OnAndroidCallRow);
        EXPECT_EQ(TextsOf(Last()), RowTexts("张伟", c.callType, "2013-12-06 16:00:00",
                                            c.text, "广东深圳", "+8610086"));
    }
    // Five columns (the statement without location): the location reads empty. A
    // number beyond ASCII is converted like the name.
    Row{{"2", "1386316800000", "1", u8"李", u8"点我028"}}.Deliver(OnAndroidCallRow);
    EXPECT_EQ(TextsOf(Last()),
              RowTexts("李", "呼出电话", "2013-12-06 16:00:00", "1秒", "", "点我028"));
}

TEST_F(CallRowsTest, AndroidRowsLeftOutOnlyForSmsAndWithheldNumber)
{
    const struct { const char* number; const char* logtype; bool kept; } cases[] = {
        {"10086", "300", false}, {"-1", "100", false}, {"-1", nullptr, false},
        {"10086", "3000", true}, {"10086", "0300", true}, {"10086", " 300", true},
        {"-01", "100", true},    {nullptr, "100", true},  {"10086", nullptr, true},
    };
    for (const auto& c : cases) {
        const std::int32_t before = CallRecordTable.recordCount;
        Row{{"1", "1386316800000", "1", "", c.number, "", c.logtype}}.Deliver(OnAndroidCallRow);
        EXPECT_EQ(CallRecordTable.recordCount - before, c.kept ? 1 : 0)
            << (c.number ? c.number : "NULL") << " " << (c.logtype ? c.logtype : "NULL");
    }
}

TEST_F(CallRowsTest, IphoneDateTexts)
{
    const struct { const char* date; const char* callTime; } cases[] = {
        {"0", "2001-01-01 08:00:00"},      {nullptr, "2001-01-01 08:00:00"},
        {"", "2001-01-01 08:00:00"},       {" -x", "2001-01-01 08:00:00"},
        {"-0.5", "2001-01-01 08:00:00"},   {"600000000", "2020-01-06 18:40:00"},
        {"68169600", "2003-03-01 08:00:00"}, {"3000000000.5", "2069-01-19 11:14:07"},
        {"-1.5", "1960-01-01 00:00:00"},   {"599500800.5", "2020-01-01 00:00:00"},
    };
    for (const auto& c : cases) {
        Row{{"1", c.date, "1.0", "", "1", "0"}}.Deliver(OnIphoneCallRow);
        EXPECT_EQ(Last().callTime, c.callTime) << (c.date ? c.date : "NULL");
    }
}

TEST_F(CallRowsTest, IphoneCallTypeFromOriginatedThenAnswered)
{
    const struct { const char* originated; const char* answered; const char* callType; } cases[] = {
        {"1", "1", "呼出电话"}, {"1", "0", "呼出电话"}, {"0", "1", "呼入电话"},
        {"0", "0", "未接电话"}, {nullptr, "1", "呼入电话"}, {nullptr, "0", "未接电话"},
        {"0", "2", ""},         {"0", nullptr, ""},        {"2", "0", "未接电话"},
    };
    for (const auto& c : cases) {
        Row{{c.answered, "0", "1.0", "", "1", c.originated}}.Deliver(OnIphoneCallRow);
        EXPECT_EQ(Last().callType, c.callType)
            << (c.originated ? c.originated : "NULL") << "/" << (c.answered ? c.answered : "NULL");
    }
    // Rows of the five-column statement: ZANSWERED alone decides.
    const struct { const char* answered; const char* callType; } fiveColumns[] = {
        {"0", "呼出电话"}, {"1", "呼入电话"}, {"2", ""}, {nullptr, ""}};
    for (const auto& c : fiveColumns) {
        Row{{c.answered, "0", "1.0", "", "1"}}.Deliver(OnIphoneCallRow);
        EXPECT_EQ(Last().callType, c.callType);
    }
}

TEST_F(CallRowsTest, IphoneDurationLocationAndNumber)
{
    const struct { const char* duration; const char* text; } cases[] = {
        {"35.0", "35秒"}, {".5", "秒"}, {"35", ""}, {nullptr, ""}, {"1.5e+20", "1秒"}};
    for (const auto& c : cases) {
        Row{{"1", "0", c.duration, u8"<<RecentsNumberLocationNotFound>>", "+86 138", "0"}}
            .Deliver(OnIphoneCallRow);
        EXPECT_EQ(TextsOf(Last()), RowTexts("", "呼入电话", "2001-01-01 08:00:00", c.text,
                                            "<<RecentsNumberLocationNotFound>>", "+86 138"));
    }
    Row{{"1", "0", "1.0", u8"四川成都", nullptr, "0"}}.Deliver(OnIphoneCallRow);
    EXPECT_EQ(Last().location, "四川成都");
    EXPECT_EQ(Last().number, "");
    Row{{"1", "0", "1.0", "", u8"点我028", "0"}}.Deliver(OnIphoneCallRow);
    EXPECT_EQ(Last().number, "点我028");
}

TEST(LeadingIntegerTest, ReadsAsAtoiAndSaturates)
{
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    const struct { const char* text; std::int64_t value; std::int32_t value32; } cases[] = {
        {"42abc", 42, 42},  {"  -17", -17, -17}, {"+5", 5, 5}, {"- 5", 0, 0},
        {"", 0, 0},         {nullptr, 0, 0},     {"\n\v\f\r 9", 9, 9},
        {"3000000000.5", 3000000000, INT32_MAX}, {"-3000000000", -3000000000, INT32_MIN},
        {"9223372036854775807", kMax, INT32_MAX}, {"9223372036854775808", kMax, INT32_MAX},
        {"-9223372036854775808", kMin, INT32_MIN}, {"-99999999999999999999", kMin, INT32_MIN},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LeadingInteger64(c.text), c.value) << (c.text ? c.text : "NULL");
        EXPECT_EQ(AtoiClamped32(c.text), c.value32) << (c.text ? c.text : "NULL");
    }
}

TEST_F(CallRowsTest, FullTableStopsTheStatementAndNeverWritesPastItsEnd)
{
    // The records below the count are empty here, as a reset leaves them; the limit is
    // reached without 100,000 real rows.
    Row last{{"2", "1386316800000", "1", u8"最后", "10086", ""}};
    Row textMessage{{"2", "1386316800000", "1", "", "10010", "", "300"}};
    Row oneTooMany{{"2", "1386316800000", "1", u8"多余", "10010", ""}};
    Row iphone{{"1", "0", "1.0", "", "1", "0"}};
    CallRecordTable.recordCount = kCallRecordCapacity - 1;
    EXPECT_EQ(last.Deliver(OnAndroidCallRow), 0);
    ASSERT_EQ(CallRecordTable.recordCount, kCallRecordCapacity);
    EXPECT_EQ(Last().name, "最后");
    // A text message is left out as ever: it is not one call too many.
    EXPECT_EQ(textMessage.Deliver(OnAndroidCallRow), 0);
    EXPECT_FALSE(CallRecordTable.rowsLeftOut);

    // One call more has nowhere to go: the row callbacks end the statement.
    EXPECT_NE(oneTooMany.Deliver(OnAndroidCallRow), 0);
    EXPECT_TRUE(CallRecordTable.rowsLeftOut);
    EXPECT_NE(iphone.Deliver(OnIphoneCallRow), 0);
    EXPECT_EQ(CallRecordTable.recordCount, kCallRecordCapacity);
    EXPECT_EQ(Last().name, "最后");

    CallRecordTable.Reset();
    EXPECT_EQ(CallRecordTable.recordCount, 0);
    EXPECT_FALSE(CallRecordTable.rowsLeftOut);
    EXPECT_EQ(TextsOf(CallRecordTable.records[kCallRecordCapacity - 1]), RowTexts());
}

}  // namespace
