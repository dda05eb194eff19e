// Ctrl+C and SIGTERM end the real zavectl at once, by the signal, also while
// it waits on a silent device, and a write cut short says so.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <filesystem>

#include "cli_run.h"
#include "sim_helpers.h"
#include "link/serial_port.h"
#include "support/devsim.h"

namespace zave {
namespace {

using testing::dataFile;
using testing::DevSim;
using testing::runCliProcess;
using testing::TempFolder;
using testing::writeWholeFile;

TEST(CliSignals, EndTheProgramByTheSignal) {
    struct Row {
        const char* name;
        std::vector<std::string> simArgs;
        std::vector<std::string> args;  // before --port COM200
        const char* waitFor;            // the frame code received before the signal
        int framesBefore;
        int signal;
        int exit;
        std::string lastError;
    } rows[] = {
        // Waiting on a silent device: one status query of the eight it would send.
        {"Ctrl+C while waiting", {"--silent"}, {"status"}, "80", 1, SIGINT, 130, "zavectl: прервано"},
        {"SIGTERM while waiting", {"--silent"}, {"sync-clock"}, "80", 1, SIGTERM, 143, "zavectl: прервано"},
        // Three table blocks written of twenty-eight, slowly.
        {"Ctrl+C during a write", {"--delay-ms", "150"}, {"write", dataFile("school.ptm")}, "04", 3, SIGINT, 130,
         "zavectl: запись прервана: в устройстве теперь часть новой программы и часть старой; чтобы записать "
         "программу целиком, повторите: zavectl write --port COM200 " + dataFile("school.ptm")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DevSim sim(row.simArgs);
        ASSERT_TRUE(sim.running()) << sim.error();
        std::vector<std::string> args = row.args;
        args.insert(args.begin() + 1, {"--port", "COM200"});
        int framesAtSignal = -1;
        const auto r = runCliProcess(args, {}, [&](int pid) {
            EXPECT_TRUE(sim.waitForReceived(row.framesBefore, row.waitFor, std::chrono::milliseconds(20000)));
            framesAtSignal = sim.receivedFrames();
            ::kill(pid, row.signal);
        });
        EXPECT_EQ(r.exit, row.exit) << r.out << r.err;
        ASSERT_FALSE(r.errLines().empty());
        EXPECT_EQ(r.errLines().back(), row.lastError);
        // Nothing was sent after the signal but, at most, the frame already
        // on its way when it came.
        EXPECT_LE(sim.receivedFrames(), framesAtSignal + 1);
        EXPECT_LT(sim.receivedFrames("80"), 8);
    }
}

// The real binary on a port this test process holds: busy, and by whom, as
// the system tells it; a name from the settings file found through
// $XDG_CONFIG_HOME, which is all a cron job has.
TEST(CliProcessPorts, BusyByWhomAndANameFromTheSettingsFile) {
    DevSim sim;
    ASSERT_TRUE(sim.running()) << sim.error();
    TempFolder config;
    std::filesystem::create_directories(config.path() + "/zave");
    writeWholeFile(config.path() + "/zave/zavectl.toml", "[ports]\nclassroom-3 = \"" + sim.slavePath() + "\"\n");
    const std::vector<std::string> environment{"XDG_CONFIG_HOME=" + config.path(), "XDG_RUNTIME_DIR="};

    const auto named = runCliProcess({"status", "-q", "-p", "classroom-3"}, environment, {});
    EXPECT_EQ(named.exit, 0) << named.err;
    EXPECT_EQ(named.out, "");
    EXPECT_EQ(named.err, "");

    auto holder = makeSystemSerialPort();
    ASSERT_TRUE(holder->open(sim.slavePath()));
    const auto busy = runCliProcess({"status", "--json", "-p", "classroom-3"}, environment, {});
    EXPECT_EQ(busy.exit, 3);
    const std::string self = "test_cli (PID " + std::to_string(::getpid()) + ")";
    // The simulator keeps its end open too; the system names both.
    const std::string said = "zavectl: classroom-3 (" + sim.slavePath() + "): порт занят другой программой: ";
    EXPECT_EQ(busy.errLines().back().rfind(said, 0), 0u) << busy.err;
    EXPECT_NE(busy.errLines().back().find(self), std::string::npos) << busy.err;
    const nlohmann::json report = busy.report();
    EXPECT_EQ(report.at("port"), sim.slavePath());
    EXPECT_EQ(report.at("alias"), "classroom-3");
    EXPECT_EQ(report.at("errors").at(0).at("reason"), "busy");
    EXPECT_NE(report.at("errors").at(0).at("holders").get<std::string>().find(self), std::string::npos);
}

}  // namespace
}  // namespace zave
