#include <gtest/gtest.h>

#include <string>

#include "schedule/document.h"

namespace zave {
namespace {

TEST(DocumentTables, DayAndSignalNamesInOrder) {
    const char* days[] = {"Понедельник", "Вторник", "Среда", "Четверг", "Пятница", "Суббота", "Воскресенье"};
    for (int d = 0; d < kDayCount; ++d) {
        EXPECT_EQ(kDayNames[static_cast<size_t>(d)], days[d]);
        EXPECT_EQ(dayNumberByName(days[d]), d + 1);
    }
    const char* signals[] = {"Сигнал №1", "Сигнал №2", "Сигнал №3"};
    for (int t = 0; t < 3; ++t) {
        EXPECT_EQ(kSoundTypeNames[static_cast<size_t>(t)], signals[t]);
        EXPECT_EQ(soundTypeByName(signals[t]), t + 1);
    }
}

TEST(DocumentReset, EverySlotZeroAndDefaultSettings) {
    ScheduleDocument doc;
    for (int d = 1; d <= kDayCount; ++d)
        for (int k = 1; k <= kSlotCount; ++k) doc.slot(d, k) = TimeSlot{1, d, k, 100 + d};
    doc.soundType = 3;
    doc.pulseSwitchTime = "200";
    doc.soundDisabled = 1;
    doc.currentDay = 5;

    resetDocument(doc);
    for (int d = 1; d <= kDayCount; ++d)
        for (int k = 1; k <= kSlotCount; ++k) EXPECT_EQ(doc.slot(d, k), TimeSlot{}) << d << "/" << k;
    EXPECT_EQ(doc.soundType, 1);
    EXPECT_EQ(doc.pulseSwitchTime, "10");
    EXPECT_EQ(doc.soundDisabled, 0);
    EXPECT_EQ(doc.currentDay, 1);
}

TEST(CaseInsensitiveNames, ComparisonTable) {
    struct Row { std::string a, b; bool equal; };
    const Row rows[] = {
        {"понедельник", "Понедельник", true},
        {"ПОНЕДЕЛЬНИК", "понедельник", true},
        {"пОнЕдЕлЬнИк", "ПоНеДеЛьНиК", true},
        {"ЁЖ", "ёж", true},
        {"Ёж", "еж", false},                 // Ё and Е are different letters
        {"ABCxyz", "abcXYZ", true},
        {"Среда", "Среда ", false},           // a trailing blank counts
        {"Среда", "Сред", false},
        {"", "", true},
        {"", "Среда", false},
        {"сигнал №1", "СИГНАЛ №1", true},
        {"Сигнал №1", "Сигнал №2", false},
        {"[", "{", false},                    // only letters fold
        {"@", "`", false},
        {"Я", "я", true},
        {"Я", "Ъ", false},
        {"\xD0", "\xD0", true},               // broken bytes equal only themselves
        {"\xD0", "\xD1", false},
        {"\xFF\xFE", "\xFF", false},
        {"a\xC0\x80", "A\xC0\x80", true},
        {"\xE2\x82", "\xE2\x82\xAC", false},  // cut sequence is not the euro sign
        {"\xD0\x9F", "\xD0", false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(equalsIgnoringCase(r.a, r.b), r.equal) << "'" << r.a << "' vs '" << r.b << "'";
        EXPECT_EQ(equalsIgnoringCase(r.b, r.a), r.equal) << "'" << r.b << "' vs '" << r.a << "'";
    }
}

TEST(CaseInsensitiveNames, LookupByName) {
    struct Row { const char* name; int day; int signal; };
    const Row rows[] = {
        {"среда", 3, 0},
        {"ВОСКРЕСЕНЬЕ", 7, 0},
        {"Воскресенье\r", 0, 0},
        {"Mon", 0, 0},
        {"", 0, 0},
        {"сигнал №3", 0, 3},
        {"СИГНАЛ №2", 0, 2},
        {"Сигнал №4", 0, 0},
        {"Сигнал 1", 0, 0},
        {"\xCF\xEE\xED", 0, 0},   // Windows-1251 bytes, not UTF-8
    };
    for (const Row& r : rows) {
        EXPECT_EQ(dayNumberByName(r.name), r.day) << r.name;
        EXPECT_EQ(soundTypeByName(r.name), r.signal) << r.name;
    }
}

TEST(CurrentDay, SetByNumberAndByName) {
    ScheduleDocument doc;
    struct Row { int day; bool accepted; int after; };
    const Row rows[] = {{3, true, 3}, {0, false, 3}, {8, false, 3}, {-1, false, 3}, {7, true, 7}, {1, true, 1}};
    for (const Row& r : rows) {
        EXPECT_EQ(setCurrentDay(doc, r.day), r.accepted) << r.day;
        EXPECT_EQ(doc.currentDay, r.after) << r.day;
    }
    EXPECT_TRUE(setCurrentDayByName(doc, "пятница"));
    EXPECT_EQ(doc.currentDay, 5);
    EXPECT_FALSE(setCurrentDayByName(doc, "Funday"));
    EXPECT_EQ(doc.currentDay, 5);
    EXPECT_FALSE(setCurrentDayByName(doc, ""));
    EXPECT_EQ(doc.currentDay, 5);
}

}  // namespace
}  // namespace zave
