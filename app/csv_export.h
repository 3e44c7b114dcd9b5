// The CSV file that Export writes, kept free of the window: RFC 4180 fields, UTF-8 with
// a byte-order mark, CRLF line ends, a write that either puts the whole file in place or
// leaves nothing behind, and the test that keeps the write off the open database.
#pragma once

#include <string>
#include <vector>

// One field as RFC 4180 writes it: unchanged, or wrapped in double quotes with every
// quote doubled when it holds a comma, a double quote, a CR or an LF.
std::string csvField(const std::string& text);

// The whole document: the UTF-8 byte-order mark, then each line's fields (already UTF-8)
// joined by commas and ended by CRLF.
std::string csvDocument(const std::vector<std::vector<std::string>>& lines);

// Writes `content` to `ansiPath` (code page 936) through QSaveFile: into a temporary file
// in the same folder, flushed to disk, then renamed over the target, so the target is
// either the old file or the whole new one (a symbolic link is followed to its file).
// Returns an empty string on success, else the reason (code page 936), and then no
// temporary file is left.
std::string writeFileReplacing(const std::string& ansiPath, const std::string& content);

// Whether writing `ansiTarget` would write the database the user opened, `ansiOpenPath`,
// or a file SQLite keeps beside it: its "-wal", "-journal" or "-shm" (both paths code
// page 936; an empty open path is no database). Any spelling counts: a file that exists
// is compared by identity (device and inode, so "..", symbolic links and hard links
// change nothing), one that does not by its folder's identity and its name, letters
// compared without case (a FAT stick does not tell "A-WAL" from "a-wal"). Symbolic
// links along the target, and along the open path, are followed link by link, since the
// write lands at the end of the chain.
bool isOpenDatabaseOrCompanion(const std::string& ansiTarget, const std::string& ansiOpenPath);
