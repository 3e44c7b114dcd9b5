// The SQLite VFS of one private copy: the system's default VFS, confined to the folder
// that holds the copy, so that nothing a copied file names (a super-journal in a hot
// journal, an ATTACH) makes SQLite open, delete or probe a file anywhere else.
#pragma once

#include <string>

#include <sqlite3.h>

// Registered under a name of its own (not as the default) while it lives; pass Name()
// to sqlite3_open_v2. A path is inside the folder when it is `folder` + "/" + a name
// without "/" (not "." or ".."), spelled exactly so: `folder` must be absolute and free
// of symbolic links (as realpath gives it), since SQLite names its files after the full
// pathname of the database. For every other path:
// - xOpen fails with SQLITE_CANTOPEN before anything is opened (no FIFO waited on);
// - xDelete fails with SQLITE_IOERR_DELETE and removes nothing;
// - xAccess answers "absent" without looking;
// - xFullPathname fails with SQLITE_CANTOPEN, so a relative name is never resolved
//   against the working directory.
// A file SQLite opens without a name (a temporary file of a large sort) goes to the
// default VFS as it is: the default VFS names it itself and unlinks it at once.
// The connection using it must be closed before it is destroyed.
class PrivateFolderVfs
{
public:
    explicit PrivateFolderVfs(const std::string& folder);
    ~PrivateFolderVfs();
    PrivateFolderVfs(const PrivateFolderVfs&) = delete;
    PrivateFolderVfs& operator=(const PrivateFolderVfs&) = delete;

    const char* Name() const { return m_name.c_str(); }
    bool Holds(const char* path) const;
    // The default VFS as it was when this one was made: the one that does the work.
    sqlite3_vfs& Base() const { return *m_base; }

private:
    std::string m_folder;
    std::string m_name;
    sqlite3_vfs* m_base;
    sqlite3_vfs m_vfs;
};
