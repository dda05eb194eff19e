// zavectl as a script uses it, without a device: every call a table row
// with its exit code, standard output and standard error.
#include <gtest/gtest.h>

#include "cli/exit_codes.h"
#include "cli_run.h"

namespace zave {
namespace {

using testing::dataFile;
using testing::runCli;

TEST(CliScript, CallsWithoutADevice) {
    const std::string week = dataFile("week.ptm"), school = dataFile("school.ptm");
    struct Row {
        std::vector<std::string> args;
        int exit;
        std::string out;                // the whole of it; "*" for anything not empty
        std::vector<std::string> err;   // every line
    } rows[] = {
        {{"--version"}, 0, std::string("zavectl ") + ZAVECTL_VERSION + "\n", {}},
        {{"-V"}, 0, std::string("zavectl ") + ZAVECTL_VERSION + "\n", {}},
        {{"--version", "x"}, 2, "", {"zavectl: лишний операнд: x", "zavectl: справка: zavectl --help"}},
        {{"help", "nosuch"}, 2, "", {"zavectl: неизвестная команда nosuch", "zavectl: справка: zavectl --help"}},
        {{"help", "stauts"}, 2, "",
         {"zavectl: неизвестная команда stauts; может быть, status?", "zavectl: справка: zavectl --help"}},
        {{"help", "show"}, 0, "*", {}},
        {{"stauts"}, 2, "", {"zavectl: неизвестная команда stauts; может быть, status?", "zavectl: справка: zavectl --help"}},
        {{"verfy"}, 2, "", {"zavectl: неизвестная команда verfy; может быть, verify?", "zavectl: справка: zavectl --help"}},
        {{"sync"}, 2, "", {"zavectl: неизвестная команда sync; может быть, sync-clock?", "zavectl: справка: zavectl --help"}},
        {{"xyzzy"}, 2, "", {"zavectl: неизвестная команда xyzzy", "zavectl: справка: zavectl --help"}},
        {{"--verison"}, 2, "", {"zavectl: неизвестный параметр --verison; может быть, --version?", "zavectl: справка: zavectl --help"}},
        {{"check", "--jsn", week}, 2, "",
         {"zavectl: неизвестный параметр --jsn; может быть, --json?", "zavectl: справка: zavectl check --help"}},
        {{"status", "--prot", "COM1"}, 2, "",
         {"zavectl: неизвестный параметр --prot; может быть, --port?", "zavectl: справка: zavectl status --help"}},
        {{"show", "-x", week}, 2, "", {"zavectl: неизвестный параметр -x", "zavectl: справка: zavectl show --help"}},
        {{"check", "--json", "--quiet", week}, 2, "",
         {"zavectl: --json и --quiet вместе не указываются", "zavectl: справка: zavectl check --help"}},
        // Quiet: nothing on success; on failure what there was to say.
        {{"check", "-q", school}, 0, "", {}},
        {{"check", "--quiet", school, week}, 1, "*", {}},
        {{"diff", "-q", school, school}, 0, "", {}},
        {{"show", "-q", week}, 0, "", {}},
        {{"check", "-q", dataFile("missing.ptm")}, 2, "*",
         {"zavectl: " + dataFile("missing.ptm") + ": При чтении произошла ошибка. Файл открыть не удалось."}},
        // Short options: -p is --port (its errors speak of the long name).
        {{"status", "-p"}, 2, "", {"zavectl: у параметра --port нет значения", "zavectl: справка: zavectl status --help"}},
        {{"status", "-pCOM0"}, 2, "",
         {"zavectl: неверное имя порта \"COM0\": ожидается COM1 … COM200, путь к устройству или имя из файла настроек "
          "zavectl-test-no-settings.toml",
          "zavectl: справка: zavectl status --help"}},
        {{"read", "-p", "COM1", ""}, 2, "", {"zavectl: неверное имя файла \"\"", "zavectl: справка: zavectl read --help"}},
        {{"read", "-p", "COM1", "."}, 2, "", {"zavectl: неверное имя файла \".\"", "zavectl: справка: zavectl read --help"}},
        {{"read", "-p", "COM1", "sub/.."}, 2, "",
         {"zavectl: неверное имя файла \"sub/..\"", "zavectl: справка: zavectl read --help"}},
    };
    for (const Row& row : rows) {
        std::string call;
        for (const std::string& a : row.args) call += a + " ";
        SCOPED_TRACE(call);
        const auto r = runCli(row.args);
        EXPECT_EQ(r.exit, row.exit) << r.out << r.err;
        if (row.out == "*") EXPECT_FALSE(r.out.empty());
        else EXPECT_EQ(r.out, row.out);
        EXPECT_EQ(r.errLines(), row.err);
    }
}

TEST(CliScript, JsonOfTheFileCommands) {
    const std::string week = dataFile("week.ptm"), school = dataFile("school.ptm");
    const std::string missing = dataFile("missing.ptm");

    const auto check = runCli({"check", "--json", school, week, missing});
    EXPECT_EQ(check.exit, cli::kExitUsage);
    EXPECT_EQ(check.errLines(),
              std::vector<std::string>{"zavectl: " + missing + ": При чтении произошла ошибка. Файл открыть не удалось."});
    nlohmann::json report = check.report();
    EXPECT_EQ(report.at("command"), "check");
    EXPECT_EQ(report.at("exit"), 2);
    EXPECT_EQ(report.at("checked"), 2);
    EXPECT_EQ(report.at("faulty"), 1);
    EXPECT_EQ(report.at("faultCount"), 4);
    EXPECT_EQ(report.at("unreadable"), 1);
    const nlohmann::json& files = report.at("files");
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].at("path"), school);
    EXPECT_EQ(files[0].at("faults"), nlohmann::json::array());
    EXPECT_EQ(files[1].at("path"), week);
    ASSERT_EQ(files[1].at("faults").size(), 4u);
    const nlohmann::json& friday = files[1].at("faults")[2];
    EXPECT_EQ(friday.at("day"), 5);
    EXPECT_EQ(friday.at("dayName"), "Пятница");
    EXPECT_EQ(friday.at("kind"), "duplicateTimes");
    EXPECT_EQ(friday.at("slots"), nlohmann::json::parse("[1, 2, 3]"));
    EXPECT_EQ(files[1].at("faults")[1].at("kind"), "volumeOutOfRange");
    EXPECT_EQ(files[2], nlohmann::json::parse("{\"readable\": false, \"path\": " + nlohmann::json(missing).dump() + "}"));
    EXPECT_EQ(report.at("errors").at(0).at("reason"), "unreadable");

    const auto diff = runCli({"diff", "-j", school, week});
    EXPECT_EQ(diff.exit, cli::kExitFaults);
    EXPECT_EQ(diff.err, "");
    report = diff.report();
    EXPECT_EQ(report.at("a"), school);
    EXPECT_EQ(report.at("b"), week);
    const nlohmann::json& differences = report.at("differences");
    ASSERT_FALSE(differences.empty());
    // Monday slot 1 is 08:00 at 80% in the school program, 08:30 at 50% in the week.
    EXPECT_EQ(differences[0], nlohmann::json::parse(R"({"kind": "slot", "day": 1, "dayName": "Понедельник", "slot": 1,
        "a": {"enabled": 1, "hour": 8, "minute": 0, "time": "08:00", "volume": 80},
        "b": {"enabled": 1, "hour": 8, "minute": 30, "time": "08:30", "volume": 50}})"));
    // The text says as many differences as the report lists.
    const auto text = runCli({"diff", school, week});
    EXPECT_EQ(text.outLines().back(), "Различий: " + std::to_string(differences.size()));

    const auto same = runCli({"diff", "--json", school, school});
    EXPECT_EQ(same.exit, cli::kExitOk);
    EXPECT_EQ(same.report().at("differences"), nlohmann::json::array());

    const auto version = runCli({"--version", "--json"});
    EXPECT_EQ(version.exit, cli::kExitOk);
    EXPECT_EQ(version.report().at("command"), "version");
}

}  // namespace
}  // namespace zave
