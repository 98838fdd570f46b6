#pragma once
// Runs a piece of a test in a child process without the superuser's rights, so that permission
// cases are tested also where the tests run as root. The piece returns a small exit code that
// the parent checks; -1 means the child did not end normally.
#include <functional>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kelpa::test {

inline int runUnprivileged(const std::function<int()> &piece)
{
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        constexpr uid_t nobody = 65534;
        if (::geteuid() == 0 && (::setgid(nobody) != 0 || ::setuid(nobody) != 0))
            ::_exit(254);
        ::_exit(piece() & 0xFF);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace kelpa::test
