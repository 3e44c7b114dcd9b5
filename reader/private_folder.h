// The folder that holds one private copy: made under the temporary folder with a record
// of its owner inside, removed when its owner is done with it, when the process is
// stopped by SIGTERM, SIGINT or SIGHUP, and at a later start when its owner died.
#pragma once

#include <string>

// $TMPDIR, or /tmp when TMPDIR is unset or empty: where private folders are made, as
// the file system spells it.
std::string TemporaryParent();

// A folder "peldmark-XXXXXX" made for one copy with mkdtemp (mode 0700) under `parent`, a
// path as the file system spells it. It holds, from the moment it is made, the file
// "owner": the owning process's id and start time (field 22 of /proc/self/stat) as two
// decimal numbers, a space between them and a newline after them, for example
// "4711 982254\n". The folder goes with all it holds (SQLite's -wal, -journal, -shm
// and temporary files included) on destruction, and also when SIGTERM, SIGINT or SIGHUP
// reaches the process while it lives: the handler removes every live folder, then the
// signal takes its course as it would have without us (the default action ends the
// process; a handler the program installed before is called). A signal the program
// ignores stays ignored. Raises CPrivateCopyException, naming `evidencePath`, when the
// folder or its record cannot be made; nothing is left then.
class PrivateFolder
{
public:
    PrivateFolder(const std::string& parent, const std::string& evidencePath);
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    const std::string& Path() const { return m_path; }
    const std::string& Parent() const { return m_parent; }

private:
    std::string m_parent;
    std::string m_path;
    int m_slot = -1;   // its place in the table the signal handler reads; -1 for none
};

// Removes, from `parent`, the private folders whose owner has ended: entries named
// "peldmark-" and six letters or digits that are folders (not symbolic links) of this
// user and hold a well-formed "owner" record whose process no longer runs, or runs
// with another start time (its id was reused). Anything else is left alone, a folder
// without a record among them: its owner may be between mkdtemp and writing the record
// right now, and folders of that name without a record are no copies of ours. Returns
// the number of folders removed; failures only leave a folder where it is.
int RemoveAbandonedPrivateFolders(const std::string& parent);
