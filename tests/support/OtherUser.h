#pragma once

#include <functional>
#include <optional>
#include <sys/types.h>

// Checks that need a user without the superuser's privileges (a directory or file mode that must stop the writer)
// run in a child process. Run as the superuser, as the tests in CI are, the child becomes the unprivileged user
// below; run as anyone else, it stays that user.
inline constexpr uid_t kUnprivilegedUid = 65534;
inline constexpr gid_t kUnprivilegedGid = 65534;

bool RunsAsSuperuser();

// The user and group the child of RunUnprivileged runs as.
uid_t UnprivilegedUid();
gid_t UnprivilegedGid();

// The check's result as the child computed it, or nothing when the child could not drop its privileges, threw or
// died. The check must not use the test framework's assertions; it answers true or false.
std::optional<bool> RunUnprivileged(const std::function<bool()>& check);
