// ports, status and sync-clock against the simulator through the real serial layer.
#include <gtest/gtest.h>

#include <cstdlib>

#include "cli/exit_codes.h"
#include "cli_run.h"
#include "sim_helpers.h"
#include "support/devsim.h"
#include "support/fakes.h"

namespace zave {
namespace {

using testing::CliRunOptions;
using testing::DevSim;
using testing::FakeClock;
using testing::printedDrift;
using testing::runCli;
using testing::simulatorState;
using testing::unstamped;
using testing::writeWholeFile;

std::unique_ptr<DevSim> startSim(std::vector<std::string> args = {}) {
    auto sim = std::make_unique<DevSim>(std::move(args));
    EXPECT_TRUE(sim->running()) << sim->error();
    return sim;
}

TEST(CliPorts, ListsTheSimulatorWithItsDevice) {
    auto sim = startSim();
    const auto r = runCli({"ports"});
    EXPECT_EQ(r.exit, cli::kExitOk) << r.err;
    const std::vector<std::string> lines = r.outLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "COM200  " + sim->slavePath()), lines.end()) << r.out;
}

TEST(CliStatus, Outcomes) {
    struct Row {
        std::vector<std::string> simArgs;
        std::string port;
        int exit;
        std::vector<std::string> firstLines;
        int statusFrames;
    } rows[] = {
        {{}, "COM200", cli::kExitOk, {"<t>COM200 Порт открыт", "Устройство готово", "Тип устройства:           24"}, 1},
        {{"--type", "25"}, "COM200", cli::kExitDevice,
         {"<t>COM200 Порт открыт", "Данное уст. не поддерживается", "Связь разорвана",
          "Тип устройства: 25 (поддерживается 24)"},
         1},
        // A silent device: eight status queries, the retry bound, then exit 3.
        {{"--silent"}, "com200", cli::kExitDevice, {"<t>COM200 Порт открыт", "Устройство не отвечает", "Связь разорвана"}, 8},
        {{"--fail-first", "7"}, "COM200", cli::kExitOk, {"<t>COM200 Порт открыт", "Устройство готово"}, 8},
        {{}, "COM150", cli::kExitDevice, {"<t> Ошибка отрытия COM150"}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.simArgs.empty() ? row.port : row.simArgs[0]);
        auto sim = startSim(row.simArgs);
        const auto r = runCli({"status", "--port", row.port});
        EXPECT_EQ(r.exit, row.exit) << r.out << r.err;
        const std::vector<std::string> lines = unstamped(r.outLines());
        ASSERT_GE(lines.size(), row.firstLines.size()) << r.out;
        EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + row.firstLines.size()), row.firstLines);
        if (row.exit == cli::kExitOk) {
            // Greeting, type, the two dates and the drift.
            EXPECT_EQ(lines.size(), 6u) << r.out;
            EXPECT_LE(std::llabs(printedDrift(lines)), 2) << r.out;
        } else {
            EXPECT_EQ(lines.size(), row.firstLines.size()) << r.out;
        }
        if (row.statusFrames > 0) {
            EXPECT_TRUE(sim->waitForReceived(row.statusFrames, "80"));
        }
        EXPECT_EQ(sim->receivedFrames(), row.statusFrames);
        EXPECT_EQ(sim->receivedFrames("80"), row.statusFrames);
    }
}

TEST(CliStatus, ClocksAndDrift) {
    auto sim = startSim();
    const std::string state = sim->runtimeDir() + "/device.state";
    writeWholeFile(state, simulatorState(ScheduleDocument{}, 3600));
    ASSERT_TRUE(sim->restart({"--state", state})) << sim->error();
    const auto ahead = runCli({"status", "--port", "COM200"});
    ASSERT_EQ(ahead.exit, cli::kExitOk) << ahead.out << ahead.err;
    const long long drift = printedDrift(ahead.outLines());
    EXPECT_GE(drift, 3598);
    EXPECT_LE(drift, 3602);
    EXPECT_NE(ahead.out.find(" с (часы устройства спешат)"), std::string::npos);

    // A date the device cannot have: exit 1, and no drift made up.
    ASSERT_TRUE(sim->restart({"--bad-clock", "april"}));
    const auto bad = runCli({"status", "--port", "COM200"});
    EXPECT_EQ(bad.exit, cli::kExitFaults) << bad.out;
    EXPECT_NE(bad.out.find("Дата счит. с устройства:  неверная ("), std::string::npos) << bad.out;
    EXPECT_EQ(bad.out.find("Расхождение"), std::string::npos);
}

TEST(CliSyncClock, SetsTheSimulatorsClockFromTheComputers) {
    auto sim = startSim();
    FakeClock clock;
    clock.time = LocalTime{2026, 12, 13, 22, 15, 0, 0};  // a Sunday
    CliRunOptions options;
    options.clock = &clock;
    const auto r = runCli({"sync-clock", "--port", "COM200"}, options);
    EXPECT_EQ(r.exit, cli::kExitOk) << r.out << r.err;
    EXPECT_EQ(r.outLines().back(), "22:15:00 -> Время синхронизировано");
    EXPECT_TRUE(sim->waitForLine([](const std::string& l) { return l == "clock 2026-12-13 22:15:00 weekday=7"; }));
    EXPECT_EQ(sim->receivedFrames("01"), 1);
}

TEST(CliSyncClock, OnlyBeyondTheAllowedDrift) {
    auto sim = startSim();
    const std::string state = sim->runtimeDir() + "/device.state";
    writeWholeFile(state, simulatorState(ScheduleDocument{}, -100000));
    ASSERT_TRUE(sim->restart({"--state", state})) << sim->error();

    const auto first = runCli({"sync-clock", "--port", "COM200", "--if-drift", "60"});
    EXPECT_EQ(first.exit, cli::kExitOk) << first.out << first.err;
    EXPECT_LE(printedDrift(first.outLines()), -99990);
    EXPECT_EQ(unstamped(first.outLines()).back(), "<t> Время синхронизировано");
    EXPECT_EQ(sim->receivedFrames("01"), 1);

    // Now the device keeps the computer's time: nothing is sent.
    const auto status = runCli({"status", "--port", "COM200"});
    EXPECT_LE(std::llabs(printedDrift(status.outLines())), 2) << status.out;
    const auto second = runCli({"sync-clock", "--port", "COM200", "--if-drift", "60"});
    EXPECT_EQ(second.exit, cli::kExitOk);
    EXPECT_EQ(second.outLines().back(), "Расхождение не больше 60 с: часы устройства не изменены");
    EXPECT_EQ(sim->receivedFrames("01"), 1);
}

TEST(CliSyncClock, DeviceThatStopsAnswering) {
    auto sim = startSim({"--mute-after", "1"});
    const auto r = runCli({"sync-clock", "--port", "COM200"});
    EXPECT_EQ(r.exit, cli::kExitDevice);
    EXPECT_EQ(unstamped(r.outLines()).back(), "<t> Команда не выполнена");
    EXPECT_TRUE(sim->waitForReceived(8, "01"));
    EXPECT_EQ(sim->receivedFrames("01"), 8);
}

}  // namespace
}  // namespace zave
