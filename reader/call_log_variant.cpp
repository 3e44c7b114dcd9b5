// The call-log variant of a database, told by the end of its path. Only the ASCII
// letters A to Z are folded: the path is code page 936, whose double-byte characters
// must compare as they are.
#include "reader/call_log_variant.h"

#include <cstddef>

#include "platform/crt.h"

bool PathEndsWithLower(const std::string& path, const std::string& suffix)
{
    // A path shorter than the suffix is compared whole, so it can never match.
    if (path.size() < suffix.size())
        return false;
    const std::size_t start = path.size() - suffix.size();
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        if (LowerAscii(path[start + i]) != suffix[i])
            return false;
    }
    return true;
}

CallLogVariant FindCallLogVariant(const std::string& path)
{
    struct SuffixVariant { const char* suffix; CallLogVariant variant; };
    static const SuffixVariant kTests[] = {
        {"callhistory.storedata", CallLogVariant::IphoneStoredata},
        {"call_history.db", CallLogVariant::IphoneCallHistoryDb},
        {"call.db", CallLogVariant::AndroidCallDb},
        {"contacts2.db", CallLogVariant::AndroidContacts2Db},
        {"logs.db", CallLogVariant::AndroidLogsDb},
    };
    for (const SuffixVariant& test : kTests) {
        if (PathEndsWithLower(path, test.suffix))
            return test.variant;
    }
    return CallLogVariant::None;
}
