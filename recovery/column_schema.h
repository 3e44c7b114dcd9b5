// The live call table's columns, captured at every open for the scanner: per family,
// the column names lower-cased and the declared types upper-cased, in table order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

constexpr std::int32_t kColumnSchemaCapacity = 300;

struct ColumnSchemaFamily
{
    std::string names[kColumnSchemaCapacity];
    std::string types[kColumnSchemaCapacity];
    // Entries 0 to count - 1 are meaningful; later ones may hold an earlier file's texts.
    std::int32_t count = 0;
};

struct ColumnSchemaTables
{
    ColumnSchemaFamily iphone;    // ZCALLRECORD
    ColumnSchemaFamily android;   // calls, or logs for logs.db
};

extern ColumnSchemaTables ColumnSchema;

// sqlite3_exec row callbacks for "PRAGMA table_info(...)": append the row's column name
// (value 1) and declared type (value 2) to their family; NULL reads as "". Columns past
// the 300th are not kept. Always return 0.
int OnIphoneColumnInfo(void* context, int columnCount, char** values, char** names);
int OnAndroidColumnInfo(void* context, int columnCount, char** values, char** names);

// What a decoder does with a column, looked up by its lower-case name in `table`;
// `otherwise` for a name the table does not hold.
template <typename Role, std::size_t N>
Role RoleByColumnName(const std::pair<const char*, Role> (&table)[N],
                      const std::string& columnName, Role otherwise)
{
    for (const auto& entry : table) {
        if (columnName == entry.first) {
            return entry.second;
        }
    }
    return otherwise;
}
