// Column schema capture: the table_info callbacks on hand-made rows, and on real files.
#include <gtest/gtest.h>

#include <cctype>

#include "reader/call_log_database.h"
#include "recovery/column_schema.h"
#include "recovery/schema_capture.h"
#include "tests/support/fixtures.h"

namespace {

// Feeds table_info rows (cid, name, type, notnull, dflt_value, pk) to a callback.
void Deliver(int (*callback)(void*, int, char**, char**),
             std::vector<std::pair<const char*, const char*>> columns)
{
    for (const auto& column : columns) {
        const char* values[] = {"0", column.first, column.second, "0", nullptr, "0"};
        EXPECT_EQ(callback(nullptr, 6, const_cast<char**>(values), nullptr), 0);
    }
}

std::vector<std::string> Entries(const ColumnSchemaFamily& family)
{
    std::vector<std::string> entries;
    for (int i = 0; i < family.count; ++i)
        entries.push_back(family.names[i] + " " + family.types[i]);
    return entries;
}

class ColumnSchemaTest : public ::testing::Test
{
protected:
    void SetUp() override { ColumnSchema.iphone.count = ColumnSchema.android.count = 0; }
};

TEST_F(ColumnSchemaTest, NamesLowerAndTypesUpperInTableOrder)
{
    Deliver(OnAndroidColumnInfo, {{"number", "TEXT"}, {"Date", "integer"}, {"duration", "Integer"},
                                  {"type", "INTEGER"}, {"name", ""}, {nullptr, nullptr}});
    EXPECT_EQ(Entries(ColumnSchema.android),
              (std::vector<std::string>{"number TEXT", "date INTEGER", "duration INTEGER",
                                        "type INTEGER", "name ", " "}));
    Deliver(OnIphoneColumnInfo, {{"ZDate", "timestamp"}, {"Z_ENT", "InTeGeR"}});
    EXPECT_EQ(Entries(ColumnSchema.iphone),
              (std::vector<std::string>{"zdate TIMESTAMP", "z_ent INTEGER"}));
    EXPECT_EQ(ColumnSchema.android.count, 6);   // families independent
}

TEST_F(ColumnSchemaTest, SmallerSecondTableAndCapacity)
{
    Deliver(OnAndroidColumnInfo, {{"a", "TEXT"}, {"b", "TEXT"}, {"c", "BLOB"}});
    ColumnSchema.android.count = 0;
    Deliver(OnAndroidColumnInfo, {{"x", "INTEGER"}});
    EXPECT_EQ(Entries(ColumnSchema.android), std::vector<std::string>{"x INTEGER"});
    EXPECT_EQ(ColumnSchema.android.names[2], "c");   // left over, past the count

    ColumnSchema.android.count = 0;
    for (int i = 0; i <= kColumnSchemaCapacity; ++i)
        Deliver(OnAndroidColumnInfo, {{"c", "TEXT"}});
    EXPECT_EQ(ColumnSchema.android.count, kColumnSchemaCapacity);
}

TEST_F(ColumnSchemaTest, CaptureFromFilesByVariant)
{
    fixtures::TempDir dir;
    fixtures::BuildIphoneDatabase(dir.File("CallHistory.storedata"), fixtures::IphoneLayout::Ios10, {});
    fixtures::BuildAndroidDatabase(dir.File("logs.db"), fixtures::AndroidLayout::VendorLogs, {});
    auto expected = [](std::vector<std::string> columns) {
        for (std::string& column : columns) {
            const std::size_t space = column.find(' ');
            for (std::size_t i = 0; i < column.size(); ++i)
                column[i] = static_cast<char>(i < space ? std::tolower(column[i]) : std::toupper(column[i]));
        }
        return columns;
    };
    CallLogConnection iphone(dir.File("CallHistory.storedata"));
    CaptureColumnSchema(iphone, CallLogVariant::IphoneStoredata);
    EXPECT_EQ(Entries(ColumnSchema.iphone),
              expected(fixtures::IphoneLayoutColumns(fixtures::IphoneLayout::Ios10)));

    CallLogConnection logs(dir.File("logs.db"));
    CaptureColumnSchema(logs, CallLogVariant::AndroidLogsDb);
    EXPECT_EQ(Entries(ColumnSchema.android),
              expected(fixtures::AndroidLayoutColumns(fixtures::AndroidLayout::VendorLogs)));
    // The logs table is not looked for in a contacts2.db: calls is.
    CaptureColumnSchema(logs, CallLogVariant::AndroidContacts2Db);
    EXPECT_EQ(ColumnSchema.android.count, 0);
    EXPECT_EQ(ColumnSchema.iphone.count, 21);   // untouched by Android captures

    CaptureColumnSchema(iphone, CallLogVariant::IphoneCallHistoryDb);
    EXPECT_EQ(ColumnSchema.iphone.count, 0);
}

}  // namespace
