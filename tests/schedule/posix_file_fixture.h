// The file tests on POSIX systems: a scratch folder, and a way to save as
// an ordinary user when the tests run as root.
#pragma once

#ifndef _WIN32
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "file_fixture.h"
#include "support/as_user.h"

namespace zave {

using testing::kNobody;

inline struct stat statOf(const std::string& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st;
}

class PosixFileTest : public FileFixture {
protected:
    static bool root() { return ::geteuid() == 0; }

    // Runs body with an ordinary user's permissions (support/as_user.h).
    static std::optional<int> asUser(const std::function<int()>& body) { return testing::asOrdinaryUser(body); }
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
