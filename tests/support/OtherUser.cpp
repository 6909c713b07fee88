#include "tests/support/OtherUser.h"

#include <cerrno>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kExitTrue = 0;
constexpr int kExitFalse = 1;
constexpr int kExitNoDrop = 2;
constexpr int kExitThrew = 3;

} // namespace

bool RunsAsSuperuser() {
    return ::geteuid() == 0;
}

uid_t UnprivilegedUid() {
    return RunsAsSuperuser() ? kUnprivilegedUid : ::geteuid();
}

gid_t UnprivilegedGid() {
    return RunsAsSuperuser() ? kUnprivilegedGid : ::getegid();
}

std::optional<bool> RunUnprivileged(const std::function<bool()>& check) {
    const pid_t nPid = ::fork();
    if (nPid < 0)
        return std::nullopt;
    if (nPid == 0) {
        if (RunsAsSuperuser() &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kUnprivilegedGid) != 0 || ::setuid(kUnprivilegedUid) != 0))
            ::_exit(kExitNoDrop);
        try {
            ::_exit(check() ? kExitTrue : kExitFalse);
        } catch (...) {
            ::_exit(kExitThrew);
        }
    }
    int nStatus = 0;
    while (::waitpid(nPid, &nStatus, 0) < 0) {
        if (errno != EINTR)
            return std::nullopt;
    }
    if (!WIFEXITED(nStatus))
        return std::nullopt;
    if (WEXITSTATUS(nStatus) == kExitTrue)
        return true;
    if (WEXITSTATUS(nStatus) == kExitFalse)
        return false;
    return std::nullopt;
}
