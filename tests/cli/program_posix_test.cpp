// write, read and verify against the simulator through the real serial layer.
#include <gtest/gtest.h>

#include <filesystem>

#include "device/eeprom_question_box.h"
#include "cli/exit_codes.h"
#include "cli_run.h"
#include "link/exchange.h"
#include "sim_helpers.h"
#include "support/devsim.h"
#include "support/fakes.h"

namespace zave {
namespace {

using testing::CliRunOptions;
using testing::dataFile;
using testing::DevSim;
using testing::readWholeFile;
using testing::runCli;
using testing::simulatorState;
using testing::TempFolder;
using testing::unstamped;
using testing::writeWholeFile;

ScheduleDocument school() {
    ScheduleDocument doc;
    EXPECT_EQ(readDocumentFile(dataFile("school.ptm"), doc), DocumentReadStatus::Ok);
    return doc;
}

class CliProgram : public ::testing::Test {
protected:
    void start(std::vector<std::string> args = {}) {
        sim_ = std::make_unique<DevSim>(std::move(args));
        ASSERT_TRUE(sim_->running()) << sim_->error();
    }
    // The simulator keeping its memory in a state file, holding `doc`.
    void startHolding(const ScheduleDocument& doc, std::vector<std::string> args = {}) {
        start();
        state_ = sim_->runtimeDir() + "/device.state";
        writeWholeFile(state_, simulatorState(doc, 0));
        args.insert(args.begin(), {"--state", state_});
        ASSERT_TRUE(sim_->restart(args)) << sim_->error();
    }
    std::unique_ptr<DevSim> sim_;
    std::string state_;
};

TEST_F(CliProgram, WriteThenVerify) {
    startHolding(ScheduleDocument{});
    const auto write = runCli({"write", "--port", "COM200", dataFile("school.ptm")});
    ASSERT_EQ(write.exit, cli::kExitOk) << write.out << write.err;
    EXPECT_EQ(unstamped(write.outLines()), (std::vector<std::string>{"<t>COM200 Порт открыт", "Устройство готово",
                                                                    "<t> Старт запись программы",
                                                                    "<t> Программа записана"}));
    EXPECT_EQ(write.err, "");  // no bar when stderr is no terminal
    EXPECT_EQ(sim_->receivedFrames("04"), 9);
    EXPECT_EQ(sim_->receivedFrames("05"), 9);
    EXPECT_EQ(sim_->receivedFrames("06"), 9);
    EXPECT_EQ(sim_->receivedFrames("07"), 1);
    // The device now holds the file's image, byte for byte.
    EXPECT_EQ(readWholeFile(state_), simulatorState(school(), 0));

    const auto verify = runCli({"verify", "--port", "COM200", dataFile("school.ptm")});
    EXPECT_EQ(verify.exit, cli::kExitOk) << verify.out << verify.err;
    EXPECT_EQ(unstamped(verify.outLines()).back(), "Программа в устройстве совпадает с файлом " + dataFile("school.ptm"));

    // Another program differs everywhere it should.
    const auto other = runCli({"verify", "--port", "COM200", dataFile("week.ptm")});
    EXPECT_EQ(other.exit, cli::kExitFaults);
}

TEST_F(CliProgram, VerifyListsExactlyWhatChangedBehindItsBack) {
    startHolding(school());
    // A second writer on the line changes two minutes of one block:
    // entry 11 (Monday slot 11) and entry 14 (Tuesday slot 2).
    {
        auto port = makeSystemSerialPort();
        testing::FakeMessageBoxes boxes;
        zave::EepromQuestionBox eeprom{boxes};
        ASSERT_TRUE(port->open("COM200"));
        ExchangeEngine engine(*port, eeprom);
        const ProgramImage image = buildProgramImage(school());
        CommandParams p{11, 20};
        for (int k = 11; k <= 20; ++k) p[static_cast<size_t>(k - 9)] = image.minuteTable[static_cast<size_t>(k)];
        p[2] = 7;    // entry 11
        p[5] = 50;   // entry 14: 08:45 -> 08:50
        ASSERT_EQ(exchangeAttempts([&] { return engine.sendCommand(WriteMinuteBlock, p); }), ExchangeResult::Ok);
    }
    // And someone edits the device's memory: entry 30 (Wednesday slot 6)
    // gets level 205 (51 %), the pulse time 20.
    ASSERT_EQ(sim_->stop(), 0);
    std::string state = readWholeFile(state_);
    ASSERT_TRUE(testing::editStateValue(state, "volume", 30, 205)) << state;
    ASSERT_TRUE(testing::editStateValue(state, "settings", 2, 20)) << state;
    writeWholeFile(state_, state);
    ASSERT_TRUE(sim_->restart({"--state", state_})) << sim_->error();

    const auto r = runCli({"verify", "--port", "COM200", dataFile("school.ptm")});
    EXPECT_EQ(r.exit, cli::kExitFaults) << r.err;
    const std::vector<std::string> lines = unstamped(r.outLines());
    const std::vector<std::string> expected = {
        "--- файл " + dataFile("school.ptm"),
        "+++ устройство COM200",
        "Понедельник, слот 11: 00:00 выкл. 0% -> 00:07 выкл. 0%",
        "Вторник, слот 2: 08:45 вкл. 80% -> 08:50 вкл. 80%",
        "Среда, слот 6: 10:35 вкл. 80% -> 10:35 вкл. 51%",
        "Время перехода на частые звук.импульсы: \"12\" -> \"20\"",
        "Различий: 4",
    };
    ASSERT_GE(lines.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<long>(expected.size()), lines.end()), expected);
    EXPECT_EQ(sim_->receivedFrames("04"), 0);  // verify never writes
}

TEST_F(CliProgram, ReadSavesLikeTheWindow) {
    startHolding(school());
    TempFolder folder;
    const auto r = runCli({"read", "--port", "COM200", folder.file("copy")});
    ASSERT_EQ(r.exit, cli::kExitOk) << r.out << r.err;
    EXPECT_EQ(unstamped(r.outLines()),
              (std::vector<std::string>{"<t>COM200 Порт открыт", "Устройство готово", "<t> Старт чтения программы",
                                        "<t> Программа считана", "Сохранено: " + folder.file("copy.ptm")}));
    // Everything survives, Monday shown: the very bytes of the file written.
    EXPECT_EQ(readWholeFile(folder.file("copy.ptm")), readWholeFile(dataFile("school.ptm")));

    // An existing file is kept unless --force, and the device is not asked.
    writeWholeFile(folder.file("old.PTM"), "keep me");
    const int framesBefore = sim_->receivedFrames();
    const auto refused = runCli({"read", "--port", "COM200", folder.file("old.PTM")});
    EXPECT_EQ(refused.exit, cli::kExitUsage);
    EXPECT_EQ(refused.errLines().front(),
              "zavectl: " + folder.file("old.PTM") + " уже существует; чтобы заменить его, укажите --force");
    EXPECT_EQ(readWholeFile(folder.file("old.PTM")), "keep me");
    EXPECT_EQ(sim_->receivedFrames(), framesBefore);
    const auto forced = runCli({"read", "--force", "--port", "COM200", folder.file("old.PTM")});
    EXPECT_EQ(forced.exit, cli::kExitOk) << forced.err;
    EXPECT_EQ(readWholeFile(folder.file("old.PTM")), readWholeFile(dataFile("school.ptm")));
}

TEST_F(CliProgram, FailedReadSavesNothing) {
    startHolding(school(), {"--mute-after", "10"});
    TempFolder folder;
    const auto r = runCli({"read", "--port", "COM200", folder.file("copy.ptm")});
    EXPECT_EQ(r.exit, cli::kExitDevice);
    EXPECT_EQ(unstamped(r.outLines()).back(), "<t> Команда не выполнена");
    EXPECT_EQ(r.errLines().back(), "zavectl: программа не считана, файл " + folder.file("copy.ptm") + " не записан");
    EXPECT_FALSE(std::filesystem::exists(folder.file("copy.ptm")));
}

TEST_F(CliProgram, FaultyProgramIsRefusedWithoutTouchingThePort) {
    start();
    const std::string week = dataFile("week.ptm");
    const auto r = runCli({"write", "--port", "COM200", week});
    EXPECT_EQ(r.exit, cli::kExitFaults);
    EXPECT_EQ(r.errLines(), (std::vector<std::string>{
                                "zavectl: Внимание! В составленной программе обнаружены ошибки. Система запрещает "
                                "производить некорректную запись"}));
    EXPECT_EQ(r.outLines(), (std::vector<std::string>{
                                week + ": Вторник, слоты 1, 2 (08:00): Задано несколько, одинаковых, временных интервалов",
                                week + ": Среда, слот 4 (120%): Уровень громкости вне диапазона 0..100%",
                                week + ": Пятница, слоты 1, 2, 3 (14:00): Задано несколько, одинаковых, временных интервалов",
                                week + ": Пятница, слот 7 (-1%): Уровень громкости вне диапазона 0..100%",
                            }));
    EXPECT_EQ(sim_->receivedFrames(), 0);
}

TEST_F(CliProgram, WriteThatFailsHalfWay) {
    start({"--mute-after", "5"});  // the greeting and four blocks are answered
    const auto r = runCli({"write", "--port", "COM200", dataFile("school.ptm")});
    EXPECT_EQ(r.exit, cli::kExitDevice);
    EXPECT_EQ(unstamped(r.outLines()).back(), "<t> Команда не выполнена");
    EXPECT_TRUE(sim_->waitForReceived(4 + 8, "04"));
    EXPECT_EQ(sim_->receivedFrames("04"), 4 + 8);  // the fifth block eight times, nothing after it
    EXPECT_EQ(sim_->receivedFrames("05"), 0);
}

TEST_F(CliProgram, CtrlCStopsBeforeTheNextFrame) {
    start();
    int checks = 0;
    CliRunOptions options;
    options.interrupted = [&] { return ++checks > 3; };
    const auto r = runCli({"write", "--port", "COM200", dataFile("school.ptm")}, options);
    EXPECT_EQ(r.exit, cli::kExitDevice);
    EXPECT_EQ(unstamped(r.outLines()).back(), "<t> Команда не выполнена");
    EXPECT_EQ(r.errLines(), std::vector<std::string>{"zavectl: прервано оператором"});
    EXPECT_EQ(sim_->receivedFrames("04"), 3);
}

TEST_F(CliProgram, ProgressBarOnATerminal) {
    start();
    CliRunOptions options;
    options.progressBar = true;
    const auto r = runCli({"write", "--port", "COM200", dataFile("school.ptm")}, options);
    ASSERT_EQ(r.exit, cli::kExitOk);
    EXPECT_NE(r.err.find("\r[" + std::string(40, '.') + "] 0%"), std::string::npos);
    EXPECT_NE(r.err.find("] 49%"), std::string::npos);  // after 14 of 28 frames (14 x 3.5)
    EXPECT_NE(r.err.find("] 98%"), std::string::npos);
    EXPECT_EQ(r.err.back(), '\r');  // the bar is wiped before the last line is printed
}

TEST_F(CliProgram, EepromAnswers) {
    struct Row {
        const char* what;
        std::vector<std::string> simArgs;
        std::vector<std::string> args;
        int exit;
        std::string warning;
    } rows[] = {
        {"query, abort (default)", {"--eeprom", "os:83"}, {"verify"}, cli::kExitDevice,
         "zavectl: Повреждена EEPROM микроконтроллера: связь разорвана"},
        {"query, retry until it clears", {"--eeprom", "ol:83", "--eeprom-times", "2"},
         {"verify", "--on-eeprom-error", "retry"}, cli::kExitOk, "zavectl: Повреждена EEPROM внешняя: повтор операции"},
        {"query, retry without end", {"--eeprom", "ol:83"}, {"verify", "--on-eeprom-error", "retry"}, cli::kExitDevice,
         "zavectl: Повреждена EEPROM внешняя: повтор операции"},
        {"query, skip: nothing to compare", {"--eeprom", "os:84", "--eeprom-times", "1"},
         {"verify", "--on-eeprom-error", "skip"}, cli::kExitDevice,
         "zavectl: Повреждена EEPROM микроконтроллера: ошибка пропущена, данные ответа заменены значением 255"},
        {"command, skip is impossible", {"--eeprom", "os:04"}, {"write", "--on-eeprom-error", "skip"}, cli::kExitDevice,
         "zavectl: Повреждена EEPROM микроконтроллера: команду записи пропустить нельзя, связь разорвана"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        sim_.reset();
        startHolding(school(), row.simArgs);
        std::vector<std::string> args = row.args;
        args.insert(args.end(), {"--port", "COM200", dataFile("school.ptm")});
        const auto r = runCli(args);
        EXPECT_EQ(r.exit, row.exit) << r.out << r.err;
        ASSERT_FALSE(r.errLines().empty());
        EXPECT_EQ(r.errLines().front(), row.warning);
    }
}

TEST_F(CliProgram, ReadWithSkippedEepromErrorsIsSavedButNotASuccess) {
    startHolding(school(), {"--eeprom", "os:83", "--eeprom-times", "1"});
    TempFolder folder;
    const auto r = runCli({"read", "--port", "COM200", "--on-eeprom-error", "skip", folder.file("rescued.ptm")});
    EXPECT_EQ(r.exit, cli::kExitDevice);
    EXPECT_EQ(r.errLines().back(),
              "zavectl: пропущено ответов с ошибкой EEPROM: 1; их данные заменены значением 255 и не совпадают с "
              "устройством");
    ScheduleDocument rescued;
    ASSERT_EQ(readDocumentFile(folder.file("rescued.ptm"), rescued), DocumentReadStatus::Ok);
    EXPECT_EQ(rescued.slot(1, 1), (TimeSlot{1, 127, 0, 80}));  // the hour of block 1 stood in as 255
    EXPECT_EQ(rescued.slot(2, 1), school().slot(2, 1));          // block 2 came through
}

}  // namespace
}  // namespace zave
