// Running zavectl in the test process (its function) or as a process (the
// real binary), with what it printed and its exit status.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "link/host.h"
#include "link/serial_port.h"

namespace zave::testing {

struct CliResult {
    int exit = -1;
    std::string out;
    std::string err;
    std::vector<std::string> outLines() const;
    std::vector<std::string> errLines() const;
    // Standard output read as one JSON report, its "version" (which must be
    // zavectl's) taken out; a failed test and null when it is no such report.
    nlohmann::json report() const;
};

struct CliRunOptions {
    Clock* clock = nullptr;               // the system clock when null
    std::function<bool()> interrupted;    // Ctrl+C never comes when empty
    bool progressBar = false;             // as if stderr were a terminal
    // The settings file that names ports; by default one that does not
    // exist, so that the tester's own names play no part.
    std::string portSettings = "zavectl-test-no-settings.toml";
    std::function<std::unique_ptr<SerialPort>()> makePort;  // the system's when empty
};

// runZavectl with string streams.
CliResult runCli(const std::vector<std::string>& args, const CliRunOptions& options = {});

// The zavectl binary with the current environment, stdout and stderr caught
// (POSIX only).
CliResult runCliProcess(const std::vector<std::string>& args);
// The same with "NAME=value" entries added to the environment (they win
// over the inherited ones), and `whileRunning` called with the process id once it started.
// A process ended by a signal gets the shell's exit status, 128 + signal.
CliResult runCliProcess(const std::vector<std::string>& args, const std::vector<std::string>& environment,
                        const std::function<void(int pid)>& whileRunning);

// runCli with an ordinary user's permissions (support/as_user.h): in a child
// under uid 65534 when the tests run as root (POSIX only); nullopt when no
// such user can be had here.
std::optional<CliResult> runCliAsUser(const std::vector<std::string>& args);

// A fresh folder under the system's temporary folder, removed by the destructor.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    // The path of name in the folder, with the system's separator.
    std::string file(const std::string& name) const;

private:
    std::string path_;
};

std::string dataFile(const std::string& name);
std::string readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::string& bytes);

// The lines of text (split at '\n', no empty last line).
std::vector<std::string> splitLines(const std::string& text);

}  // namespace zave::testing
