// The zavectl binary as a process (POSIX: posix_spawn).
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "cli_run.h"
#include "support/as_user.h"

extern char** environ;

namespace zave::testing {

namespace {

std::string readBack(std::FILE* file) {
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

}  // namespace

std::optional<CliResult> runCliAsUser(const std::vector<std::string>& args) {
    // Files opened here stay writable in the child whatever its user.
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const std::optional<int> exit = asOrdinaryUser([&] {
        const CliResult r = runCli(args);
        std::fwrite(r.out.data(), 1, r.out.size(), out);
        std::fwrite(r.err.data(), 1, r.err.size(), err);
        std::fflush(nullptr);
        return r.exit;
    });
    CliResult r{exit.value_or(-1), readBack(out), readBack(err)};
    if (!exit) return std::nullopt;
    return r;
}

CliResult runCliProcess(const std::vector<std::string>& args) { return runCliProcess(args, {}, {}); }

CliResult runCliProcess(const std::vector<std::string>& args, const std::vector<std::string>& environment,
                        const std::function<void(int pid)>& whileRunning) {
    TempFolder folder;
    const std::string outPath = folder.file("out"), errPath = folder.file("err");
    const int outFd = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int errFd = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    CliResult r;
    if (outFd < 0 || errFd < 0) return r;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<std::string> argvText{ZAVECTL_PATH};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    // The added entries first: the C library takes the first of a name.
    std::vector<std::string> envText = environment;
    for (char** e = environ; *e != nullptr; ++e) envText.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);
    const int rc = ::posix_spawn(&pid, ZAVECTL_PATH, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(outFd);
    ::close(errFd);
    if (rc != 0) return r;
    if (whileRunning) whileRunning(pid);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = readWholeFile(outPath);
    r.err = readWholeFile(errPath);
    return r;
}

}  // namespace zave::testing
