// write and sync-clock with --history: what they did on the device, appended.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/exit_codes.h"
#include "cli_run.h"
#include "sim_helpers.h"
#include "support/devsim.h"

namespace zave {
namespace {

using testing::dataFile;
using testing::readWholeFile;
using testing::runCli;
using testing::splitLines;
using testing::TempFolder;
using testing::writeWholeFile;

TEST(CliHistoryOption, WriteAndClockChangesAreAppended) {
    testing::DevSim sim;
    ASSERT_TRUE(sim.running()) << sim.error();
    const std::string state = sim.runtimeDir() + "/device.state";
    writeWholeFile(state, testing::simulatorState(ScheduleDocument{}, -3600));
    ASSERT_TRUE(sim.restart({"--state", state})) << sim.error();
    TempFolder folder;
    const std::string history = folder.file("bells.jsonl");

    const auto write = runCli({"write", "--port", "COM200", "--history", history, dataFile("school.ptm")});
    ASSERT_EQ(write.exit, cli::kExitOk) << write.out << write.err;
    const auto sync = runCli({"sync-clock", "--port", "COM200", "--history", history, "--if-drift", "60"});
    ASSERT_EQ(sync.exit, cli::kExitOk) << sync.out << sync.err;
    // Within the limit now: nothing changed, nothing recorded.
    const auto again = runCli({"sync-clock", "--port", "COM200", "--history", history, "--if-drift", "60"});
    ASSERT_EQ(again.exit, cli::kExitOk) << again.out << again.err;
    // A file that cannot be added to fails the command after the change.
    const auto lost = runCli({"sync-clock", "--port", "COM200", "--history", folder.file("no/such.jsonl")});
    EXPECT_EQ(lost.exit, cli::kExitUsage);
    EXPECT_NE(lost.err.find("историю не удалось дополнить"), std::string::npos) << lost.err;

    const std::vector<std::string> lines = splitLines(readWholeFile(history));
    ASSERT_EQ(lines.size(), 2u);
    const auto w = nlohmann::json::parse(lines[0]);
    EXPECT_EQ(w["command"], "write");
    EXPECT_EQ(w["event"], "write");
    EXPECT_EQ(w["port"], "COM200");
    EXPECT_EQ(w["program"], dataFile("school.ptm"));
    EXPECT_EQ(w["ok"], true);
    const auto c = nlohmann::json::parse(lines[1]);
    EXPECT_EQ(c["command"], "sync-clock");
    EXPECT_EQ(c["event"], "clock");
    EXPECT_EQ(c["ok"], true);
    EXPECT_LE(c["drift"].get<int>(), -3595);
    EXPECT_GE(c["drift"].get<int>(), -3700);
}

}  // namespace
}  // namespace zave
