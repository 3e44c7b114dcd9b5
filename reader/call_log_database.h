// The one SQLite connection the program ever holds: opened read-only on a call-log
// database for the length of one open command, closed on every road.
#pragma once

#include <string>

#include "reader/text_conversions.h"

struct sqlite3;

// Row callback of sqlite3_exec: context (always null here), column count, the row's
// values as nullable NUL-terminated UTF-8 texts, the column names.
using SqliteRowCallback = int (*)(void* context, int columnCount, char** values,
                                  char** columnNames);

// The row's value at `index` as a text: NULL, and any index the row does not have (or
// a row without values), read as the empty text.
const char* SqliteTextOrEmpty(int columnCount, char** values, int index);

// Owns one sqlite3 handle. The constructor converts the code page 936 path to UTF-16
// and then UTF-8 (the two buffers live as long as the connection) and opens it with
// SQLITE_OPEN_READONLY: the file is never written, a missing file is not created, and
// a WAL-mode database keeps its -wal (a read-only connection never checkpoints it).
// The destructor calls sqlite3_close whether or not the open succeeded, then frees the
// UTF-16 buffer, then the UTF-8 one.
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
    // result code (SQLITE_OK, 0, on success); on a connection that failed to open,
    // SQLITE_MISUSE without calling SQLite. An exception the callback raises (a
    // CException, std::bad_alloc) ends the statement inside SQLite first and is then
    // raised again here, so the connection stays closable.
    int Exec(const char* sql, SqliteRowCallback callback);

private:
    // Declared in this order so that the UTF-16 buffer is freed before the UTF-8 one.
    NarrowBuffer m_utf8Path;
    WideBuffer m_widePath;
    sqlite3* m_db = nullptr;
    int m_openResult = -1;
};
