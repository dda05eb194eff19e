// Running a piece of a test with an ordinary user's permissions (POSIX):
// when the tests run as root (as CI does) in a forked child under uid and
// gid 65534, otherwise directly.
#pragma once

#ifndef _WIN32
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <optional>

namespace zave::testing {

inline constexpr uid_t kNobody = 65534;
inline constexpr int kNoUser = 250;

// The body's result (0..249); nullopt when no unprivileged user can be had
// here, -1 when the child did not end normally.
inline std::optional<int> asOrdinaryUser(const std::function<int()>& body) {
    if (::geteuid() != 0) return body();
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) return std::nullopt;
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
            ::setresuid(kNobody, kNobody, kNobody) != 0 || ::geteuid() == 0)
            ::_exit(kNoUser);
        ::_exit(body());
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (!WIFEXITED(status)) return -1;
    if (WEXITSTATUS(status) == kNoUser) return std::nullopt;
    return WEXITSTATUS(status);
}

}  // namespace zave::testing
#endif
