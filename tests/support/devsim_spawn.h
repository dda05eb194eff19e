// Starting and ending a zave-devsim process, header-only so that the
// benchmarks (which have no test library) can use it too.
#pragma once

#include <cerrno>
#include <chrono>
#include <csignal>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace zave::testing {

// Starts the simulator at `path` with `args`, its stdout on `stdoutFd` and
// the current environment (so XDG_RUNTIME_DIR set by the caller applies).
// Returns the process id, or -1.
inline pid_t spawnDevSim(const std::string& path, const std::vector<std::string>& args, int stdoutFd) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return -1;
    posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    std::vector<std::string> argvText;
    argvText.push_back(path);
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);
    // The simulator must see SIGINT and SIGTERM whatever this process blocks
    // or ignores at the moment.
    posix_spawnattr_t attr;
    if (posix_spawnattr_init(&attr) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return -1;
    }
    sigset_t none, stops;
    sigemptyset(&none);
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &stops);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, path.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// Sends `sig` and reaps the process; if it has not ended after `grace`, it
// is killed. Returns the wait status, or -1 when there was nothing to reap.
inline int endDevSim(pid_t pid, int sig, std::chrono::milliseconds grace = std::chrono::milliseconds(5000)) {
    if (pid <= 0) return -1;
    ::kill(pid, sig);
    const auto until = std::chrono::steady_clock::now() + grace;
    for (;;) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) return status;
        if (r < 0 && errno != EINTR) return -1;
        if (std::chrono::steady_clock::now() >= until) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace zave::testing
