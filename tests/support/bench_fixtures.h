// Files the benchmarks scan: a phone-sized contacts2.db, where the call log is a small
// part of a file full of contacts, and zero-filled space behind a valid database.
#pragma once

#include <cstdint>
#include <string>

namespace fixtures {

// The calls of the phone-sized file, every third of them deleted with its remnant left.
constexpr int kPhoneSizedCalls = 5000;

// Builds a contacts2.db of about 4 MB at utf8Path: the Android 6.0 `calls` table with
// kPhoneSizedCalls generated calls, every third one deleted, and a `data` table of the
// contacts' details (names, numbers, e-mail addresses, notes) that fills the rest, as
// contacts fill a phone's file.
void BuildPhoneSizedContacts2(const std::string& utf8Path);

// Appends `zeroBytes` zero bytes to the file at utf8Path: content that SQLite or the
// phone zeroed, or a sparse region, after the database's own pages.
void AppendZeros(const std::string& utf8Path, std::int64_t zeroBytes);

}  // namespace fixtures
