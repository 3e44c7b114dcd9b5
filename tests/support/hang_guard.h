// Turns a hang into a failure: while a HangGuard lives, a check that blocks for good (an
// open that waits on a FIFO, a statement that never ends) ends the test process through
// SIGALRM's default action instead of stalling the whole run. It measures nothing: the
// limit is far beyond what the guarded check needs.
#pragma once

#include <unistd.h>

namespace fixtures {

class HangGuard
{
public:
    static constexpr unsigned kLimitSeconds = 120;
    HangGuard() { alarm(kLimitSeconds); }
    ~HangGuard() { alarm(0); }
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;
};

}  // namespace fixtures
