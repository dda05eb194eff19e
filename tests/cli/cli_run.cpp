#include "cli_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/zavectl.h"

extern char** environ;

namespace zave::testing {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::vector<std::string> CliResult::outLines() const { return splitLines(out); }
std::vector<std::string> CliResult::errLines() const { return splitLines(err); }

CliResult runCli(const std::vector<std::string>& args, const CliRunOptions& options) {
    std::ostringstream out, err;
    SystemClock system;
    cli::CliContext ctx{out, err, options.clock ? *options.clock : system};
    if (options.interrupted) ctx.interrupted = options.interrupted;
    ctx.progressBar = options.progressBar;
    CliResult r;
    r.exit = cli::runZavectl(args, ctx);
    r.out = out.str();
    r.err = err.str();
    return r;
}

CliResult runCliProcess(const std::vector<std::string>& args) {
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
    const int rc = ::posix_spawn(&pid, ZAVECTL_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(outFd);
    ::close(errFd);
    if (rc != 0) return r;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = readWholeFile(outPath);
    r.err = readWholeFile(errPath);
    return r;
}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zavectl-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::string dataFile(const std::string& name) { return std::string(ZAVECTL_TEST_DATA) + "/" + name; }

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace zave::testing
