// show, check and diff on program files, usage errors and the help texts.
#include <gtest/gtest.h>

#include "cli/exit_codes.h"
#include "cli/help.h"
#include "cli_run.h"
#include "schedule/ptm_codec.h"

namespace zave {
namespace {

using testing::dataFile;
using testing::readWholeFile;
using testing::runCli;
using testing::splitLines;
using testing::TempFolder;
using testing::writeWholeFile;

std::string saved(const ScheduleDocument& doc) {
    const std::vector<uint8_t> bytes = encodeDocument(doc);
    return std::string(bytes.begin(), bytes.end());
}

TEST(CliShow, GoldenTable) {
    const std::string path = dataFile("week.ptm");
    const auto r = runCli({"show", path});
    ASSERT_EQ(r.exit, cli::kExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    std::vector<std::string> lines = r.outLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Файл: " + path);
    lines.erase(lines.begin());
    EXPECT_EQ(lines, splitLines(readWholeFile(dataFile("week.show.txt"))));
}

TEST(CliShow, GoldenJson) {
    const auto r = runCli({"show", "--json", dataFile("week.ptm")});
    ASSERT_EQ(r.exit, cli::kExitOk) << r.err;
    EXPECT_EQ(r.report(), nlohmann::json::parse(readWholeFile(dataFile("week.json"))));
}

TEST(CliCheck, EveryDayOfEveryFile) {
    const std::string week = dataFile("week.ptm"), school = dataFile("school.ptm");
    const auto r = runCli({"check", school, week});
    EXPECT_EQ(r.exit, cli::kExitFaults);
    EXPECT_EQ(r.outLines(), (std::vector<std::string>{
                                school + ": ошибок нет",
                                week + ": Вторник, слоты 1, 2 (08:00): Задано несколько, одинаковых, временных интервалов",
                                week + ": Среда, слот 4 (120%): Уровень громкости вне диапазона 0..100%",
                                week + ": Пятница, слоты 1, 2, 3 (14:00): Задано несколько, одинаковых, временных интервалов",
                                week + ": Пятница, слот 7 (-1%): Уровень громкости вне диапазона 0..100%",
                                "Проверено файлов: 2, с ошибками: 1, ошибок: 4",
                            }));
    const auto clean = runCli({"check", school});
    EXPECT_EQ(clean.exit, cli::kExitOk);
    EXPECT_EQ(clean.outLines().back(), "Проверено файлов: 1, с ошибками: 0, ошибок: 0");
}

TEST(CliCheck, FoldersAndUnreadableFiles) {
    TempFolder folder;
    ScheduleDocument bad;
    bad.slot(7, 1) = {1, 6, 0, 101};
    writeWholeFile(folder.file("b.PTM"), saved(bad));
    writeWholeFile(folder.file("a.ptm"), readWholeFile(dataFile("school.ptm")));
    writeWholeFile(folder.file("notes.txt"), "not a program");
    writeWholeFile(folder.file("c.ptm"), "Wersia 3.00 unic\r\n");  // letter case counts
    TempFolder empty;

    const auto r = runCli({"check", folder.path(), dataFile("missing.ptm"), empty.path()});
    EXPECT_EQ(r.exit, cli::kExitUsage);  // unreadable files weigh more than faults
    EXPECT_EQ(r.outLines(), (std::vector<std::string>{
                                folder.file("a.ptm") + ": ошибок нет",
                                folder.file("b.PTM") + ": Воскресенье, слот 1 (101%): Уровень громкости вне диапазона 0..100%",
                                "Проверено файлов: 2, с ошибками: 1, ошибок: 1, не прочитано: 2",
                            }));
    EXPECT_EQ(r.errLines(), (std::vector<std::string>{
                                "zavectl: " + empty.path() + ": в папке нет файлов .ptm",
                                "zavectl: " + folder.file("c.ptm") + ": Формат файла не поддерживается",
                                "zavectl: " + dataFile("missing.ptm") +
                                    ": При чтении произошла ошибка. Файл открыть не удалось.",
                            }));
}

TEST(CliDiff, SlotAndSettingDifferences) {
    TempFolder folder;
    ScheduleDocument a;
    a.slot(1, 1) = {1, 8, 0, 80};
    a.slot(3, 12) = {0, 12, 0, 25};
    ScheduleDocument b = a;
    b.currentDay = 6;                  // not part of the program
    b.slot(1, 1).volume = 70;
    b.slot(3, 12).minute = 5;          // a disabled slot is written to the device too
    b.slot(7, 4) = {1, 21, 0, 40};
    b.pulseSwitchTime = "12";
    writeWholeFile(folder.file("a.ptm"), saved(a));
    writeWholeFile(folder.file("b.ptm"), saved(b));

    const auto r = runCli({"diff", folder.file("a.ptm"), folder.file("b.ptm")});
    EXPECT_EQ(r.exit, cli::kExitFaults);
    EXPECT_EQ(r.outLines(), (std::vector<std::string>{
                                "--- " + folder.file("a.ptm"),
                                "+++ " + folder.file("b.ptm"),
                                "Понедельник, слот 1: 08:00 вкл. 80% -> 08:00 вкл. 70%",
                                "Среда, слот 12: 12:00 выкл. 25% -> 12:05 выкл. 25%",
                                "Воскресенье, слот 4: 00:00 выкл. 0% -> 21:00 вкл. 40%",
                                "Время перехода на частые звук.импульсы: \"10\" -> \"12\"",
                                "Различий: 4",
                            }));

    const auto same = runCli({"diff", folder.file("a.ptm"), folder.file("a.ptm")});
    EXPECT_EQ(same.exit, cli::kExitOk);
    EXPECT_EQ(same.outLines(), std::vector<std::string>{"Различий нет"});

    const auto missing = runCli({"diff", folder.file("a.ptm"), folder.file("gone.ptm")});
    EXPECT_EQ(missing.exit, cli::kExitUsage);
    EXPECT_EQ(missing.out, "");
}

TEST(CliFiles, UnreadableOrWrongFormat) {
    TempFolder folder;
    writeWholeFile(folder.file("empty.ptm"), "");
    writeWholeFile(folder.file("capital.ptm"), "Wersia 3.00 unic\r\nПонедельник\r\n");
    struct Row {
        std::string path;
        const char* message;
    } rows[] = {
        {folder.file("missing.ptm"), "При чтении произошла ошибка. Файл открыть не удалось."},
        {folder.path(), "При чтении произошла ошибка. Файл открыть не удалось."},  // a folder is no file
        {folder.file("empty.ptm"), "Формат файла не поддерживается"},
        {folder.file("capital.ptm"), "Формат файла не поддерживается"},
    };
    for (const Row& row : rows) {
        for (const std::vector<std::string>& args : {std::vector<std::string>{"show", row.path},
                                                     std::vector<std::string>{"show", "--json", row.path},
                                                     std::vector<std::string>{"write", "--port", "COM1", row.path},
                                                     std::vector<std::string>{"verify", "--port", "COM1", row.path}}) {
            const auto r = runCli(args);
            EXPECT_EQ(r.exit, cli::kExitUsage) << args[0] << " " << row.path;
            EXPECT_EQ(r.out, "") << args[0];
            EXPECT_EQ(r.err, "zavectl: " + row.path + ": " + row.message + "\n") << args[0];
        }
    }
}

TEST(CliUsage, BadCallsEndWithTwoAndPrintNothingElse) {
    const std::string file = dataFile("school.ptm");
    struct Row {
        std::vector<std::string> args;
        const char* message;
    } rows[] = {
        {{}, "не указана команда"},
        {{"frobnicate"}, "неизвестная команда frobnicate"},
        {{"show"}, "не указано: файл программы"},
        {{"show", file, file}, "лишний операнд: " },
        {{"show", "--bogus", file}, "неизвестный параметр --bogus"},
        {{"check"}, "не указано: файлы программ"},
        {{"diff", file}, "не указано: два файла программ"},
        {{"ports", "COM1"}, "лишний операнд: COM1"},
        {{"status"}, "не указан порт: --port COMn"},
        {{"status", "--port", "COM0"}, "неверное имя порта \"COM0\": ожидается COM1 … COM200, путь к устройству"},
        {{"status", "--port", "ttyS0"}, "неверное имя порта \"ttyS0\": ожидается COM1 … COM200, путь к устройству"},
        {{"sync-clock", "--port", "COM1", "--if-drift", "-5"},
         "--if-drift: ожидается число секунд 0 и больше, указано \"-5\""},
        {{"write", "--port", "COM1"}, "не указано: файл программы"},
        {{"read", "--port", "COM1", "x.ptm", "--on-eeprom-error", "maybe"},
         "--on-eeprom-error: ожидается retry, skip или abort, указано \"maybe\""},
        {{"verify", "--port"}, "у параметра --port нет значения"},
        {{"show", "--json=1", file}, "параметр --json не принимает значения"},
    };
    for (const Row& row : rows) {
        const auto r = runCli(row.args);
        const std::string what = row.args.empty() ? "(none)" : row.args[0];
        EXPECT_EQ(r.exit, cli::kExitUsage) << what;
        EXPECT_EQ(r.out, "") << what;
        const std::vector<std::string> err = r.errLines();
        ASSERT_EQ(err.size(), 2u) << r.err;
        EXPECT_EQ(err[0].rfind(std::string("zavectl: ") + row.message, 0), 0u) << err[0];
        EXPECT_EQ(err[1].rfind("zavectl: справка: zavectl ", 0), 0u) << err[1];
    }
}

TEST(CliHelp, RussianTextsWithTheExitCodes) {
    const auto main = runCli({"--help"});
    EXPECT_EQ(main.exit, cli::kExitOk);
    for (const char* part : {"Использование: zavectl КОМАНДА", "0  успешно", "1  в программе найдены ошибки",
                             "2  неверный вызов", "3  отказ устройства или связи", "--on-eeprom-error"})
        EXPECT_NE(main.out.find(part), std::string::npos) << part;
    for (const char* name : {"show", "check", "diff", "ports", "status", "sync-clock", "write", "read", "verify"}) {
        const auto r = runCli({name, "--help"});
        EXPECT_EQ(r.exit, cli::kExitOk) << name;
        EXPECT_EQ(r.out.rfind(std::string("Использование: zavectl ") + name, 0), 0u) << name;
        EXPECT_NE(r.out.find("Коды завершения"), std::string::npos) << name;
        EXPECT_NE(main.out.find(std::string("  ") + name + " "), std::string::npos) << name << " in the main help";
        EXPECT_EQ(runCli({"help", name}).out, r.out);
    }
}

}  // namespace
}  // namespace zave
