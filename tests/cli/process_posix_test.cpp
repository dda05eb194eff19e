// The real zavectl binary as a process: exit statuses, its streams, and a
// write and verify against the simulator.
#include <gtest/gtest.h>

#include "cli/exit_codes.h"
#include "cli_run.h"
#include "sim_helpers.h"
#include "support/devsim.h"

namespace zave {
namespace {

using testing::dataFile;
using testing::DevSim;
using testing::readWholeFile;
using testing::runCliProcess;
using testing::splitLines;
using testing::unstamped;

TEST(CliProcess, HelpAndBadUsage) {
    const auto help = runCliProcess({"--help"});
    EXPECT_EQ(help.exit, 0);
    EXPECT_NE(help.out.find("Коды завершения:"), std::string::npos);
    EXPECT_EQ(help.err, "");

    const auto none = runCliProcess({});
    EXPECT_EQ(none.exit, 2);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.errLines().front(), "zavectl: не указана команда");

    const auto unknown = runCliProcess({"wirte", "--port", "COM200", "x.ptm"});
    EXPECT_EQ(unknown.exit, 2);
    EXPECT_EQ(unknown.errLines().front(), "zavectl: неизвестная команда wirte");
}

TEST(CliProcess, FilesThatCannotBeRead) {
    const auto missing = runCliProcess({"check", dataFile("missing.ptm")});
    EXPECT_EQ(missing.exit, 2);
    EXPECT_EQ(missing.errLines().front(),
              "zavectl: " + dataFile("missing.ptm") + ": При чтении произошла ошибка. Файл открыть не удалось.");
    const auto wrongFormat = runCliProcess({"show", dataFile("week.json")});
    EXPECT_EQ(wrongFormat.exit, 2);
    EXPECT_EQ(wrongFormat.err, "zavectl: " + dataFile("week.json") + ": Формат файла не поддерживается\n");
}

TEST(CliProcess, ShowAndCheck) {
    const auto show = runCliProcess({"show", dataFile("week.ptm")});
    EXPECT_EQ(show.exit, 0);
    std::vector<std::string> lines = show.outLines();
    ASSERT_FALSE(lines.empty());
    lines.erase(lines.begin());
    EXPECT_EQ(lines, splitLines(readWholeFile(dataFile("week.show.txt"))));
    EXPECT_EQ(runCliProcess({"show", "--json", dataFile("week.ptm")}).report(),
              nlohmann::json::parse(readWholeFile(dataFile("week.json"))));
    EXPECT_EQ(runCliProcess({"check", dataFile("week.ptm")}).exit, 1);
    EXPECT_EQ(runCliProcess({"check", dataFile("school.ptm")}).exit, 0);
}

TEST(CliProcess, WriteVerifyAndASilentDevice) {
    {
        DevSim sim;
        ASSERT_TRUE(sim.running()) << sim.error();
        const auto write = runCliProcess({"write", "--port", "COM200", dataFile("school.ptm")});
        EXPECT_EQ(write.exit, 0) << write.out << write.err;
        EXPECT_EQ(unstamped(write.outLines()).back(), "<t> Программа записана");
        EXPECT_EQ(write.err, "");  // stderr is a file: no bar
        const auto verify = runCliProcess({"verify", "--port", "COM200", dataFile("school.ptm")});
        EXPECT_EQ(verify.exit, 0) << verify.out << verify.err;
        const auto differs = runCliProcess({"verify", "--port", "COM200", dataFile("week.ptm")});
        EXPECT_EQ(differs.exit, 1) << differs.out << differs.err;
        EXPECT_EQ(differs.outLines().back().rfind("Различий: ", 0), 0u);
    }
    DevSim silent({"--silent"});
    ASSERT_TRUE(silent.running()) << silent.error();
    const auto r = runCliProcess({"status", "--port", "COM200"});
    EXPECT_EQ(r.exit, 3);
    EXPECT_EQ(unstamped(r.outLines()),
              (std::vector<std::string>{"<t>COM200 Порт открыт", "Устройство не отвечает", "Связь разорвана"}));
    EXPECT_TRUE(silent.waitForReceived(8, "80"));
    EXPECT_EQ(silent.receivedFrames(), 8);
}

}  // namespace
}  // namespace zave
