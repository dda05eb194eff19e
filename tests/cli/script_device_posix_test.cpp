// zavectl as a script uses it against the simulator: JSON of every device
// command field by field, quiet mode, and the checks made before the device
// is touched.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "cli/exit_codes.h"
#include "cli_run.h"
#include "sim_helpers.h"
#include "support/devsim.h"

namespace zave {
namespace {

using testing::dataFile;
using testing::DevSim;
using testing::readWholeFile;
using testing::runCli;
using testing::simulatorState;
using testing::TempFolder;
using testing::unstamped;
using testing::writeWholeFile;

class CliScriptDevice : public ::testing::Test {
protected:
    void SetUp() override {
        sim_ = std::make_unique<DevSim>();
        ASSERT_TRUE(sim_->running()) << sim_->error();
        state_ = sim_->runtimeDir() + "/device.state";
        writeWholeFile(state_, simulatorState(ScheduleDocument{}, -5000));
        ASSERT_TRUE(sim_->restart({"--state", state_})) << sim_->error();
    }
    std::unique_ptr<DevSim> sim_;
    std::string state_;
};

TEST_F(CliScriptDevice, JsonOfEveryDeviceCommand) {
    const std::string school = dataFile("school.ptm"), week = dataFile("week.ptm");
    TempFolder folder;

    auto status = runCli({"status", "-j", "-p", "COM200"});
    ASSERT_EQ(status.exit, cli::kExitOk) << status.err;
    EXPECT_EQ(status.err, "");
    nlohmann::json r = status.report();
    EXPECT_EQ(r.at("port"), "COM200");
    EXPECT_EQ(r.at("deviceType"), 24);
    EXPECT_EQ(r.at("deviceClockValid"), true);
    EXPECT_LE(r.at("driftSeconds").get<long long>(), -4990);
    EXPECT_EQ(r.at("computerClock").get<std::string>().size(), 19u);  // 2026-12-09T06:45:00
    EXPECT_EQ(r.at("deviceClock").get<std::string>()[10], 'T');
    EXPECT_EQ(unstamped(r.at("log").get<std::vector<std::string>>()),
              (std::vector<std::string>{"<t>COM200 Порт открыт", "Устройство готово"}));

    // Beyond the limit: set; then within it: left alone. Told apart by "action".
    auto sync = runCli({"sync-clock", "--json", "--port", "COM200", "--if-drift", "60"});
    EXPECT_EQ(sync.exit, cli::kExitOk) << sync.err;
    r = sync.report();
    EXPECT_EQ(r.at("action"), "set");
    EXPECT_EQ(r.at("limitSeconds"), 60);
    sync = runCli({"sync-clock", "--json", "--port", "COM200", "--if-drift", "60"});
    EXPECT_EQ(sync.exit, cli::kExitOk) << sync.err;
    EXPECT_EQ(sync.report().at("action"), "withinLimit");
    EXPECT_EQ(sim_->receivedFrames("01"), 1);

    auto write = runCli({"write", "--json", "--port", "COM200", week});
    EXPECT_EQ(write.exit, cli::kExitFaults);
    r = write.report();
    EXPECT_EQ(r.at("written"), false);
    EXPECT_EQ(r.at("faults").size(), 4u);
    EXPECT_EQ(r.at("errors").at(0).at("reason"), "programFaults");
    write = runCli({"write", "--json", "--port", "COM200", school});
    EXPECT_EQ(write.exit, cli::kExitOk) << write.err;
    EXPECT_EQ(write.report().at("written"), true);

    auto verify = runCli({"verify", "--json", "--port", "COM200", school});
    EXPECT_EQ(verify.exit, cli::kExitOk) << verify.err;
    r = verify.report();
    EXPECT_EQ(r.at("matches"), true);
    EXPECT_EQ(r.at("differences"), nlohmann::json::array());
    verify = runCli({"verify", "--json", "--port", "COM200", week});
    EXPECT_EQ(verify.exit, cli::kExitFaults);
    r = verify.report();
    EXPECT_EQ(r.at("matches"), false);
    ASSERT_FALSE(r.at("differences").empty());
    EXPECT_TRUE(r.at("differences")[0].contains("file"));
    EXPECT_TRUE(r.at("differences")[0].contains("device"));

    auto read = runCli({"read", "--json", "--port", "COM200", folder.file("copy")});
    EXPECT_EQ(read.exit, cli::kExitOk) << read.err;
    r = read.report();
    EXPECT_EQ(r.at("file"), folder.file("copy.ptm"));
    EXPECT_EQ(r.at("saved"), true);
    EXPECT_EQ(r.at("skippedReplies"), 0);
    EXPECT_EQ(readWholeFile(folder.file("copy.ptm")), readWholeFile(school));

    auto ports = runCli({"ports", "--json"});
    EXPECT_EQ(ports.exit, cli::kExitOk);
    bool listed = false;
    r = ports.report();
    for (const nlohmann::json& p : r.at("ports"))
        listed = listed || (p.at("name") == "COM200" && p.at("device").get<std::string>().rfind("/dev/", 0) == 0);
    EXPECT_TRUE(listed) << ports.out;
}

TEST_F(CliScriptDevice, QuietPrintsOnlyWhatMatters) {
    struct Row {
        std::vector<std::string> args;
        int exit;
        bool output;  // anything on standard output
    } rows[] = {
        {{"status", "-q", "-p", "COM200"}, cli::kExitOk, false},
        {{"sync-clock", "-q", "-p", "COM200", "--if-drift", "60"}, cli::kExitOk, true},   // set: said
        {{"sync-clock", "-q", "-p", "COM200", "--if-drift", "60"}, cli::kExitOk, false},  // within limit
        {{"write", "-q", "-p", "COM200", dataFile("school.ptm")}, cli::kExitOk, false},
        {{"verify", "-q", "-p", "COM200", dataFile("school.ptm")}, cli::kExitOk, false},
        {{"verify", "-q", "-p", "COM200", dataFile("week.ptm")}, cli::kExitFaults, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + row.args.back());
        const auto r = runCli(row.args);
        EXPECT_EQ(r.exit, row.exit) << r.out << r.err;
        EXPECT_EQ(!r.out.empty(), row.output) << r.out;
        EXPECT_EQ(r.err, "");
        if (row.args[0] == "sync-clock" && row.output) {
            EXPECT_EQ(unstamped(r.outLines()).back(), "<t> Время синхронизировано");
        }
    }
}

TEST_F(CliScriptDevice, ReadRefusesATargetItCannotCreateBeforeAskingTheDevice) {
    TempFolder folder;
    const std::string noFolder = folder.file("nodir") + "/x.ptm";
    ::mkdir(folder.file("sub.ptm").c_str(), 0700);
    struct Row {
        std::vector<std::string> extra;
        std::string target;
        std::string error;
    } rows[] = {
        {{}, noFolder, "zavectl: " + noFolder + ": файл не создать (нет такой папки); к устройству программа не обращалась"},
        {{"--force"}, folder.file("sub.ptm"),
         "zavectl: " + folder.file("sub.ptm") + ": файл не создать (это папка); к устройству программа не обращалась"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args{"read", "--port", "COM200", row.target};
        args.insert(args.end(), row.extra.begin(), row.extra.end());
        const auto r = runCli(args);
        EXPECT_EQ(r.exit, cli::kExitUsage) << r.out << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.errLines(), std::vector<std::string>{row.error});
    }
    EXPECT_EQ(sim_->receivedFrames(), 0);
    EXPECT_FALSE(std::filesystem::exists(folder.file("nodir")));
}

TEST(CliScriptEeprom, SkippedStatusReplyLeavesTheTypeUnknown) {
    DevSim sim({"--eeprom", "os"});
    ASSERT_TRUE(sim.running()) << sim.error();
    const auto r = runCli({"verify", "--json", "--on-eeprom-error", "skip", "--port", "COM200", dataFile("school.ptm")});
    EXPECT_EQ(r.exit, cli::kExitDevice);
    const nlohmann::json report = r.report();
    EXPECT_EQ(report.at("deviceType"), nullptr);
    EXPECT_EQ(report.at("errors").back().at("reason"), "unsupported");
    EXPECT_EQ(r.errLines().back(),
              "zavectl: COM200: тип устройства неизвестен: ответ на запрос состояния пришёл с ошибкой EEPROM, ошибка "
              "пропущена и данные ответа заменены значением 255");
    EXPECT_EQ(r.err.find("Тип устройства: 255"), std::string::npos);
}

TEST(CliScriptCheck, EveryEntryItCouldNotReadWithItsReason) {
    TempFolder folder;
    writeWholeFile(folder.file("good.ptm"), readWholeFile(dataFile("school.ptm")));
    ::symlink(folder.file("gone").c_str(), folder.file("dangling.ptm").c_str());
    ::symlink(folder.file("loop.ptm").c_str(), folder.file("loop.ptm").c_str());
    ::mkfifo(folder.file("pipe.ptm").c_str(), 0600);
    ::mkdir(folder.file("folder.ptm").c_str(), 0700);
    ::symlink(folder.file("good.ptm").c_str(), folder.file("link.PTM").c_str());
    const std::string odd = folder.file("esc\x1b[31m\n.ptm");
    ::mkfifo(odd.c_str(), 0600);

    const auto r = runCli({"check", folder.path()});
    EXPECT_EQ(r.exit, cli::kExitUsage);
    EXPECT_EQ(r.errLines(), (std::vector<std::string>{
                                "zavectl: " + folder.file("dangling.ptm") + ": ссылка ведёт в никуда",
                                "zavectl: " + folder.file("esc\\x1B[31m\\n.ptm") + ": это канал (FIFO), а не файл",
                                "zavectl: " + folder.file("folder.ptm") + ": это папка, а не файл",
                                "zavectl: " + folder.file("loop.ptm") + ": ссылка замкнута в петлю",
                                "zavectl: " + folder.file("pipe.ptm") + ": это канал (FIFO), а не файл",
                            }));
    // The readable ones are checked all the same, a link to a file among them.
    EXPECT_EQ(r.outLines(), (std::vector<std::string>{
                                folder.file("good.ptm") + ": ошибок нет",
                                folder.file("link.PTM") + ": ошибок нет",
                                "Проверено файлов: 2, с ошибками: 0, ошибок: 0",
                            }));
    const auto json = runCli({"check", "--json", folder.path()});
    const nlohmann::json report = json.report();
    ASSERT_EQ(report.at("errors").size(), 5u);
    EXPECT_EQ(report.at("errors")[0].at("reason"), "notAFile");
    EXPECT_EQ(report.at("errors")[1].at("path"), odd);  // the data keeps the name as it is
}

// What the user may not read, as that user (root reads anything).
TEST(CliScriptCheck, WhatTheUserMayNotRead) {
    TempFolder folder;
    ::chmod(folder.path().c_str(), 0755);
    const std::string good = folder.file("good.ptm"), closed = folder.file("closed.ptm"), sub = folder.file("sub");
    writeWholeFile(good, readWholeFile(dataFile("school.ptm")));
    writeWholeFile(closed, readWholeFile(dataFile("school.ptm")));
    ::chmod(closed.c_str(), 0);
    ::mkdir(sub.c_str(), 0);
    struct Reopen {  // so that the folder can be removed by a user too
        std::string path;
        ~Reopen() { ::chmod(path.c_str(), 0700); }
    } reopen{sub};
    struct Row {
        std::string operand;
        std::vector<std::string> out, err;
        const char* reason;
    } rows[] = {
        {sub, {"Проверено файлов: 0, с ошибками: 0, ошибок: 0"}, {sub + ": папку не прочитать (нет прав)"}, "unlistable"},
        {folder.path(), {good + ": ошибок нет", "Проверено файлов: 1, с ошибками: 0, ошибок: 0"},
         {closed + ": не читается (нет прав)"}, "unreadable"},
        {closed, {"Проверено файлов: 0, с ошибками: 0, ошибок: 0, не прочитано: 1"},
         {closed + ": При чтении произошла ошибка. Файл открыть не удалось."}, "unreadable"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.operand);
        std::vector<std::string> args{"check", row.operand}, err;
        for (const std::string& line : row.err) err.push_back("zavectl: " + line);
        const std::optional<testing::CliResult> r = testing::runCliAsUser(args);
        if (!r) GTEST_SKIP() << "no unprivileged user can be had here";
        EXPECT_EQ(r->exit, cli::kExitUsage);
        EXPECT_EQ(r->outLines(), row.out);
        EXPECT_EQ(r->errLines(), err);
        args.insert(args.begin() + 1, "--json");
        const testing::CliResult json = testing::runCliAsUser(args).value_or(testing::CliResult{});
        EXPECT_EQ(json.exit, cli::kExitUsage);
        const nlohmann::json report = json.report();
        ASSERT_EQ(report.at("errors").size(), 1u);
        EXPECT_EQ(report.at("errors")[0].at("reason"), row.reason);
    }
}

}  // namespace
}  // namespace zave
