// The two column-schema families and the table_info row callbacks that fill them.
// Names are kept lower-cased and declared types upper-cased (code page 936 rules), so
// the remnant rules compare them with fixed literals.
#include "recovery/column_schema.h"

#include "platform/crt.h"
#include "recovery/schema_capture.h"

ColumnSchemaTables ColumnSchema;

namespace {

// Result columns of PRAGMA table_info: cid, name, type, notnull, dflt_value, pk.
constexpr int kTableInfoName = 1;
constexpr int kTableInfoType = 2;

// _mbslwr_s/_mbsupr_s work in place on the string's own buffer, terminator included.
void toLowerInPlace(std::string& text)
{
    _mbslwr_s(reinterpret_cast<unsigned char*>(&text[0]), text.size() + 1);
}

void toUpperInPlace(std::string& text)
{
    _mbsupr_s(reinterpret_cast<unsigned char*>(&text[0]), text.size() + 1);
}

// Appends one pragma row as the family's next column; columns past the capacity are
// not kept.
int appendColumn(ColumnSchemaFamily& family, int columnCount, char** values)
{
    if (family.count < 0 || family.count >= kColumnSchemaCapacity)
        return 0;
    std::string& name = family.names[family.count];
    std::string& type = family.types[family.count];
    name = SqliteTextOrEmpty(columnCount, values, kTableInfoName);
    toLowerInPlace(name);
    type = SqliteTextOrEmpty(columnCount, values, kTableInfoType);
    toUpperInPlace(type);
    ++family.count;
    return 0;
}

}  // namespace

int OnIphoneColumnInfo(void* /*context*/, int columnCount, char** values, char** /*names*/)
{
    return appendColumn(ColumnSchema.iphone, columnCount, values);
}

int OnAndroidColumnInfo(void* /*context*/, int columnCount, char** values, char** /*names*/)
{
    return appendColumn(ColumnSchema.android, columnCount, values);
}

void EmptyColumnSchemaFamily(CallLogVariant variant)
{
    if (IsIphoneVariant(variant))
        ColumnSchema.iphone.count = 0;
    else if (IsAndroidVariant(variant))
        ColumnSchema.android.count = 0;
}

void CaptureColumnSchema(CallLogConnection& connection, CallLogVariant variant)
{
    EmptyColumnSchemaFamily(variant);
    switch (variant) {
    case CallLogVariant::IphoneStoredata:
        connection.Exec("PRAGMA table_info(ZCALLRECORD)", OnIphoneColumnInfo);
        break;
    case CallLogVariant::AndroidLogsDb:
        connection.Exec("PRAGMA table_info(logs)", OnAndroidColumnInfo);
        break;
    case CallLogVariant::AndroidCallDb:
    case CallLogVariant::AndroidContacts2Db:
        connection.Exec("PRAGMA table_info(calls)", OnAndroidColumnInfo);
        break;
    case CallLogVariant::IphoneCallHistoryDb:   // no schema: the family stays empty
    case CallLogVariant::None:
        break;
    }
}
