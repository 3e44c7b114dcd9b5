// The call tables of SCHEMAS.md as fixtures: their column definitions, the builders
// that create a database file in a phone's layout and fill it, and generated calls.
#include "tests/support/fixtures.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>
#include <system_error>

namespace fixtures {

namespace {

using Columns = std::vector<std::string>;

const Columns kAndroid23 = {
    "_id INTEGER PRIMARY KEY AUTOINCREMENT", "number TEXT", "date INTEGER",
    "duration INTEGER", "type INTEGER", "new INTEGER", "name TEXT", "numbertype INTEGER",
    "numberlabel TEXT"};

const Columns kAndroid40 = {
    "_id INTEGER PRIMARY KEY AUTOINCREMENT", "number TEXT", "date INTEGER",
    "duration INTEGER", "type INTEGER", "new INTEGER", "name TEXT", "numbertype INTEGER",
    "numberlabel TEXT", "countryiso TEXT", "voicemail_uri TEXT", "is_read INTEGER",
    "geocoded_location TEXT", "lookup_uri TEXT", "matched_number TEXT",
    "normalized_number TEXT", "photo_id INTEGER NOT NULL DEFAULT 0",
    "formatted_number TEXT", "_data TEXT", "has_content INTEGER", "mime_type TEXT",
    "source_data TEXT", "source_package TEXT", "state INTEGER"};

const char* const kPresentation = "presentation INTEGER NOT NULL DEFAULT 1";

const Columns kAndroid60 = {
    "_id INTEGER PRIMARY KEY AUTOINCREMENT", "number TEXT", kPresentation,
    "date INTEGER", "duration INTEGER", "data_usage INTEGER", "type INTEGER",
    "features INTEGER NOT NULL DEFAULT 0", "subscription_component_name TEXT",
    "subscription_id TEXT", "phone_account_address TEXT",
    "phone_account_hidden INTEGER NOT NULL DEFAULT 0", "sub_id INTEGER DEFAULT -1",
    "new INTEGER", "name TEXT", "numbertype INTEGER", "numberlabel TEXT",
    "countryiso TEXT", "voicemail_uri TEXT", "is_read INTEGER", "geocoded_location TEXT",
    "lookup_uri TEXT", "matched_number TEXT", "normalized_number TEXT",
    "photo_id INTEGER NOT NULL DEFAULT 0", "photo_uri TEXT", "formatted_number TEXT",
    "_data TEXT", "has_content INTEGER", "mime_type TEXT", "source_data TEXT",
    "source_package TEXT", "transcription TEXT", "state INTEGER",
    "dirty INTEGER NOT NULL DEFAULT 0", "deleted INTEGER NOT NULL DEFAULT 0"};

// What an upgrade from 4.0-4.3 to 6.0 appends with ALTER TABLE ADD COLUMN.
const Columns kAndroid60Additions = {
    kPresentation, "data_usage INTEGER", "features INTEGER NOT NULL DEFAULT 0",
    "subscription_component_name TEXT", "subscription_id TEXT",
    "phone_account_address TEXT", "phone_account_hidden INTEGER NOT NULL DEFAULT 0",
    "sub_id INTEGER DEFAULT -1", "photo_uri TEXT", "transcription TEXT",
    "dirty INTEGER NOT NULL DEFAULT 0", "deleted INTEGER NOT NULL DEFAULT 0"};

const Columns kVendorLogs = {
    "_id INTEGER PRIMARY KEY AUTOINCREMENT", "number TEXT", "address TEXT", "date INTEGER",
    "duration INTEGER", "type INTEGER", "new INTEGER", "name TEXT", "name_reversed TEXT",
    "numbertype INTEGER", "numberlabel TEXT", "voicemail_uri TEXT", "is_read INTEGER",
    "countryiso TEXT", "geocoded_location TEXT", "lookup_uri TEXT", "matched_number TEXT",
    "normalized_number TEXT", "photo_id INTEGER NOT NULL DEFAULT 0",
    "formatted_number TEXT", "messageid TEXT", "logtype INTEGER NOT NULL",
    "frequent INTEGER", "contactid INTEGER NOT NULL", "raw_contact_id INTEGER",
    "m_subject TEXT", "m_content TEXT", "sns_tid TEXT", "sns_pkey TEXT",
    "account_name TEXT", "account_id TEXT", "sns_receiver_count TEXT", "sp_type TEXT",
    "cnap_name TEXT", "cdnip_number TEXT", "service_type INTEGER", "country_code TEXT",
    "cityid TEXT", "_data TEXT", "has_content INTEGER", "mime_type TEXT",
    "source_data TEXT", "source_package TEXT", "state INTEGER"};

// A vendor's call.db: its texts are never NULL, and the date is declared BIGINT.
const Columns kVendorCallDb = {
    "_id INTEGER PRIMARY KEY AUTOINCREMENT", "number TEXT DEFAULT ''", "date BIGINT",
    "duration INTEGER", "type INTEGER", "new INTEGER", "name TEXT DEFAULT ''",
    "numbertype INTEGER", "numberlabel TEXT DEFAULT ''", "countryiso TEXT DEFAULT ''",
    "is_read INTEGER", "geocoded_location TEXT DEFAULT ''",
    "normalized_number TEXT DEFAULT ''"};

const Columns kIos9 = {
    "Z_PK INTEGER PRIMARY KEY", "Z_ENT INTEGER", "Z_OPT INTEGER", "ZANSWERED INTEGER",
    "ZCALLTYPE INTEGER", "ZDISCONNECTED_CAUSE INTEGER", "ZFACE_TIME_DATA INTEGER",
    "ZNUMBER_AVAILABILITY INTEGER", "ZORIGINATED INTEGER", "ZREAD INTEGER",
    "ZDATE TIMESTAMP", "ZDURATION FLOAT", "ZDEVICE_ID VARCHAR", "ZISO_COUNTRY_CODE VARCHAR",
    "ZLOCATION VARCHAR", "ZNAME VARCHAR", "ZUNIQUE_ID VARCHAR UNIQUE", "ZADDRESS BLOB"};

const Columns kIos10 = {
    "Z_PK INTEGER PRIMARY KEY", "Z_ENT INTEGER", "Z_OPT INTEGER", "ZANSWERED INTEGER",
    "ZCALL_CATEGORY INTEGER", "ZCALLTYPE INTEGER", "ZDISCONNECTED_CAUSE INTEGER",
    "ZFACE_TIME_DATA INTEGER", "ZHANDLE_TYPE INTEGER", "ZNUMBER_AVAILABILITY INTEGER",
    "ZORIGINATED INTEGER", "ZREAD INTEGER", "ZDATE TIMESTAMP", "ZDURATION FLOAT",
    "ZDEVICE_ID VARCHAR", "ZISO_COUNTRY_CODE VARCHAR", "ZLOCATION VARCHAR", "ZNAME VARCHAR",
    "ZSERVICE_PROVIDER VARCHAR", "ZUNIQUE_ID VARCHAR UNIQUE", "ZADDRESS BLOB"};

// Core Data's entity number of CallRecord in these stores.
constexpr int kCallRecordEntity = 2;

std::string joined(const Columns& columns)
{
    std::string text;
    for (const std::string& column : columns)
        text += (text.empty() ? "" : ", ") + column;
    return text;
}

// "name TYPE" of a column definition: its first two words.
std::string nameAndType(const std::string& definition)
{
    std::istringstream words(definition);
    std::string name, type;
    words >> name >> type;
    return type.empty() ? name : name + " " + type;
}

bool hasColumn(const Columns& columns, const std::string& name)
{
    return std::any_of(columns.begin(), columns.end(), [&](const std::string& d) {
        return d.compare(0, name.size() + 1, name + " ") == 0;
    });
}

const Columns& createdColumns(AndroidLayout layout)
{
    switch (layout) {
    case AndroidLayout::Calls23: return kAndroid23;
    case AndroidLayout::Calls40: return kAndroid40;
    case AndroidLayout::Calls60: return kAndroid60;
    case AndroidLayout::Calls60Upgraded: return kAndroid40;
    case AndroidLayout::VendorLogs: return kVendorLogs;
    case AndroidLayout::VendorCallDb: return kVendorCallDb;
    case AndroidLayout::Calls44: break;
    }
    static const Columns android44 = [] {
        Columns columns = kAndroid40;
        columns.insert(columns.begin() + 2, kPresentation);
        return columns;
    }();
    return android44;
}

void removeDatabaseFiles(const std::string& path)
{
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        std::filesystem::remove(path + suffix, ignored);
}

// The build every layout shares: page size, encoding and journal mode, the schema,
// then the calls in two phases (file, then -wal only), each followed by its deletions.
// insert(db, index) inserts call `index` and returns its rowid; deletedAt(index) tells
// whether it is to be deleted.
void buildCallTable(const std::string& path, const BuildOptions& options,
                    const std::string& defaultEncoding,
                    const Columns& schemaStatements, const std::string& table,
                    const std::string& keyColumn, int callCount,
                    const std::function<std::int64_t(Database&, int)>& insert,
                    const std::function<bool(int)>& deletedAt)
{
    removeDatabaseFiles(path);
    Database db(path);
    const std::string& encoding = options.encoding.empty() ? defaultEncoding : options.encoding;
    db.Exec("PRAGMA encoding='" + encoding + "'");
    db.Exec("PRAGMA page_size=" + std::to_string(options.pageSize));
    if (!options.autoVacuum.empty())
        db.Exec("PRAGMA auto_vacuum=" + options.autoVacuum);
    db.Exec("PRAGMA synchronous=OFF");
    if (options.wal)
        db.Exec("PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0");
    for (const std::string& statement : schemaStatements)
        db.Exec(statement);
    const int inWal = options.wal ? std::clamp(options.rowsOnlyInWal, 0, callCount) : 0;
    auto phase = [&](int begin, int end) {
        std::vector<std::int64_t> doomed;
        db.Exec("BEGIN");
        for (int i = begin; i < end; ++i) {
            const std::int64_t rowid = insert(db, i);
            if (deletedAt(i))
                doomed.push_back(rowid);
        }
        db.Exec("COMMIT");
        for (std::int64_t rowid : doomed)
            db.Exec("DELETE FROM " + table + " WHERE " + keyColumn + "=" + std::to_string(rowid));
    };
    phase(0, callCount - inWal);
    if (!options.wal) {
        db.Close();
        return;
    }
    db.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
    phase(callCount - inWal, callCount);
    db.Close(/*keepWal=*/true);
    std::error_code ignored;
    std::filesystem::remove(path + "-shm", ignored);
}

}  // namespace

std::vector<std::string> AndroidLayoutColumns(AndroidLayout layout)
{
    Columns columns = createdColumns(layout);
    if (layout == AndroidLayout::Calls60Upgraded)
        columns.insert(columns.end(), kAndroid60Additions.begin(), kAndroid60Additions.end());
    std::transform(columns.begin(), columns.end(), columns.begin(), nameAndType);
    return columns;
}

std::vector<std::string> IphoneLayoutColumns(IphoneLayout layout)
{
    Columns columns = layout == IphoneLayout::Ios9 ? kIos9 : kIos10;
    std::transform(columns.begin(), columns.end(), columns.begin(), nameAndType);
    return columns;
}

void BuildAndroidDatabase(const std::string& utf8Path, AndroidLayout layout,
                          const std::vector<AndroidCall>& calls, const BuildOptions& options)
{
    const Columns& created = createdColumns(layout);
    const bool logs = layout == AndroidLayout::VendorLogs;
    const std::string table = logs ? "logs" : "calls";
    Columns schema = {"CREATE TABLE android_metadata (locale TEXT)",
                      "INSERT INTO android_metadata VALUES('zh_CN')",
                      "CREATE TABLE " + table + " (" + joined(created) + ")"};
    if (layout == AndroidLayout::Calls60Upgraded) {
        for (const std::string& column : kAndroid60Additions)
            schema.push_back("ALTER TABLE calls ADD COLUMN " + column);
    }
    Columns columns = {"_id", "number", "date", "duration", "type", "name", "new"};
    const bool hasLocation = hasColumn(created, "geocoded_location");
    const bool hasCountry = hasColumn(created, "countryiso");
    const bool hasNormalized = hasColumn(created, "normalized_number");
    if (hasLocation)
        columns.push_back("geocoded_location");
    if (hasCountry)
        columns.insert(columns.end(), {"countryiso", "is_read"});
    if (hasNormalized)
        columns.push_back("normalized_number");
    if (logs)
        columns.insert(columns.end(), {"logtype", "contactid"});
    auto insert = [&](Database& db, int i) {
        const AndroidCall& call = calls[static_cast<std::size_t>(i)];
        std::vector<SqlValue> values = {options.firstRowid + i, call.number, call.date,
                                        call.duration, call.type, call.name, 1};
        if (hasLocation)
            values.push_back(call.location);
        if (hasCountry)
            values.insert(values.end(), {u8"CN", 1});
        if (hasNormalized)
            values.push_back(call.number.kind() == SqlValue::Kind::Text
                                 ? SqlValue(u8"+86" + call.number.bytes()) : SqlValue());
        if (logs)
            values.insert(values.end(), {call.logtype, 0});
        return db.Insert(table, columns, values);
    };
    const char* encoding = layout == AndroidLayout::VendorCallDb ? "UTF-16le" : "UTF-8";
    buildCallTable(utf8Path, options, encoding, schema, table,
                   "_id", static_cast<int>(calls.size()), insert,
                   [&](int i) { return calls[static_cast<std::size_t>(i)].deleted; });
}

namespace {

// A Core Data UUID text (36 characters) that differs by call.
std::string uniqueIdOf(int i)
{
    static const char kHex[] = "0123456789ABCDEF";
    constexpr int kNodeDigits = 12;
    std::string node(kNodeDigits, '0');
    unsigned long long value = static_cast<unsigned long long>(i);
    for (int d = kNodeDigits - 1; d >= 0 && value != 0; --d, value >>= 4)
        node[static_cast<std::size_t>(d)] = kHex[value & 0xF];
    return "6B1F0C2E-4A5D-4C4B-9E61-" + node;
}

}  // namespace

void BuildIphoneDatabase(const std::string& utf8Path, IphoneLayout layout,
                         const std::vector<IphoneCall>& calls, const BuildOptions& options)
{
    const bool ios10 = layout == IphoneLayout::Ios10;
    const Columns schema = {
        "CREATE TABLE ZCALLRECORD ( " + joined(ios10 ? kIos10 : kIos9) + " )",
        "CREATE TABLE Z_PRIMARYKEY (Z_ENT INTEGER PRIMARY KEY, Z_NAME VARCHAR, "
        "Z_SUPER INTEGER, Z_MAX INTEGER)",
        "INSERT INTO Z_PRIMARYKEY VALUES(" + std::to_string(kCallRecordEntity) +
            ", 'CallRecord', 0, " + std::to_string(calls.size()) + ")"};
    Columns columns = {"Z_PK", "Z_ENT", "Z_OPT", "ZANSWERED", "ZCALLTYPE", "ZNUMBER_AVAILABILITY",
                       "ZORIGINATED", "ZREAD", "ZDATE", "ZDURATION", "ZISO_COUNTRY_CODE",
                       "ZLOCATION", "ZNAME", "ZUNIQUE_ID", "ZADDRESS"};
    if (ios10)
        columns.insert(columns.end(), {"ZCALL_CATEGORY", "ZHANDLE_TYPE", "ZSERVICE_PROVIDER"});
    auto insert = [&](Database& db, int i) {
        const IphoneCall& call = calls[static_cast<std::size_t>(i)];
        std::vector<SqlValue> values = {options.firstRowid + i, kCallRecordEntity, 1,
                                        call.answered, 1, 0,
                                        call.originated, 1, call.date, call.duration,
                                        u8"cn", call.location, call.name, uniqueIdOf(i),
                                        call.address};
        if (ios10)
            values.insert(values.end(), {1, 2, u8"com.apple.Telephony"});
        return db.Insert("ZCALLRECORD", columns, values);
    };
    buildCallTable(utf8Path, options, "UTF-8", schema, "ZCALLRECORD", "Z_PK",
                   static_cast<int>(calls.size()), insert,
                   [&](int i) { return calls[static_cast<std::size_t>(i)].deleted; });
}

namespace {

const char* const kNames[] = {u8"张伟", u8"王芳", u8"李娜", u8"刘洋",
                              u8"陈静", u8"杨磊", u8"赵敏", u8"黄勇"};
const char* const kLocations[] = {u8"北京", u8"上海", u8"广东广州", u8"广东深圳",
                                  u8"浙江杭州", u8"四川成都", u8"江苏南京", u8"湖北武汉"};
constexpr int kNameCount = sizeof kNames / sizeof kNames[0];
constexpr int kLocationCount = sizeof kLocations / sizeof kLocations[0];

// 2020-01-01 00:00:00 UTC+8, in seconds since 1970 and since 2001 (UTC).
constexpr long long kFirstCallUnixSeconds = 1577808000;
constexpr long long kIphoneEpochOffsetSeconds = 978307200;
constexpr long long kSecondsPerHour = 3600;
constexpr int kVoicemailEvery = 7;

// Mobile numbers 138..., a prime step apart so that no two calls share one.
constexpr long long kFirstNumber = 13800000000LL;
constexpr long long kNumberStep = 7919;
// Durations spread over 0 to 599 seconds.
constexpr int kDurationStep = 37;
constexpr int kDurationSpan = 600;
// Android dates carry a millisecond part, as phones write them.
constexpr int kMillisecondSpan = 1000;

std::string generatedNumber(int i)
{
    return std::to_string(kFirstNumber + kNumberStep * i);
}

}  // namespace

std::vector<AndroidCall> GeneratedAndroidCalls(int count)
{
    std::vector<AndroidCall> calls;
    calls.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        AndroidCall call;
        call.number = generatedNumber(i);
        call.date = (kFirstCallUnixSeconds + kSecondsPerHour * i) * 1000LL + i % kMillisecondSpan;
        call.duration = (i * kDurationStep) % kDurationSpan;
        call.type = (i % kVoicemailEvery == kVoicemailEvery - 1) ? 4 : 1 + i % 3;
        call.name = kNames[i % kNameCount];
        call.location = kLocations[i % kLocationCount];
        calls.push_back(call);
    }
    return calls;
}

std::vector<IphoneCall> GeneratedIphoneCalls(int count)
{
    std::vector<IphoneCall> calls;
    calls.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        IphoneCall call;
        // Incoming answered, outgoing answered, missed, in turn.
        call.originated = i % 3 == 1 ? 1 : 0;
        call.answered = i % 3 == 2 ? 0 : 1;
        call.date = static_cast<double>(kFirstCallUnixSeconds - kIphoneEpochOffsetSeconds +
                                        kSecondsPerHour * i) + 0.5;
        call.duration = static_cast<double>((i * kDurationStep) % kDurationSpan);
        call.location = kLocations[i % kLocationCount];
        call.address = SqlValue::Blob(generatedNumber(i));
        call.name = kNames[i % kNameCount];
        calls.push_back(call);
    }
    return calls;
}

void BuildContactsWithoutCalls(const std::string& utf8Path, int contacts,
                               const BuildOptions& options)
{
    const Columns schema = {
        "CREATE TABLE android_metadata (locale TEXT)",
        "INSERT INTO android_metadata VALUES('zh_CN')",
        "CREATE TABLE raw_contacts (_id INTEGER PRIMARY KEY AUTOINCREMENT, account_id INTEGER, "
        "sourceid TEXT, version INTEGER NOT NULL DEFAULT 1, dirty INTEGER NOT NULL DEFAULT 0, "
        "deleted INTEGER NOT NULL DEFAULT 0, contact_id INTEGER, display_name TEXT, "
        "times_contacted INTEGER NOT NULL DEFAULT 0, last_time_contacted INTEGER)",
        "CREATE TABLE data (_id INTEGER PRIMARY KEY AUTOINCREMENT, "
        "raw_contact_id INTEGER NOT NULL, mimetype_id INTEGER NOT NULL, data1 TEXT, "
        "data2 TEXT, data3 TEXT)"};
    // The mimetypes rows of a phone number and of a structured name.
    constexpr int kPhoneMimetype = 5;
    constexpr int kNameMimetype = 7;
    constexpr int kMobileNumber = 2;
    const std::vector<AndroidCall> people = GeneratedAndroidCalls(contacts);
    auto insert = [&](Database& db, int i) {
        const AndroidCall& person = people[static_cast<std::size_t>(i)];
        const long long id = options.firstRowid + i;
        db.Insert("raw_contacts", {"_id", "contact_id", "display_name", "last_time_contacted"},
                  {id, id, person.name, person.date});
        db.Insert("data", {"raw_contact_id", "mimetype_id", "data1", "data2"},
                  {id, kPhoneMimetype, person.number, kMobileNumber});
        db.Insert("data", {"raw_contact_id", "mimetype_id", "data1"},
                  {id, kNameMimetype, person.name});
        return id;
    };
    buildCallTable(utf8Path, options, "UTF-8", schema, "raw_contacts", "_id", contacts, insert,
                   [](int i) { return i % 3 == 0; });
}

}  // namespace fixtures
