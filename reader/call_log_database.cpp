// CallLogConnection: the open of the private copy, sqlite3_exec and the close. The only
// file that calls SQLite.
#include "reader/call_log_database.h"

#include <exception>

#include <sqlite3.h>

namespace {

// What Exec hands SQLite as the callback's context. An exception must not unwind
// through SQLite's C frames: that would leave the statement unfinished, and
// sqlite3_close would then refuse to close the connection (and keep the file open).
struct GuardedCallback
{
    SqliteRowCallback callback;
    std::exception_ptr raised;
    std::int64_t rows;
};

int callGuarded(void* context, int columnCount, char** values, char** columnNames)
{
    auto* guarded = static_cast<GuardedCallback*>(context);
    ++guarded->rows;
    try {
        return guarded->callback(nullptr, columnCount, values, columnNames);
    } catch (...) {
        guarded->raised = std::current_exception();
        return SQLITE_ABORT;   // any nonzero result stops the statement
    }
}

}  // namespace

const char* SqliteTextOrEmpty(int columnCount, char** values, int index)
{
    if (values == nullptr || index < 0 || index >= columnCount || values[index] == nullptr)
        return "";
    return values[index];
}

CallLogConnection::CallLogConnection(const std::string& ansiPath) : m_copy(ansiPath)
{
    m_openResult = sqlite3_open_v2(m_copy.DatabasePath().c_str(), &m_db, SQLITE_OPEN_READWRITE,
                                   nullptr);
}

CallLogConnection::~CallLogConnection()
{
    // Also after a failed open: SQLite may hand back a handle that must be closed, and
    // sqlite3_close of a null handle does nothing.
    sqlite3_close(m_db);
}

int CallLogConnection::Exec(const char* sql, SqliteRowCallback callback)
{
    m_rowsOfLastExec = 0;
    if (!IsOpen())
        return SQLITE_MISUSE;
    GuardedCallback guarded{ callback, nullptr, 0 };
    const int result = sqlite3_exec(m_db, sql, callback != nullptr ? callGuarded : nullptr,
                                    &guarded, nullptr);
    m_rowsOfLastExec = guarded.rows;
    if (guarded.raised)
        std::rethrow_exception(guarded.raised);
    return result;
}
