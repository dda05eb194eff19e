// apply against three devices at once: one holds another week and gets it
// written, one already holds the right week and is left alone, one is
// silent and reported. Then the history, and a dry run that touches nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <regex>
#include <thread>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "cli/exit_codes.h"
#include "cli_run.h"
#include "sim_helpers.h"
#include "support/devsim.h"
#include "support/devsim_spawn.h"

namespace zave {
namespace {

using testing::CliResult;
using testing::dataFile;
using testing::DevSim;
using testing::readWholeFile;
using testing::runCli;
using testing::simulatorState;
using testing::splitLines;
using testing::TempFolder;
using testing::writeWholeFile;

// A further simulator in the runtime folder of a DevSim, its trace in a file.
class ExtraSim {
public:
    ExtraSim(const std::string& trace, std::vector<std::string> args) : trace_(trace) {
        const int fd = ::open(trace.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        pid_ = testing::spawnDevSim(ZAVE_DEVSIM_PATH, args, fd);
        ::close(fd);
        // Bounded wait for its port line.
        for (int i = 0; i < 1000 && readWholeFile(trace_).find('\n') == std::string::npos; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~ExtraSim() { testing::endDevSim(pid_, SIGTERM); }
    bool announced() const { return readWholeFile(trace_).rfind("port ", 0) == 0; }
    int received(const std::string& code) const {
        int n = 0;
        for (const std::string& line : splitLines(readWholeFile(trace_))) n += line.rfind("rx " + code, 0) == 0;
        return n;
    }

private:
    std::string trace_;
    pid_t pid_ = -1;
};

// The program tables of a simulator state (its clock line left out).
std::string tables(const std::string& state) {
    std::string out;
    for (const std::string& line : splitLines(state))
        if (line.rfind("clock ", 0) != 0) out += line + "\n";
    return out;
}

class CliApply : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(readDocumentFile(dataFile("school.ptm"), regular_), DocumentReadStatus::Ok);
        resetDocument(holiday_);
        ASSERT_TRUE(writeDocumentFile(folder_.file("holiday.ptm"), holiday_));
        // Monday 7 December 2026 with a holiday on Wednesday 9 December:
        // the week is the regular one with an empty Wednesday.
        week_ = regular_;
        week_.day(3) = DayPlan{};
        ASSERT_NE(week_, regular_) << "the regular program must have bells on Wednesday";
        for (const TimeSlot& s : regular_.day(3).slots) wednesday_ += s != TimeSlot{};
        plan_ = folder_.file("plan.toml");
        writeWholeFile(plan_, "clock_drift_limit = 30\n"
                              "[[device]]\nname = \"A\"\nport = \"COM200\"\ncalendar = \"school\"\n"
                              "[[device]]\nname = \"B\"\nport = \"com199\"\ncalendar = \"school\"\n"
                              "[[device]]\nname = \"C\"\nport = \"COM198\"\ncalendar = \"school\"\n"
                              "[calendar.school]\ndefault = \"" + dataFile("school.ptm") + "\"\n"
                              "[[calendar.school.rule]]\nname = \"Праздник\"\ndate = 2026-12-09\n"
                              "program = \"holiday.ptm\"\n");
    }
    // A: holds the regular week, its clock two hours fast. B: holds the
    // right week. C (when silent) never answers.
    void startDevices(bool withSilent) {
        sim_ = std::make_unique<DevSim>();
        ASSERT_TRUE(sim_->running()) << sim_->error();
        stateA_ = sim_->runtimeDir() + "/a.state";
        stateB_ = sim_->runtimeDir() + "/b.state";
        writeWholeFile(stateA_, simulatorState(regular_, 7200));
        writeWholeFile(stateB_, simulatorState(week_, 0));
        ASSERT_TRUE(sim_->restart({"--state", stateA_})) << sim_->error();
        b_ = std::make_unique<ExtraSim>(sim_->runtimeDir() + "/b.trace",
                                        std::vector<std::string>{"--port", "COM199", "--state", stateB_});
        ASSERT_TRUE(b_->announced());
        if (withSilent) {
            c_ = std::make_unique<ExtraSim>(sim_->runtimeDir() + "/c.trace",
                                            std::vector<std::string>{"--port", "COM198", "--silent"});
            ASSERT_TRUE(c_->announced());
        }
    }
    void TearDown() override {
        c_.reset();
        b_.reset();
        sim_.reset();
    }

    TempFolder folder_;
    ScheduleDocument regular_, holiday_, week_;
    size_t wednesday_ = 0;  // slots of the regular Wednesday that are not all zero
    std::string plan_, stateA_, stateB_;
    std::unique_ptr<DevSim> sim_;
    std::unique_ptr<ExtraSim> b_, c_;
};

TEST_F(CliApply, WritesOnlyWhereNeededAndReportsEachDevice) {
    startDevices(true);
    const std::string stateBBefore = readWholeFile(stateB_);
    const CliResult r = runCli({"apply", plan_, "--date", "2026-12-07"});
    EXPECT_EQ(r.exit, cli::kExitDevice) << r.out << r.err;
    const std::vector<std::string> lines = r.outLines();
    ASSERT_EQ(lines.size(), 3u) << r.out;
    const std::regex written("A \\(COM200\\): записано, различий было: " + std::to_string(wednesday_) +
                             ", проверено; часы установлены \\(расхождение \\+7[12][0-9]{2} с\\)");
    EXPECT_TRUE(std::regex_match(lines[0], written))
        << lines[0];
    EXPECT_EQ(lines[1], "B (com199): уже верно");
    EXPECT_EQ(lines[2], "C (COM198): ошибка: устройство не отвечает");
    // C's log goes to the diagnostics.
    EXPECT_NE(r.err.find("C: Устройство не отвечает"), std::string::npos) << r.err;

    // A holds the week now, written only where it differed: Wednesday is
    // entries 25..36, in the hour blocks 21..30 and 31..40; the settings
    // were right. B was read and nothing else.
    EXPECT_EQ(tables(readWholeFile(stateA_)), tables(simulatorState(week_, 0)));
    EXPECT_EQ(sim_->receivedFrames("04"), 2);
    EXPECT_EQ(sim_->receivedFrames("04151E"), 1);  // entries 21..30
    EXPECT_EQ(sim_->receivedFrames("041F28"), 1);  // entries 31..40
    EXPECT_EQ(sim_->receivedFrames("07"), 0);
    EXPECT_EQ(sim_->receivedFrames("01"), 1);
    EXPECT_EQ(readWholeFile(stateB_), stateBBefore);
    for (const char* code : {"01", "04", "05", "06", "07"}) EXPECT_EQ(b_->received(code), 0) << code;
    EXPECT_GT(b_->received("83"), 0);  // its program was read

    // The history: A's write, verify and clock change; nothing for B and C.
    const std::vector<std::string> history = splitLines(readWholeFile(folder_.file("plan.history.jsonl")));
    ASSERT_EQ(history.size(), 3u);
    const auto write = nlohmann::json::parse(history[0]);
    const auto verify = nlohmann::json::parse(history[1]);
    const auto clock = nlohmann::json::parse(history[2]);
    EXPECT_EQ(write["device"], "A");
    EXPECT_EQ(write["port"], "COM200");
    EXPECT_EQ(write["command"], "apply");
    EXPECT_EQ(write["event"], "write");
    EXPECT_EQ(write["ok"], true);
    EXPECT_EQ(write["date"], "2026-12-07");
    ASSERT_EQ(write["changes"].size(), wednesday_);
    for (const auto& c : write["changes"]) {
        EXPECT_EQ(c["day"], 3);
        EXPECT_EQ(c["to"]["enabled"], 0);
    }
    EXPECT_EQ(verify["event"], "verify");
    EXPECT_EQ(verify["ok"], true);
    EXPECT_EQ(clock["event"], "clock");
    EXPECT_EQ(clock["ok"], true);
    EXPECT_GE(clock["drift"].get<int>(), 7195);
    EXPECT_LE(clock["drift"].get<int>(), 7300);

    // history shows them.
    const CliResult shown = runCli({"history", plan_, "--device", "A"});
    EXPECT_EQ(shown.exit, cli::kExitOk) << shown.err;
    EXPECT_NE(shown.out.find("A (COM200)  apply: записано, неделя от 2026-12-07"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("    Среда, слот 1: "), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("apply: часы установлены, расхождение +7"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("Записей: 3"), std::string::npos) << shown.out;

    // A second run finds both answering devices right.
    const CliResult again = runCli({"apply", plan_, "--date", "2026-12-07", "--device", "A", "B"});
    EXPECT_EQ(again.exit, cli::kExitOk) << again.out << again.err;
    EXPECT_EQ(again.outLines(), (std::vector<std::string>{"A (COM200): уже верно", "B (com199): уже верно"}));
    EXPECT_EQ(splitLines(readWholeFile(folder_.file("plan.history.jsonl"))).size(), 3u);
}

TEST_F(CliApply, DryRunTouchesNothing) {
    startDevices(false);
    const std::string stateABefore = readWholeFile(stateA_);
    const CliResult r = runCli({"apply", plan_, "--date", "2026-12-07", "--device", "A", "B", "--dry-run", "--json"});
    EXPECT_EQ(r.exit, cli::kExitFaults) << r.out << r.err;
    const auto report = nlohmann::json::parse(r.out);
    EXPECT_EQ(report["command"], "apply");
    EXPECT_EQ(report["dryRun"], true);
    ASSERT_EQ(report["devices"].size(), 2u);
    EXPECT_EQ(report["devices"][0]["outcome"], "wouldWrite");
    EXPECT_EQ(report["devices"][0]["differences"].size(), wednesday_);
    EXPECT_EQ(report["devices"][0]["clock"]["wouldSet"], true);
    EXPECT_EQ(report["devices"][1]["outcome"], "alreadyRight");
    EXPECT_EQ(report["devices"][0]["week"][2]["program"], "holiday.ptm");
    EXPECT_EQ(readWholeFile(stateA_), stateABefore);
    for (const char* code : {"01", "04", "05", "06", "07"}) EXPECT_EQ(sim_->receivedFrames(code), 0) << code;
    EXPECT_FALSE(std::filesystem::exists(folder_.file("plan.history.jsonl")));

    const CliResult text = runCli({"apply", plan_, "--date", "2026-12-07", "--device", "A", "--dry-run"});
    EXPECT_EQ(text.exit, cli::kExitFaults);
    ASSERT_GE(text.outLines().size(), 2u);
    const std::string wouldWrite =
        "A (COM200): будет записано, различий: " + std::to_string(wednesday_) + "; часы будут установлены";
    EXPECT_EQ(text.outLines()[0].rfind(wouldWrite, 0), 0u)
        << text.out;
    EXPECT_EQ(text.outLines()[1].rfind("    Среда, слот 1: ", 0), 0u) << text.out;
}

TEST_F(CliApply, PlanProblemsStopTheDeviceBeforeThePort) {
    // No simulator at all: nothing may be opened for these.
    writeWholeFile(plan_, "[[device]]\nname = \"A\"\nport = \"COM200\"\ncalendar = \"school\"\n"
                          "[[device]]\nname = \"A\"\nport = \"COM199\"\ncalendar = \"school\"\n"
                          "[[device]]\nname = \"B\"\nport = \"COM198\"\ncalendar = \"school\"\n"
                          "[calendar.school]\ndefault = \"gone.ptm\"\n");
    const CliResult r = runCli({"apply", plan_, "--date", "2026-12-07"});
    EXPECT_EQ(r.exit, cli::kExitUsage);
    EXPECT_EQ(r.outLines(), (std::vector<std::string>{
                                "A (COM200): ошибка: устройство \"A\" названо в плане дважды",
                                "A (COM199): ошибка: устройство \"A\" названо в плане дважды",
                                "B (COM198): ошибка: программа gone.ptm не читается"}));
    // A history that cannot be added to: nothing is done at all.
    writeWholeFile(plan_, "history = \"no/such/folder/h.jsonl\"\n"
                          "[[device]]\nname = \"A\"\nport = \"COM200\"\ncalendar = \"school\"\n"
                          "[calendar.school]\ndefault = \"" + dataFile("school.ptm") + "\"\n");
    const CliResult noHistory = runCli({"apply", plan_});
    EXPECT_EQ(noHistory.exit, cli::kExitUsage);
    EXPECT_EQ(noHistory.out, "");
    EXPECT_NE(noHistory.err.find("историю не удалось дополнить; устройства не затронуты"), std::string::npos);
    const CliResult unknown = runCli({"apply", plan_, "--device", "Z"});
    EXPECT_EQ(unknown.exit, cli::kExitUsage);
    EXPECT_NE(unknown.err.find("устройства \"Z\" в плане нет"), std::string::npos);
}

}  // namespace
}  // namespace zave
