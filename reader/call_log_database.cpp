// CallLogConnection: the read-only open, sqlite3_exec and the close. The only file
// that calls SQLite.
#include "reader/call_log_database.h"

#include <sqlite3.h>

CallLogConnection::CallLogConnection(const std::string& ansiPath)
    : m_utf8Path(), m_widePath(AnsiToWide(ansiPath.c_str()))
{
    m_utf8Path.reset(WideToUtf8(m_widePath.get()));
    m_openResult = sqlite3_open_v2(m_utf8Path.get(), &m_db, SQLITE_OPEN_READONLY, nullptr);
}

CallLogConnection::~CallLogConnection()
{
    // Also after a failed open: SQLite may hand back a handle that must be closed, and
    // sqlite3_close of a null handle does nothing.
    sqlite3_close(m_db);
}

int CallLogConnection::Exec(const char* sql, SqliteRowCallback callback)
{
    if (!IsOpen())
        return SQLITE_MISUSE;
    return sqlite3_exec(m_db, sql, callback, nullptr, nullptr);
}
