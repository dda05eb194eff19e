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

// A port that will not open, for the reasons the system cannot be made to
// give here (the tests may run as root, whom no permission stops).
class RefusingPort final : public SerialPort {
public:
    RefusingPort(OpenFailure failure, OpenFailureDetail detail) : failure_(failure), detail_(std::move(detail)) {}
    bool open(const std::string&) override { return false; }
    bool isOpen() const override { return false; }
    void close() override {}
    OpenFailure lastOpenFailure() const override { return failure_; }
    OpenFailureDetail lastOpenDetail() const override { return detail_; }
    size_t bytesWaiting() override { return 0; }
    size_t readWaiting(char*, size_t) override { return 0; }
    size_t write(const char*, size_t) override { return 0; }
    WaitResult waitForInput(Deadline) override { return WaitResult::Gone; }
    void wake() override {}

private:
    OpenFailure failure_;
    OpenFailureDetail detail_;
};

// status as a script meets it: exit code, standard output and standard
// error, and the JSON report's reason, for every way a device call ends.
TEST(CliStatus, Outcomes) {
    testing::TempFolder folder;
    const std::string plainFile = folder.file("not-a-tty");
    writeWholeFile(plainFile, "");
    const std::string settings = folder.file("zavectl.toml");
    struct Row {
        std::string name;
        std::vector<std::string> simArgs;
        std::string port;  // "@slave": the simulator's device path
        int exit;
        std::vector<std::string> out;  // first lines
        std::vector<std::string> err;  // all lines
        std::string reason;            // the JSON report's first error; empty: none
        int statusFrames;
        std::function<std::unique_ptr<SerialPort>()> makePort = nullptr;
    } rows[] = {
        {"ready", {}, "COM200", cli::kExitOk,
         {"<t>COM200 Порт открыт", "Устройство готово", "Тип устройства:           24"}, {}, "", 1},
        // Its clock counts from when the reply came, not from the wait for an end that never comes.
        {"no carriage return", {"--no-terminator"}, "COM200", cli::kExitOk,
         {"<t>COM200 Порт открыт", "Устройство готово", "Тип устройства:           24"}, {}, "", 1},
        {"device path", {}, "@slave", cli::kExitOk, {"<t>@slave Порт открыт", "Устройство готово"}, {}, "", 1},
        {"alias", {}, "classroom-3", cli::kExitOk, {"<t>@slave Порт открыт", "Устройство готово"}, {}, "", 1},
        {"other type", {"--type", "25"}, "COM200", cli::kExitDevice, {},
         {"<t>COM200 Порт открыт", "Данное уст. не поддерживается", "Связь разорвана",
          "zavectl: COM200: тип устройства 25 не поддерживается (поддерживается 24)"},
         "unsupported", 1},
        // A silent device: eight status queries, the retry bound, then exit 3.
        {"silent", {"--silent"}, "com200", cli::kExitDevice, {},
         {"<t>COM200 Порт открыт", "Устройство не отвечает", "Связь разорвана", "zavectl: COM200: устройство не отвечает"},
         "noReply", 8},
        {"garbled", {"--bad-checksum"}, "COM200", cli::kExitDevice, {},
         {"<t>COM200 Порт открыт", "Устройство не отвечает", "Связь разорвана",
          "zavectl: COM200: устройство отвечает, но не принимает запрос состояния"},
         "refused", 8},
        {"not found", {}, "COM150", cli::kExitDevice, {},
         {"<t> Ошибка отрытия COM150", "zavectl: COM150: порт не найден"}, "notFound", 0},
        {"missing path", {}, folder.file("ttyNone"), cli::kExitDevice, {},
         {"<t> Ошибка отрытия " + folder.file("ttyNone"), "zavectl: " + folder.file("ttyNone") + ": порт не найден"},
         "notFound", 0},
        {"not a terminal", {}, plainFile, cli::kExitDevice, {},
         {"<t> Ошибка отрытия " + plainFile,
          "zavectl: " + plainFile + ": не последовательный порт (линия не настраивается)"},
         "notATerminal", 0},
        {"permission", {}, "COM33", cli::kExitDevice, {},
         {"<t> Ошибка отрытия COM33",
          "Нет доступа к порту /dev/ttyUSB0: добавьте пользователя в группу dialout и войдите в систему заново",
          "zavectl: COM33 (/dev/ttyUSB0): нет прав на порт; вступите в группу dialout (sudo usermod -aG dialout "
          "$USER) и войдите в систему заново"},
         "permission", 0,
         [] { return std::make_unique<RefusingPort>(OpenFailure::PermissionDenied, OpenFailureDetail{"/dev/ttyUSB0", "dialout"}); }},
        {"busy", {}, "COM34", cli::kExitDevice, {},
         {"<t> Ошибка отрытия COM34", "zavectl: COM34 (/dev/ttyUSB1): порт занят другой программой"}, "busy", 0,
         [] { return std::make_unique<RefusingPort>(OpenFailure::Busy, OpenFailureDetail{"/dev/ttyUSB1", ""}); }},
        {"control characters", {}, "/dev/\x1b[2Jx\ny", cli::kExitDevice, {},
         {"<t> Ошибка отрытия /dev/\\x1B[2Jx\\ny", "zavectl: /dev/\\x1B[2Jx\\ny: порт не найден"}, "notFound", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto sim = startSim(row.simArgs);
        writeWholeFile(settings, "[ports]\nclassroom-3 = \"" + sim->slavePath() + "\"\n");
        auto withSlave = [&](std::vector<std::string> lines) {
            for (std::string& line : lines)
                if (const size_t at = line.find("@slave"); at != std::string::npos)
                    line.replace(at, 6, sim->slavePath());
            return lines;
        };
        const std::string port = row.port == "@slave" ? sim->slavePath() : row.port;
        CliRunOptions options;
        options.portSettings = settings;
        options.makePort = row.makePort;
        const auto r = runCli({"status", "--port", port}, options);
        EXPECT_EQ(r.exit, row.exit) << r.out << r.err;
        const std::vector<std::string> lines = unstamped(r.outLines());
        const std::vector<std::string> first = withSlave(row.out);
        ASSERT_GE(lines.size(), first.size()) << r.out;
        EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + first.size()), first);
        if (row.exit == cli::kExitOk) {
            // Greeting, type, the two dates and the drift.
            EXPECT_EQ(lines.size(), 6u) << r.out;
            EXPECT_LE(std::llabs(printedDrift(lines)), 2) << r.out;
        } else {
            EXPECT_EQ(r.out, "");
        }
        EXPECT_EQ(unstamped(r.errLines()), row.err);
        if (row.statusFrames > 0) {
            EXPECT_TRUE(sim->waitForReceived(row.statusFrames, "80"));
        }
        EXPECT_EQ(sim->receivedFrames(), row.statusFrames);
        EXPECT_EQ(sim->receivedFrames("80"), row.statusFrames);

        // The same call for a script: the reason as data.
        const auto json = runCli({"status", "--json", "--port", port}, options);
        EXPECT_EQ(json.exit, row.exit);
        const nlohmann::json report = json.report();
        EXPECT_EQ(report.value("command", ""), "status");
        EXPECT_EQ(report.value("exit", -1), row.exit);
        if (row.reason.empty()) {
            EXPECT_EQ(report.at("errors"), nlohmann::json::array());
            EXPECT_EQ(report.at("deviceType"), 24);
            EXPECT_EQ(report.at("deviceClockValid"), true);
            EXPECT_LE(std::llabs(report.at("driftSeconds").get<long long>()), 2);
        } else {
            ASSERT_FALSE(report.at("errors").empty());
            EXPECT_EQ(report.at("errors").at(0).at("reason"), row.reason);
            EXPECT_FALSE(report.contains("driftSeconds"));
        }
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
    EXPECT_EQ(unstamped(r.errLines()),
              (std::vector<std::string>{"<t> Команда не выполнена",
                                        "zavectl: COM200: установка часов не выполнена: устройство не отвечает"}));
}

}  // namespace
}  // namespace zave
