// The file tests on POSIX systems: a scratch folder, and a way to save as
// an ordinary user when the tests run as root.
#pragma once

#ifndef _WIN32
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <grp.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "file_fixture.h"

namespace zave {

inline constexpr uid_t kNobody = 65534;
inline constexpr int kNoUser = 250;

inline struct stat statOf(const std::string& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st;
}

class PosixFileTest : public FileFixture {
protected:
    static bool root() { return ::geteuid() == 0; }

    // Runs body with an ordinary user's permissions: when the tests run as
    // root (as CI does) in a child process under uid and gid 65534, otherwise
    // directly. Gives the body's result (0..249); nullopt when no
    // unprivileged user can be had here.
    static std::optional<int> asUser(const std::function<int()>& body) {
        if (!root()) return body();
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
    // A save as the ordinary user, the step failAt failing.
    static SaveRun saveAsUser(const std::string& target, int failAt) {
        const std::optional<int> code = asUser([&] {
            const SaveRun r = saveFailingAt(target, failAt);
            return (r.saved ? 1 : 0) + 2 * std::min(r.steps, 120);
        });
        if (!code || *code < 0) return {false, -1};
        return {(*code & 1) != 0, *code / 2};
    }
    // Makes p the ordinary user's when running as root.
    static void giveToUser(const std::string& p) {
        if (root()) {
            ASSERT_EQ(::chown(p.c_str(), kNobody, kNobody), 0);
        }
    }
    static bool userAvailable() {
        return asUser([] { return 0; }).has_value();
    }
};

}  // namespace zave
#endif
