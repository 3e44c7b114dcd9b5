// The one SQLite connection the program ever holds: opened on a private copy of a
// call-log database for the length of one open command, closed on every road.
#pragma once

#include <cstdint>
#include <string>

#include "reader/private_copy.h"

struct sqlite3;

// Row callback of sqlite3_exec: context (always null here), column count, the row's
// values as nullable NUL-terminated UTF-8 texts, the column names.
using SqliteRowCallback = int (*)(void* context, int columnCount, char** values,
                                  char** columnNames);

// The row's value at `index` as a text: NULL, and any index the row does not have (or
// a row without values), read as the empty text.
const char* SqliteTextOrEmpty(int columnCount, char** values, int index);

// Owns one sqlite3 handle on a PrivateDatabaseCopy of the file. The constructor makes
// the copy (raising what PrivateDatabaseCopy raises, so that no connection exists when
// the copy failed) and opens it with SQLITE_OPEN_READWRITE and no create flag: SQLite
// then applies the copied -wal, or rolls the copied hot journal back, as on the phone,
// and the evidence itself is never opened by SQLite. No statement sent through Exec
// changes the database. The destructor calls sqlite3_close whether or not the open
// succeeded; then the copy goes, with every file SQLite made beside it.
class CallLogConnection
{
public:
    explicit CallLogConnection(const std::string& ansiPath);
    ~CallLogConnection();
    CallLogConnection(const CallLogConnection&) = delete;
    CallLogConnection& operator=(const CallLogConnection&) = delete;

    // True when sqlite3_open_v2 returned SQLITE_OK.
    bool IsOpen() const { return m_openResult == 0; }

    // sqlite3_exec with no error text; the callback sees a null context. Returns SQLite's
    // result code (SQLITE_OK, 0, on success; SQLITE_ABORT when the callback stopped the
    // statement with a nonzero result); on a connection that failed to open,
    // SQLITE_MISUSE without calling SQLite. An exception the callback raises (a
    // CException, std::bad_alloc) ends the statement inside SQLite first and is then
    // raised again here, so the connection stays closable.
    int Exec(const char* sql, SqliteRowCallback callback);

    // Rows the last Exec handed to its callback, a row that stopped it included.
    std::int64_t RowsOfLastExec() const { return m_rowsOfLastExec; }

private:
    // Declared first, so that it is removed after the connection has closed.
    PrivateDatabaseCopy m_copy;
    sqlite3* m_db = nullptr;
    int m_openResult = -1;
    std::int64_t m_rowsOfLastExec = 0;
};
