// The one SQLite connection the program ever holds: opened on a private copy of a
// call-log database for the length of one open command, closed on every road.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "reader/private_copy.h"

struct sqlite3;
class PrivateFolderVfs;

// A statement stopped for working without end: it ran the bound of Exec without
// delivering a row (a call table that is a view over an endless query). Names the
// evidence file (code page 936).
class CEndlessQueryException : public CFileException
{
public:
    explicit CEndlessQueryException(std::string evidencePath);
    std::string ErrorText() const override;
};

// Row callback of sqlite3_exec: context (always null here), column count, the row's
// values as nullable NUL-terminated UTF-8 texts, the column names.
using SqliteRowCallback = int (*)(void* context, int columnCount, char** values,
                                  char** columnNames);

// The row's value at `index` as a text: NULL, and any index the row does not have (or
// a row without values), read as the empty text.
const char* SqliteTextOrEmpty(int columnCount, char** values, int index);

// Owns one sqlite3 handle on a PrivateDatabaseCopy of the file. The constructor makes
// the copy (raising what PrivateDatabaseCopy raises, so that no connection exists when
// the copy failed) and opens it with SQLITE_OPEN_READWRITE and no create flag, through
// a PrivateFolderVfs of the copy's folder: SQLite then applies the copied -wal, or rolls
// the copied hot journal back, as on the phone, and can reach no file outside that
// folder, the evidence least of all. The connection keeps an exclusive lock, so SQLite
// holds a WAL's index in memory and needs no -shm: a temporary folder with room for the
// copy alone reads in full. No statement sent through Exec changes the database. The
// destructor calls sqlite3_close whether or not the open succeeded; then the copy goes,
// with every file SQLite made beside it.
class CallLogConnection
{
public:
    explicit CallLogConnection(const std::string& ansiPath);
    ~CallLogConnection();
    CallLogConnection(const CallLogConnection&) = delete;
    CallLogConnection& operator=(const CallLogConnection&) = delete;

    // True when sqlite3_open_v2 returned SQLITE_OK and the exclusive lock mode was set.
    bool IsOpen() const { return m_openResult == 0; }

    // sqlite3_exec with no error text; the callback sees a null context. Returns SQLite's
    // result code (SQLITE_OK, 0, on success; SQLITE_ABORT when the callback stopped the
    // statement with a nonzero result); on a connection that failed to open,
    // SQLITE_MISUSE without calling SQLite. An exception the callback raises (a
    // CException, std::bad_alloc) ends the statement inside SQLite first and is then
    // raised again here, so the connection stays closable. A statement that runs 10^8
    // virtual-machine instructions without delivering a row is stopped and raises
    // CEndlessQueryException; a table of any size delivers its rows long before that.
    int Exec(const char* sql, SqliteRowCallback callback);

    // Rows the last Exec handed to its callback, a row that stopped it included.
    std::int64_t RowsOfLastExec() const { return m_rowsOfLastExec; }

private:
    std::string m_ansiPath;
    // Declared before the handle, so that both outlive the connection: the copy is
    // removed last.
    PrivateDatabaseCopy m_copy;
    std::unique_ptr<PrivateFolderVfs> m_vfs;
    sqlite3* m_db = nullptr;
    int m_openResult = -1;
    std::int64_t m_rowsOfLastExec = 0;
};
