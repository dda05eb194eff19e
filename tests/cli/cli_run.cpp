#include "cli_run.h"

#include <filesystem>
#include <random>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "cli/zavectl.h"

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

nlohmann::json CliResult::report() const {
    nlohmann::json j = nlohmann::json::parse(out, nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
        ADD_FAILURE() << "no JSON object on standard output:\n" << out << err;
        return nullptr;
    }
    EXPECT_EQ(j.value("version", ""), ZAVECTL_VERSION);
    EXPECT_EQ(j.value("format", 0), 1);
    j.erase("version");
    return j;
}

CliResult runCli(const std::vector<std::string>& args, const CliRunOptions& options) {
    std::ostringstream out, err;
    SystemClock system;
    cli::CliContext ctx{out, err, options.clock ? *options.clock : system};
    if (options.interrupted) ctx.interrupted = options.interrupted;
    ctx.progressBar = options.progressBar;
    ctx.portSettings = options.portSettings;
    CliResult r;
    r.exit = cli::runZavectl(args, ctx);
    r.out = out.str();
    r.err = err.str();
    return r;
}

TempFolder::TempFolder() {
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const std::filesystem::path candidate = base / ("zavectl-test-" + std::to_string(random()));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) path_ = candidate.string();
    }
}

std::string TempFolder::file(const std::string& name) const { return (std::filesystem::path(path_) / name).string(); }

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
