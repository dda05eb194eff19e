// The texts zavectl builds from programs: slots, faults, differences, JSON strings.
#include "cli/render.h"

#include <gtest/gtest.h>

#include "cli/json_report.h"

namespace zave::cli {
namespace {

TEST(CliRender, Slots) {
    struct Row {
        TimeSlot slot;
        const char* text;
    } rows[] = {
        {{1, 8, 30, 50}, "08:30 вкл. 50%"},
        {{0, 8, 30, 50}, "08:30 выкл. 50%"},
        {{2, 23, 59, 100}, "23:59 выкл.(2) 100%"},
        {{1, 0, 0, -56}, "00:00 вкл. -56%"},
        {{1, 127, 255, 0}, "127:255 вкл. 0%"},
    };
    for (const Row& r : rows) EXPECT_EQ(slotText(r.slot), r.text);
    EXPECT_EQ(soundTypeText(3), "Сигнал №3");
    EXPECT_EQ(soundTypeText(0), "не выбран");
    EXPECT_EQ(soundDisabledText(0), "нет");
    EXPECT_EQ(soundDisabledText(1), "да");
    EXPECT_EQ(soundDisabledText(-1), "да (-1)");
}

TEST(CliRender, Faults) {
    ScheduleDocument doc;
    doc.slot(4, 2) = {1, 7, 5, 10};
    doc.slot(4, 9) = {1, 7, 5, 20};
    doc.slot(4, 3) = {1, 9, 0, 101};
    const std::vector<DocumentFault> faults = documentFaults(doc);
    ASSERT_EQ(faults.size(), 2u);
    EXPECT_EQ(documentFaultText(doc, faults[0]),
              "Четверг, слоты 2, 9 (07:05): Задано несколько, одинаковых, временных интервалов");
    EXPECT_EQ(documentFaultText(doc, faults[1]), "Четверг, слот 3 (101%): Уровень громкости вне диапазона 0..100%");
}

TEST(CliRender, PulseTimeNote) {
    ScheduleDocument doc;
    for (const char* fine : {"10", "1", "255", " 7"}) {
        doc.pulseSwitchTime = fine;
        EXPECT_EQ(pulseTimeNote(doc), "") << fine;
    }
    doc.pulseSwitchTime = "300";
    EXPECT_EQ(pulseTimeNote(doc), "Время перехода на частые звук.импульсы \"300\" вне 1..255: в устройство уйдёт 300, "
                                  "окно при правке заменит на 11");
}

TEST(CliRender, Differences) {
    ScheduleDocument a, b;
    b.slot(2, 3) = {1, 8, 45, 50};
    a.slot(2, 3) = {1, 8, 30, 50};
    b.soundType = 2;
    b.pulseSwitchTime = "12";
    b.soundDisabled = 1;
    EXPECT_EQ(differenceLines(a, b, compareDocuments(a, b)),
              (std::vector<std::string>{
                  "Вторник, слот 3: 08:30 вкл. 50% -> 08:45 вкл. 50%",
                  "Вид звукового сопровождения: Сигнал №1 -> Сигнал №2",
                  "Время перехода на частые звук.импульсы: \"10\" -> \"12\"",
                  "Отключить звуковое сопровождение: нет -> да",
              }));
}

TEST(CliRender, JsonTextKeepsEveryCharacterAndSurvivesBadBytes) {
    struct Row {
        std::string text;
        std::string readBack;  // the string a JSON reader gets back
    } rows[] = {
        {"Сигнал №1", "Сигнал №1"},
        {"a\"b\\c", "a\"b\\c"},
        {"x\ny\rz\t", "x\ny\rz\t"},
        {std::string("\x01\x1F\x7F", 3), std::string("\x01\x1F\x7F", 3)},
        {"bad \xFF byte", "bad \xEF\xBF\xBD byte"},  // not UTF-8: U+FFFD, no failure
    };
    for (const Row& r : rows) {
        const std::string text = jsonText(Json{{"name", r.text}});
        EXPECT_EQ(text.back(), '\n');
        EXPECT_EQ(text.find('\x01'), std::string::npos) << "control characters are escaped";
        EXPECT_EQ(nlohmann::json::parse(text).at("name").get<std::string>(), r.readBack);
    }
    const Json head = jsonReport("status");
    EXPECT_EQ(head.at("format"), 1);
    EXPECT_EQ(head.at("command"), "status");
    EXPECT_FALSE(head.at("version").get<std::string>().empty());
}

TEST(CliRender, TimeOrderInTheTable) {
    ScheduleDocument doc;
    doc.slot(1, 1) = {1, 12, 0, 10};
    doc.slot(1, 5) = {1, 7, 0, 20};
    doc.slot(1, 2) = {1, 7, 0, 30};   // same time as slot 5: a fault, shown in slot order
    doc.slot(1, 7) = {0, 6, 0, 40};   // disabled: counted only
    const std::vector<std::string> table = programTable(doc);
    const std::vector<std::string> monday(table.begin() + 2, table.begin() + 9);
    EXPECT_EQ(monday, (std::vector<std::string>{
                          "Понедельник — ошибок: 1",
                          "  ! слоты 2, 5 (07:00): Задано несколько, одинаковых, временных интервалов",
                          "  07:00    30%  слот 2  !",
                          "  07:00    20%  слот 5  !",
                          "  12:00    10%  слот 1",
                          "  выключено: 9",
                          "",
                      }));
}

}  // namespace
}  // namespace zave::cli
