// Test fixtures: real SQLite call-log databases built at test time with the layouts
// phones write (iPhone ZCALLRECORD, Android calls of several releases, a vendor logs
// table, a UTF-16 call.db), with deleted rows whose remnants stay in the file and,
// on request, rows that live only in a -wal beside it. Plus temp dirs and file helpers.
//
// Texts given to the builders are UTF-8 (write them as u8"..." literals: a plain
// literal is code page 936 in this build). Failures to build throw std::runtime_error
// with SQLite's message: a fixture that cannot be made is a broken test set-up.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace fixtures {

// One column value: NULL, a 64-bit integer, a REAL, a text (UTF-8 bytes) or a blob.
// Implicit from integers, doubles and texts, so a call reads {u8"10086", 1386316800000}.
class SqlValue
{
public:
    enum class Kind { Null, Integer, Real, Text, Blob };
    SqlValue() = default;                       // NULL
    SqlValue(int value) : m_kind(Kind::Integer), m_integer(value) {}
    SqlValue(long value) : m_kind(Kind::Integer), m_integer(value) {}
    SqlValue(long long value) : m_kind(Kind::Integer), m_integer(value) {}
    SqlValue(double value) : m_kind(Kind::Real), m_real(value) {}
    SqlValue(const char* utf8);                 // a text; a null pointer is NULL
    SqlValue(std::string utf8) : m_kind(Kind::Text), m_bytes(std::move(utf8)) {}
    static SqlValue Blob(std::string bytes);

    Kind kind() const { return m_kind; }
    std::int64_t integer() const { return m_integer; }
    double real() const { return m_real; }
    const std::string& bytes() const { return m_bytes; }   // text or blob content

private:
    Kind m_kind = Kind::Null;
    std::int64_t m_integer = 0;
    double m_real = 0;
    std::string m_bytes;
};

// ---------------------------------------------------------------------------------
// A read-write connection for building any table by hand (the layouts below use it).
// The file is created when missing; `PRAGMA secure_delete=OFF` is set, so deleted
// content stays in the file (Debian's SQLite zeroes it otherwise).
class Database
{
public:
    explicit Database(const std::string& utf8Path);
    ~Database();                                 // Close()
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void Exec(const std::string& sql);           // one or more statements, no rows
    // INSERT INTO table(columns...) VALUES(values...) with a cached prepared
    // statement; returns the new rowid.
    std::int64_t Insert(const std::string& table, const std::vector<std::string>& columns,
                        const std::vector<SqlValue>& values);
    // Closes the connection. keepWal: a WAL-mode database is closed without a
    // checkpoint, so its -wal (and -shm) stay beside the file as a phone leaves them.
    void Close(bool keepWal = false);
    sqlite3* handle() const { return m_db; }

private:
    sqlite3_stmt* statementFor(const std::string& sql);
    sqlite3* m_db = nullptr;
    std::vector<std::pair<std::string, sqlite3_stmt*>> m_statements;
};

// ---------------------------------------------------------------------------------
// Call tables as phones write them (column orders of SCHEMAS.md).
enum class AndroidLayout {
    Calls23,          // contacts2.db calls of Android 2.3: no geocoded_location column
    Calls40,          // contacts2.db calls, Android 4.0 to 4.3
    Calls44,          // 4.4: presentation right after number
    Calls60,          // 6.0 as a new install writes it
    Calls60Upgraded,  // 4.0 order with the 6.0 columns appended by ALTER TABLE ADD COLUMN
    VendorLogs,       // logs.db: table logs with logtype (and no calls table)
    VendorCallDb,     // call.db: calls with date BIGINT, UTF-16le texts, TEXT default ''
};
enum class IphoneLayout {
    Ios9,             // ZCALLRECORD of iOS 9
    Ios10,            // iOS 10 and 11: ZCALL_CATEGORY, ZHANDLE_TYPE, ZSERVICE_PROVIDER
};

// One Android call. date: milliseconds since 1970 UTC; type 1 incoming, 2 outgoing,
// 3 missed, 4 voicemail, ...; location goes to geocoded_location (ignored by Calls23);
// logtype only exists in VendorLogs (100 voice call, 300 SMS, ...). The builder fills
// the other columns as the phone does (new, is_read, countryiso, contactid ...).
// SQLite stores the integers 0 and 1 without content (serial types 8 and 9), so a
// deleted incoming call (type 1) leaves a remnant the Android rules do not accept.
struct AndroidCall
{
    SqlValue number;
    SqlValue date;
    SqlValue duration;
    SqlValue type;
    SqlValue name;
    SqlValue location;
    SqlValue logtype = 100;
    bool deleted = false;   // deleted after all rows are in; its remnant stays
};

// One iPhone call. date: ZDATE, seconds since 2001-01-01 UTC (a REAL; give it a
// fraction, as iOS does, or SQLite stores a whole value as an integer on disk);
// duration: ZDURATION seconds (REAL); address: ZADDRESS, which iOS stores as a blob
// (use SqlValue::Blob); originated/answered: ZORIGINATED/ZANSWERED, 1 or 0.
struct IphoneCall
{
    SqlValue answered = 1;
    SqlValue originated = 0;
    SqlValue date;
    SqlValue duration;
    SqlValue location;
    SqlValue address;
    SqlValue name;
    bool deleted = false;
};

struct BuildOptions
{
    int pageSize = 4096;
    // WAL mode as phones keep these files: the rows but the last rowsOnlyInWal are
    // checkpointed into the file; the last rowsOnlyInWal rows (and deletions among
    // them) exist only in the -wal left beside it. The -shm is removed, as a copy
    // taken off a phone has none.
    bool wal = false;
    int rowsOnlyInWal = 0;
    // The first call's row id. Phones start at 1; the default stands for a phone with
    // some history, whose deleted records SQLite's free-space bookkeeping leaves whole.
    long long firstRowid = 1001;
    // "UTF-8", "UTF-16le" or "UTF-16be", set before the first table; empty: the
    // layout's own (UTF-16le for VendorCallDb, UTF-8 for the others).
    std::string encoding;
    // "FULL" or "INCREMENTAL" (auto-vacuum, as Android keeps its databases: the file
    // then holds pointer-map pages); empty: none.
    std::string autoVacuum;
};

// Builds the database at utf8Path (removing any file there first, with its -wal,
// -shm and -journal): the layout's table, the calls inserted in order in one
// transaction (row ids 1001, 1002, ... as on a phone with some history), then the
// calls marked deleted removed. Fast enough for 100,000 rows. Android rows also get
// normalized_number "+86<number>" where the layout has it.
void BuildAndroidDatabase(const std::string& utf8Path, AndroidLayout layout,
                          const std::vector<AndroidCall>& calls,
                          const BuildOptions& options = {});
// Also writes the Core Data bookkeeping table Z_PRIMARYKEY beside ZCALLRECORD.
void BuildIphoneDatabase(const std::string& utf8Path, IphoneLayout layout,
                         const std::vector<IphoneCall>& calls,
                         const BuildOptions& options = {});

// The declared columns of a layout's call table, "name TYPE ...", in table order
// (what PRAGMA table_info reports), for schema checks.
std::vector<std::string> AndroidLayoutColumns(AndroidLayout layout);
std::vector<std::string> IphoneLayoutColumns(IphoneLayout layout);

// A contacts2.db as Android 7 and later write it: contacts (raw_contacts, data) and no
// calls table, `contacts` people with names and numbers, every third one deleted.
void BuildContactsWithoutCalls(const std::string& utf8Path, int contacts,
                               const BuildOptions& options = {});

// Deterministic varied calls, none deleted: Chinese names and locations, types
// cycling incoming/outgoing/missed (every seventh Android call a voicemail), dates an
// hour apart from 2020-01-01 08:00 at UTC+8 (iPhone dates with a .5 fraction).
std::vector<AndroidCall> GeneratedAndroidCalls(int count);
std::vector<IphoneCall> GeneratedIphoneCalls(int count);

// Writes to utf8Path the Android database at builtPath (a calls table) as a phone leaves
// it when it stopped inside a transaction that rewrote every call ('139' before each
// number, a name of 300 'x'): the pages it changed in the file, the pages as they were
// in the -journal beside it. The database at builtPath is rolled back to what it was.
void CopyInsideUnfinishedUpdate(const std::string& builtPath, const std::string& utf8Path);

// ---------------------------------------------------------------------------------
// Files.

// A new empty directory under the system temp dir, removed with its content on
// destruction.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::string ReadFileBytes(const std::string& path);     // throws when unreadable
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// The names in a folder (not "." and ".."), sorted; none when it cannot be read.
std::vector<std::string> FolderEntries(const std::string& folder);

// A folder name with Chinese characters, as the file system spells it (UTF-8) and as
// the program holds paths (code page 936).
struct ChineseName
{
    std::string utf8;
    std::string ansi;
};
ChineseName ChineseFolderName();

}  // namespace fixtures
