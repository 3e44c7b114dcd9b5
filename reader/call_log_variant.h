// Which phone wrote a database, told by the end of its file name (letters A to Z
// compared lower-cased, bytes otherwise exact).
#pragma once

#include <string>

enum class CallLogVariant {
    None,                 // not a call-log file name
    IphoneStoredata,      // ...callhistory.storedata
    IphoneCallHistoryDb,  // ...call_history.db
    AndroidCallDb,        // ...call.db        (UTF-16LE texts in remnants)
    AndroidContacts2Db,   // ...contacts2.db
    AndroidLogsDb,        // ...logs.db        (table logs)
};

// True when the last suffix.size() bytes of path (the whole path when it is shorter),
// with A to Z lower-cased, equal suffix, which is lower-case ASCII.
bool PathEndsWithLower(const std::string& path, const std::string& suffix);

// The variant of the open sequence, tested in the order "callhistory.storedata",
// "call_history.db", "call.db", "contacts2.db", "logs.db"; the first match decides.
CallLogVariant FindCallLogVariant(const std::string& path);

inline bool IsIphoneVariant(CallLogVariant v)
{
    return v == CallLogVariant::IphoneStoredata || v == CallLogVariant::IphoneCallHistoryDb;
}
inline bool IsAndroidVariant(CallLogVariant v)
{
    return v == CallLogVariant::AndroidCallDb || v == CallLogVariant::AndroidContacts2Db ||
           v == CallLogVariant::AndroidLogsDb;
}
