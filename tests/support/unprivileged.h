// Runs a check as a user that file permissions apply to. Tests run as root in CI, and
// root reads a mode-000 file all the same; so as root the check runs in a child process
// that has given up root for the unprivileged user "nobody".
#pragma once

#include <sys/wait.h>
#include <unistd.h>

namespace fixtures {

// The check's result; false also when the child could not drop root. Files the check
// touches must be reachable by "nobody" (folders 0755).
template <typename Check>
bool RunUnprivileged(Check check)
{
    if (geteuid() != 0)
        return check();
    constexpr uid_t kNobody = 65534;
    const pid_t child = fork();
    if (child == -1)
        return false;
    if (child == 0)
        _exit(setgid(kNobody) == 0 && setuid(kNobody) == 0 && check() ? 0 : 1);
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace fixtures
