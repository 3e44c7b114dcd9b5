// CallLogConnection: the open of the private copy, sqlite3_exec and the close. The only
// file that calls SQLite.
#include "reader/call_log_database.h"

#include <exception>
#include <utility>

#include <sqlite3.h>

#include "reader/private_vfs.h"

namespace {

// The bound on work without a row: SQLite calls the progress check every
// kInstructionsPerCheck virtual-machine instructions, and a statement is stopped at
// the kChecksWithoutRow-th check in a row that found no new row: 10^8 instructions, a
// second or so. Reading a row of a table takes some tens of instructions; a schema of
// thousands of tables is read in well under a million.
constexpr int kInstructionsPerCheck = 1000;
constexpr int kChecksWithoutRow = 100000;

// What Exec hands SQLite as the callback's context. An exception must not unwind
// through SQLite's C frames: that would leave the statement unfinished, and
// sqlite3_close would then refuse to close the connection (and keep the file open).
struct GuardedCallback
{
    SqliteRowCallback callback;
    std::exception_ptr raised;
    std::int64_t rows;
    std::int64_t rowsAtLastCheck;
    int checksWithoutRow;
    bool endless;
};

// Progress handler: nonzero stops the statement with SQLITE_INTERRUPT.
int stopEndlessStatement(void* context)
{
    auto* guarded = static_cast<GuardedCallback*>(context);
    if (guarded->rows != guarded->rowsAtLastCheck) {
        guarded->rowsAtLastCheck = guarded->rows;
        guarded->checksWithoutRow = 0;
        return 0;
    }
    guarded->endless = ++guarded->checksWithoutRow >= kChecksWithoutRow;
    return guarded->endless ? 1 : 0;
}

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

CEndlessQueryException::CEndlessQueryException(std::string evidencePath)
    : CFileException(genericException, 0, std::move(evidencePath))
{
}

std::string CEndlessQueryException::ErrorText() const
{
    return "无法读取文件 " + m_strFileName +
           "：查询通话记录时做了大量工作却没有得到任何一行，已停止读取（通话表可能是一个不会结束的视图）。";
}

CallLogConnection::CallLogConnection(const std::string& ansiPath)
    : m_ansiPath(ansiPath), m_copy(ansiPath),
      m_vfs(std::make_unique<PrivateFolderVfs>(m_copy.FolderPath()))
{
    m_openResult = sqlite3_open_v2(m_copy.DatabasePath().c_str(), &m_db, SQLITE_OPEN_READWRITE,
                                   m_vfs->Name());
    // Before anything is read: the lock mode a WAL database is first read in decides
    // whether its index goes to a -shm file or stays in memory.
    if (m_openResult == SQLITE_OK)
        m_openResult = sqlite3_exec(m_db, "PRAGMA locking_mode=EXCLUSIVE", nullptr, nullptr,
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
    GuardedCallback guarded{ callback, nullptr, 0, 0, 0, false };
    sqlite3_progress_handler(m_db, kInstructionsPerCheck, stopEndlessStatement, &guarded);
    const int result = sqlite3_exec(m_db, sql, callback != nullptr ? callGuarded : nullptr,
                                    &guarded, nullptr);
    sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
    m_rowsOfLastExec = guarded.rows;
    if (guarded.raised)
        std::rethrow_exception(guarded.raised);
    if (guarded.endless)
        throw CEndlessQueryException(m_ansiPath);
    return result;
}
