// The fixture building blocks: column values, the read-write Database wrapper, the
// temp dir and the file helpers. The call layouts are in call_layouts.cpp.
#include "tests/support/fixtures.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace fixtures {

namespace {

[[noreturn]] void fail(sqlite3* db, const std::string& what)
{
    throw std::runtime_error(what + ": " + (db ? sqlite3_errmsg(db) : "no connection"));
}

void bind(sqlite3* db, sqlite3_stmt* statement, int index, const SqlValue& value)
{
    int rc = SQLITE_OK;
    switch (value.kind()) {
    case SqlValue::Kind::Null: rc = sqlite3_bind_null(statement, index); break;
    case SqlValue::Kind::Integer: rc = sqlite3_bind_int64(statement, index, value.integer()); break;
    case SqlValue::Kind::Real: rc = sqlite3_bind_double(statement, index, value.real()); break;
    case SqlValue::Kind::Text:
        rc = sqlite3_bind_text(statement, index, value.bytes().data(),
                               static_cast<int>(value.bytes().size()), SQLITE_TRANSIENT);
        break;
    case SqlValue::Kind::Blob:
        rc = sqlite3_bind_blob(statement, index, value.bytes().data(),
                               static_cast<int>(value.bytes().size()), SQLITE_TRANSIENT);
        break;
    }
    if (rc != SQLITE_OK)
        fail(db, "bind");
}

}  // namespace

SqlValue::SqlValue(const char* utf8)
{
    if (utf8 != nullptr) {
        m_kind = Kind::Text;
        m_bytes = utf8;
    }
}

SqlValue SqlValue::Blob(std::string bytes)
{
    SqlValue value(std::move(bytes));
    value.m_kind = Kind::Blob;
    return value;
}

Database::Database(const std::string& utf8Path)
{
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    if (sqlite3_open_v2(utf8Path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        const std::string message = "open " + utf8Path + ": " + sqlite3_errmsg(m_db);
        sqlite3_close(m_db);
        m_db = nullptr;
        throw std::runtime_error(message);
    }
    Exec("PRAGMA secure_delete=OFF");
}

Database::~Database()
{
    Close();
}

void Database::Exec(const std::string& sql)
{
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(m_db, sql);
}

sqlite3_stmt* Database::statementFor(const std::string& sql)
{
    for (const auto& cached : m_statements) {
        if (cached.first == sql)
            return cached.second;
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        fail(m_db, sql);
    m_statements.emplace_back(sql, statement);
    return statement;
}

std::int64_t Database::Insert(const std::string& table, const std::vector<std::string>& columns,
                              const std::vector<SqlValue>& values)
{
    if (columns.size() != values.size())
        throw std::runtime_error("Insert: " + table + ": columns and values differ in number");
    std::string sql = "INSERT INTO " + table + "(";
    std::string marks;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        sql += (i ? "," : "") + columns[i];
        marks += i ? ",?" : "?";
    }
    sql += ") VALUES(" + marks + ")";
    sqlite3_stmt* statement = statementFor(sql);
    for (std::size_t i = 0; i < values.size(); ++i)
        bind(m_db, statement, static_cast<int>(i) + 1, values[i]);
    const int rc = sqlite3_step(statement);
    sqlite3_reset(statement);
    if (rc != SQLITE_DONE)
        fail(m_db, sql);
    return sqlite3_last_insert_rowid(m_db);
}

void Database::Close(bool keepWal)
{
    if (m_db == nullptr)
        return;
    for (const auto& cached : m_statements)
        sqlite3_finalize(cached.second);
    m_statements.clear();
    if (keepWal)
        sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_close(m_db);
    m_db = nullptr;
}

void CopyInsideUnfinishedUpdate(const std::string& builtPath, const std::string& utf8Path)
{
    Database db(builtPath);
    // A small cache makes SQLite write changed pages to the file before the end.
    db.Exec("PRAGMA cache_size=10; BEGIN; UPDATE calls SET number = '139' || number, "
            "name = '" + std::string(300, 'x') + "'");
    for (const char* suffix : {"", "-journal"})
        WriteFileBytes(utf8Path + suffix, ReadFileBytes(builtPath + suffix));
    db.Exec("ROLLBACK");
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "peldmark-XXXXXX").string();
    if (mkdtemp(&pattern[0]) == nullptr)
        throw std::runtime_error("mkdtemp " + pattern);
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

bool FileExists(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error))
        names.push_back(entry->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

ChineseName ChineseFolderName()
{
    // The same characters twice: u8 keeps UTF-8, the plain literal is code page 936.
    return ChineseName{u8"通话记录备份", "通话记录备份"};
}

}  // namespace fixtures
