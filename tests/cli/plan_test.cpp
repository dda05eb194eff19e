// zavectl plan and history on files, and the example plan that the package
// installs.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/exit_codes.h"
#include "cli_run.h"

namespace zave {
namespace {

using testing::CliResult;
using testing::dataFile;
using testing::runCli;
using testing::TempFolder;
using testing::writeWholeFile;

std::string examplePlan() { return dataFile("../../../packaging/examples/school/school.toml"); }

bool hasLine(const CliResult& r, const std::string& line) {
    for (const std::string& l : r.outLines())
        if (l == line) return true;
    return false;
}

TEST(CliPlan, TheExamplePlanIsCleanAndShowsItsRules) {
    const CliResult r = runCli({"plan", examplePlan(), "--from", "2026-12-26", "--days", "4"});
    EXPECT_EQ(r.exit, cli::kExitOk) << r.out << r.err;
    EXPECT_TRUE(hasLine(r, "Корпус Б (COM2), календарь \"school\":")) << r.out;
    EXPECT_TRUE(hasLine(r, "  2026-12-27 Вс  regular.ptm  — по умолчанию")) << r.out;
    EXPECT_TRUE(hasLine(r, "  2026-12-28 Пн  short.ptm  — правило 2 «Сокращённый день перед каникулами»: 2026-12-28"))
        << r.out;
    EXPECT_TRUE(hasLine(r, "  2026-12-29 Вт  holiday.ptm  — правило 3 «Зимние каникулы»: 2026-12-29 … 2027-01-11"))
        << r.out;
    EXPECT_EQ(r.outLines().back(), "Замечаний нет");

    const CliResult exam = runCli({"plan", examplePlan(), "--from", "2027-05-25", "--days", "1", "--json"});
    EXPECT_EQ(exam.exit, cli::kExitOk);
    const auto j = nlohmann::json::parse(exam.out);
    EXPECT_EQ(j["format"], 1);
    EXPECT_EQ(j["devices"].size(), 2u);
    EXPECT_EQ(j["devices"][0]["dates"][0]["program"], "exam.ptm");
    EXPECT_EQ(j["devices"][0]["dates"][0]["rule"]["name"], "Экзамен");
}

TEST(CliPlan, MistakesAreListedAndSetTheExitCode) {
    TempFolder folder;
    const std::string plan = folder.file("p.toml");
    writeWholeFile(plan, "[[device]]\nname = \"A\"\nport = \"COM1\"\ncalendar = \"c\"\n"
                         "[[device]]\nname = \"A\"\nport = \"COM2\"\ncalendar = \"c\"\n"
                         "[calendar.c]\ndefault = \"" + dataFile("school.ptm") + "\"\n"
                         "[[calendar.c.rule]]\ndate = 2026-11-07\nprogram = \"" + dataFile("week.ptm") + "\"\n");
    const CliResult r = runCli({"plan", plan, "--from", "2026-11-07", "--days", "1"});
    EXPECT_EQ(r.exit, cli::kExitFaults) << r.err;
    // The duplicate, the Saturday and the four faults of week.ptm's days.
    EXPECT_TRUE(hasLine(r, "Замечания: 6")) << r.out;
    EXPECT_TRUE(hasLine(r, "  программа " + dataFile("week.ptm") +
                               ": Вторник, слоты 1, 2: Задано несколько, одинаковых, временных интервалов"))
        << r.out;
    EXPECT_TRUE(hasLine(r, "  устройство \"A\" названо в плане дважды")) << r.out;
    EXPECT_TRUE(hasLine(r, "  календарь \"c\", правило 1: 2026-11-07: дата приходится на субботу, выходной день"))
        << r.out;

    writeWholeFile(plan, "[[device]]\nname = \"A\"\n");
    const CliResult broken = runCli({"plan", plan});
    EXPECT_EQ(broken.exit, cli::kExitUsage);
    EXPECT_NE(broken.err.find("p.toml:1: устройство 1: не указан ключ \"port\""), std::string::npos) << broken.err;

    EXPECT_EQ(runCli({"plan", plan, "--days", "0"}).exit, cli::kExitUsage);
    EXPECT_EQ(runCli({"plan", plan, "--from", "2027-02-29"}).exit, cli::kExitUsage);
}

TEST(CliHistory, MissingAndDamagedHistories) {
    TempFolder folder;
    const std::string history = folder.file("h.jsonl");
    const CliResult none = runCli({"history", history});
    EXPECT_EQ(none.exit, cli::kExitOk);
    EXPECT_EQ(none.outLines().front(), "Истории нет: " + history);

    writeWholeFile(history, "{\"format\":1,\"time\":\"2026-12-09T00:05:12\",\"command\":\"sync-clock\","
                            "\"device\":\"\",\"port\":\"COM4\",\"event\":\"clock\",\"ok\":true,\"drift\":-75}\n"
                            "garbage\n");
    const CliResult shown = runCli({"history", history});
    EXPECT_EQ(shown.exit, cli::kExitFaults);
    EXPECT_EQ(shown.outLines().front(), "2026-12-09 00:05:12  COM4  sync-clock: часы установлены, расхождение -75 с");
    EXPECT_NE(shown.err.find("строка 2: не запись истории"), std::string::npos);
    const CliResult json = runCli({"history", history, "--json"});
    EXPECT_EQ(nlohmann::json::parse(json.out)["entries"][0]["drift"], -75);
}

}  // namespace
}  // namespace zave
