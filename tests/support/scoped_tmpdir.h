// Points TMPDIR at a folder of the test's choosing while it lives, so that a test can
// see what the program leaves in its temporary folder; the earlier value comes back
// (or TMPDIR is unset again) on destruction.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace fixtures {

class ScopedTmpdir
{
public:
    explicit ScopedTmpdir(const std::string& folder)
    {
        if (const char* old = std::getenv("TMPDIR"))
            m_old = old;
        setenv("TMPDIR", folder.c_str(), 1);
    }
    ~ScopedTmpdir()
    {
        if (m_old)
            setenv("TMPDIR", m_old->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    ScopedTmpdir(const ScopedTmpdir&) = delete;
    ScopedTmpdir& operator=(const ScopedTmpdir&) = delete;

private:
    std::optional<std::string> m_old;
};

}  // namespace fixtures
