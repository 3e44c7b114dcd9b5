// PrivateFolderVfs: a copy of the default VFS's method table whose four path-taking
// methods check the path first. Files it lets through are opened by the default VFS
// itself, with the default VFS as their owner, so their I/O methods are untouched.
#include "reader/private_vfs.h"

#include <cstring>

#include "platform/file.h"

namespace {

const PrivateFolderVfs& owner(sqlite3_vfs* vfs)
{
    return *static_cast<const PrivateFolderVfs*>(vfs->pAppData);
}

sqlite3_vfs& base(sqlite3_vfs* vfs)
{
    return owner(vfs).Base();
}

int confinedOpen(sqlite3_vfs* vfs, const char* path, sqlite3_file* file, int flags,
                 int* outFlags)
{
    if (path != nullptr && !owner(vfs).Holds(path)) {
        file->pMethods = nullptr;   // SQLite's rule for a failed xOpen
        return SQLITE_CANTOPEN;
    }
    sqlite3_vfs& real = base(vfs);
    return real.xOpen(&real, path, file, flags, outFlags);
}

int confinedDelete(sqlite3_vfs* vfs, const char* path, int syncDirectory)
{
    if (!owner(vfs).Holds(path))
        return SQLITE_IOERR_DELETE;
    sqlite3_vfs& real = base(vfs);
    return real.xDelete(&real, path, syncDirectory);
}

int confinedAccess(sqlite3_vfs* vfs, const char* path, int flags, int* result)
{
    if (!owner(vfs).Holds(path)) {
        *result = 0;
        return SQLITE_OK;
    }
    sqlite3_vfs& real = base(vfs);
    return real.xAccess(&real, path, flags, result);
}

int confinedFullPathname(sqlite3_vfs* vfs, const char* path, int outBytes, char* out)
{
    if (!owner(vfs).Holds(path))
        return SQLITE_CANTOPEN;
    sqlite3_vfs& real = base(vfs);
    const int result = real.xFullPathname(&real, path, outBytes, out);
    // The default VFS follows symbolic links; one in the folder must not lead out of it.
    return result == SQLITE_OK && !owner(vfs).Holds(out) ? SQLITE_CANTOPEN : result;
}

}  // namespace

PrivateFolderVfs::PrivateFolderVfs(const std::string& folder)
    : m_folder(folder), m_name("peldmark:" + folder), m_base(sqlite3_vfs_find(nullptr))
{
    // sqlite3_vfs_find initialises SQLite; it finds no default VFS only when that failed.
    if (m_base == nullptr)
        throw CMemoryException();
    m_vfs = *m_base;
    m_vfs.pNext = nullptr;
    m_vfs.zName = m_name.c_str();
    m_vfs.pAppData = this;
    m_vfs.xOpen = confinedOpen;
    m_vfs.xDelete = confinedDelete;
    m_vfs.xAccess = confinedAccess;
    m_vfs.xFullPathname = confinedFullPathname;
    if (sqlite3_vfs_register(&m_vfs, 0) != SQLITE_OK)
        throw CMemoryException();
}

PrivateFolderVfs::~PrivateFolderVfs()
{
    sqlite3_vfs_unregister(&m_vfs);
}

bool PrivateFolderVfs::Holds(const char* path) const
{
    if (path == nullptr || std::strncmp(path, m_folder.c_str(), m_folder.size()) != 0 ||
        path[m_folder.size()] != '/')
        return false;
    const char* name = path + m_folder.size() + 1;
    return *name != '\0' && std::strchr(name, '/') == nullptr && std::strcmp(name, ".") != 0 &&
           std::strcmp(name, "..") != 0;
}
