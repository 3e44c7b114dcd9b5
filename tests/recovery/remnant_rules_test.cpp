// The per-column acceptance rules of Android and iPhone remnants, and the per-scan
// tables compiled from them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recovery/android_remnant.h"
#include "recovery/iphone_remnant.h"

namespace {

constexpr CallLogVariant kCallDb = CallLogVariant::AndroidCallDb;
constexpr CallLogVariant kContacts = CallLogVariant::AndroidContacts2Db;
constexpr CallLogVariant kLogs = CallLogVariant::AndroidLogsDb;

struct AndroidRuleCase
{
    CallLogVariant variant;
    const char* type;
    const char* name;
    std::vector<int> accepted;
    std::vector<int> refused;
};

TEST(CheckAndroidColumn, RuleTable)
{
    const std::vector<AndroidRuleCase> cases = {
        // "type": NULL, 1..4 byte integers and the content-free 0 and 1.
        {kCallDb, "INTEGER", "type", {0, 1, 2, 3, 4, 8, 9}, {5, 6, 7, 10, 13, -1}},
        {kContacts, "INTEGER", "type", {0, 1, 4, 8, 9}, {5, 7, 12, 15}},
        {kLogs, "INTEGER", "type", {0, 1, 4, 8, 9}, {5, 6, 11}},
        {kCallDb, "BIGINT", "date", {5}, {0, 4, 6, 8}},
        {kContacts, "INTEGER", "date", {5}, {0, 1, 6, 9}},
        {kLogs, "INTEGER", "date", {5}, {0, 4, 7}},
        {kLogs, "INTEGER", "logtype", {1, 2}, {0, 3, 4, 8, 9}},
        // call.db texts: every text, the empty one included; NULL refused.
        {kCallDb, "TEXT", "number", {13, 15, 101, 1001}, {0, 1, 12, 14, 11, -3}},
        // contacts2.db and logs.db texts: NULL and non-empty texts; the empty one refused.
        {kContacts, "TEXT", "name", {0, 15, 17, 999}, {13, 12, 1, 14, 11, -3}},
        {kLogs, "TEXT", "number", {0, 15, 101}, {13, 12, 2}},
        // Pairs the table does not name accept everything.
        {kContacts, "BIGINT", "date", {0, 1, 7, 12, 13, -5}, {}},
        {kCallDb, "INTEGER", "date", {0, 3, 13}, {}},
        {kContacts, "INTEGER", "logtype", {0, 2, 300}, {}},
        {kCallDb, "BIGINT", "duration", {0, 7, 14}, {}},
        {kContacts, "integer", "type", {5, 7}, {}},   // not the upper-case literal
    };
    for (const AndroidRuleCase& c : cases) {
        for (int type : c.accepted) {
            EXPECT_TRUE(CheckAndroidColumn(c.variant, c.type, c.name, type))
                << c.type << " " << c.name << " serial type " << type;
        }
        for (int type : c.refused) {
            EXPECT_FALSE(CheckAndroidColumn(c.variant, c.type, c.name, type))
                << c.type << " " << c.name << " serial type " << type;
        }
    }
}

struct IphoneRuleCase
{
    const char* type;
    const char* name;
    std::vector<int> accepted;
    std::vector<int> refused;
};

TEST(CheckIphoneColumn, RuleTable)
{
    const std::vector<IphoneRuleCase> cases = {
        {"INTEGER", "zanswered", {8, 9}, {0, 1, 7, 10}},
        {"INTEGER", "z_ent", {1, 2, 3, 4, -2}, {0, 5, 9}},
        {"INTEGER", "zoriginated", {0, 1, 9, -7}, {10, 11, 13}},
        {"FLOAT", "zduration", {0, 7, 10, -1}, {11, 12, 13}},
        {"VARCHAR", "zlocation", {0, 13, 15, 1001}, {12, 14, 1, 11, -13}},
        {"TIMESTAMP", "zdate", {7}, {6, 0, 8, 5}},
        {"TIMESTAMP", "zother", {1, 13, 12}, {}},
        {"BLOB", "zaddress", {0, 12, 14, 200}, {11, 13, 1, -2}},
        {"TEXT", "zaddress", {0, 1, 11, 12, 13}, {}},
    };
    for (const IphoneRuleCase& c : cases) {
        for (int type : c.accepted) {
            EXPECT_TRUE(CheckIphoneColumn(c.type, c.name, type))
                << c.type << " " << c.name << " serial type " << type;
        }
        for (int type : c.refused) {
            EXPECT_FALSE(CheckIphoneColumn(c.type, c.name, type))
                << c.type << " " << c.name << " serial type " << type;
        }
    }
}

// The tables a scan compiles must give exactly the rule functions' answers.
std::vector<std::int32_t> SampleSerialTypes()
{
    std::vector<std::int32_t> types;
    for (std::int32_t t = -300; t <= 1200; ++t) {
        types.push_back(t);
    }
    for (std::int32_t t : {INT32_MIN, INT32_MIN + 1, -65536, 65535, 65536, INT32_MAX - 1,
                           INT32_MAX}) {
        types.push_back(t);
    }
    return types;
}

TEST(SerialTypeRule, CompiledTablesAgreeWithTheRules)
{
    const std::vector<std::pair<std::string, std::string>> columns = {
        {"type", "INTEGER"}, {"date", "INTEGER"}, {"date", "BIGINT"}, {"logtype", "INTEGER"},
        {"number", "TEXT"}, {"duration", "INTEGER"}, {"zanswered", "INTEGER"},
        {"z_ent", "INTEGER"}, {"zduration", "FLOAT"}, {"zlocation", "VARCHAR"},
        {"zdate", "TIMESTAMP"}, {"zaddress", "BLOB"}, {"x", ""}};
    ColumnSchemaFamily schema;
    schema.count = static_cast<std::int32_t>(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        schema.names[i] = columns[i].first;
        schema.types[i] = columns[i].second;
    }
    const std::vector<std::int32_t> types = SampleSerialTypes();
    for (CallLogVariant variant : {kCallDb, kContacts, kLogs}) {
        ColumnRules rules;
        CompileAndroidRules(variant, schema, rules);
        ASSERT_EQ(rules.columnCount, schema.count);
        for (std::int32_t i = 0; i < schema.count; ++i) {
            for (std::int32_t t : types) {
                ASSERT_EQ(rules.rules[i].Accepts(t),
                          CheckAndroidColumn(variant, schema.types[i], schema.names[i], t))
                    << schema.names[i] << " " << t;
            }
            for (std::int32_t t = 0; t < 128; ++t) {
                ASSERT_EQ(rules.rules[i].AcceptsOneByte(t), rules.rules[i].Accepts(t)) << t;
            }
            // The header-byte table: flag and content size for accepted one-byte types,
            // 0 for refused ones and for every byte that starts a longer varint.
            for (std::int32_t b = 0; b < 256; ++b) {
                const bool oneByte = b < 128 && rules.rules[i].Accepts(b);
                ASSERT_EQ(rules.oneByte[i][b],
                          oneByte ? 0x8000 + kOneByteContentSizes.sizes[b] : 0) << b;
            }
        }
    }
    IphoneRules iphone;
    CompileIphoneRules(schema, iphone);
    EXPECT_FALSE(iphone.hasOriginated);
    for (std::int32_t i = 0; i < schema.count; ++i) {
        for (std::int32_t t : types) {
            ASSERT_EQ(iphone.columns.rules[i].Accepts(t),
                      CheckIphoneColumn(schema.types[i], schema.names[i], t))
                << schema.names[i] << " " << t;
        }
    }
}

}  // namespace
