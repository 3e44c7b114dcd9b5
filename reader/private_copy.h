// The private copy that SQLite reads in place of the evidence: the database file, with
// its -wal and -journal when they exist, copied into a new folder of our own that goes,
// with everything SQLite added to it, when the copy's owner does.
#pragma once

#include <string>

#include "platform/file.h"
#include "reader/private_folder.h"

// A copy that failed on the temporary side: the folder could not be made there, or a
// file could not be written into it (no space). Names the evidence file being copied
// (m_strFileName), the temporary folder (m_strFolder, both code page 936) and the
// reason, for example
// "无法在临时文件夹 /tmp 中复制文件 /media/a/contacts2.db：磁盘已满。"
class CPrivateCopyException : public CFileException
{
public:
    CPrivateCopyException(long osError, std::string evidencePath, std::string folder);
    std::string ErrorText() const override;

    std::string m_strFolder;
};

class PrivateDatabaseCopy
{
public:
    // Copies the database at ansiPath (code page 936) and, when they exist, its "-wal"
    // and "-journal" (not the "-shm": SQLite rebuilds it from the -wal) into a
    // PrivateFolder under $TMPDIR, or /tmp when TMPDIR is unset or empty. The companions
    // are looked for where SQLite looks: beside ansiPath, or when ansiPath is a symbolic
    // link, beside the file it leads to. A copied journal loses a super-journal record
    // at its end: the file it names lies outside the copy's folder, where SQLite may
    // not go, so the journal is rolled back as the journal of one database. The sources
    // are opened read-only through CFile, so only regular files are read and nothing
    // beside them is created or changed. Raises CFileException naming
    // the source when one cannot be read (missing database, no permission, not a
    // regular file, read error), CPrivateCopyException when the temporary side fails,
    // CMemoryException; nothing of the copy is left behind then.
    explicit PrivateDatabaseCopy(const std::string& ansiPath);

    // The folder that holds the copy and every file SQLite makes for it, and the copied
    // database, as the file system spells their paths (for sqlite3_open_v2): absolute
    // and free of symbolic links, as SQLite spells the names of the files it makes.
    const std::string& FolderPath() const { return m_folderPath; }
    const std::string& DatabasePath() const { return m_databasePath; }

private:
    PrivateFolder m_folder;
    std::string m_folderPath;
    std::string m_databasePath;
};
