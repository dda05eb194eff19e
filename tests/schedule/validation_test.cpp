#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "schedule/validation.h"

namespace zave {
namespace {

TimeSlot on(int hour, int minute, int volume) { return TimeSlot{1, hour, minute, volume}; }
TimeSlot off(int hour, int minute, int volume) { return TimeSlot{0, hour, minute, volume}; }

struct PlannedSlot { int k; TimeSlot slot; };

DayPlan dayOf(std::initializer_list<PlannedSlot> slots) {
    DayPlan day;
    for (const PlannedSlot& s : slots) day.slot(s.k) = s.slot;
    return day;
}

TEST(DayCheck, Table) {
    struct Row { const char* what; DayPlan day; DayCheckResult result; };
    const Row rows[] = {
        {"empty day (all disabled at 00:00)", DayPlan{}, DayCheckResult::None},
        {"enabled 00:00 volume 0", dayOf({{1, on(0, 0, 0)}}), DayCheckResult::None},
        {"volume 100", dayOf({{3, on(8, 0, 100)}}), DayCheckResult::None},
        {"volume 101", dayOf({{3, on(8, 0, 101)}}), DayCheckResult::VolumeOutOfRange},
        {"volume -1", dayOf({{12, on(8, 0, -1)}}), DayCheckResult::VolumeOutOfRange},
        {"volume 500", dayOf({{1, on(8, 0, 500)}}), DayCheckResult::VolumeOutOfRange},
        {"disabled volume 500", dayOf({{1, off(8, 0, 500)}}), DayCheckResult::None},
        {"two enabled at 08:00", dayOf({{1, on(8, 0, 50)}, {2, on(8, 0, 60)}}), DayCheckResult::DuplicateTimes},
        {"first and last slot equal", dayOf({{1, on(23, 59, 1)}, {12, on(23, 59, 1)}}),
         DayCheckResult::DuplicateTimes},
        {"same hour, other minute", dayOf({{1, on(8, 0, 50)}, {2, on(8, 1, 50)}}), DayCheckResult::None},
        {"same minute, other hour", dayOf({{1, on(7, 30, 50)}, {2, on(8, 30, 50)}}), DayCheckResult::None},
        {"disabled slot at the same time", dayOf({{1, on(8, 0, 50)}, {2, off(8, 0, 50)}}), DayCheckResult::None},
        {"two disabled at the same time", dayOf({{4, off(9, 0, 1)}, {5, off(9, 0, 1)}}), DayCheckResult::None},
        {"both faults: volume wins", dayOf({{1, on(8, 0, 50)}, {2, on(8, 0, 120)}}),
         DayCheckResult::VolumeOutOfRange},
        {"both faults in other slots", dayOf({{6, on(8, 0, 50)}, {7, on(8, 0, 50)}, {1, on(9, 0, -3)}}),
         DayCheckResult::VolumeOutOfRange},
        {"enabled = 2 does not count", dayOf({{1, TimeSlot{2, 8, 0, 500}}, {2, on(8, 0, 50)}}),
         DayCheckResult::None},
        {"enabled = -1 does not count", dayOf({{1, TimeSlot{-1, 8, 0, 50}}, {2, on(8, 0, 50)}}),
         DayCheckResult::None},
        {"unsorted slots are fine", dayOf({{5, on(7, 0, 10)}, {1, on(12, 0, 10)}}), DayCheckResult::None},
        {"out-of-range times compare too", dayOf({{1, on(-56, 99, 10)}, {9, on(-56, 99, 10)}}),
         DayCheckResult::DuplicateTimes},
    };
    for (const Row& r : rows) EXPECT_EQ(checkDayPlan(r.day), r.result) << r.what;
}

TEST(DayCheck, CorrectingTheVolumeRevealsTheDuplicate) {
    DayPlan day = dayOf({{1, on(8, 0, 50)}, {2, on(8, 0, 120)}});
    ASSERT_EQ(checkDayPlan(day), DayCheckResult::VolumeOutOfRange);
    day.slot(2).volume = 100;
    EXPECT_EQ(checkDayPlan(day), DayCheckResult::DuplicateTimes);
    day.slot(1).enabled = 0;
    EXPECT_EQ(checkDayPlan(day), DayCheckResult::None);
}

TEST(PulseSwitchTimeCorrection, Table) {
    struct Row { std::string text; std::optional<std::string> replacement; };
    const Row rows[] = {
        {"", "11"},
        {"abc", "11"},
        {"0", "11"},
        {"00", "11"},
        {"1", std::nullopt},
        {"10", std::nullopt},
        {"255", std::nullopt},
        {"256", "11"},
        {"1000", "11"},
        {"99999999999", "11"},
        {"-5", "11"},        // the device takes 1..255 only
        {"-0", "11"},
        {" 12x", std::nullopt},
        {"\t200", std::nullopt},
        {"+3", std::nullopt},
        {"11", std::nullopt},
        {"x12", "11"},
    };
    for (const Row& r : rows) EXPECT_EQ(correctedPulseSwitchTime(r.text), r.replacement) << "'" << r.text << "'";
}

ScheduleDocument distinctWeek() {
    ScheduleDocument doc;
    for (int d = 1; d <= kDayCount; ++d)
        for (int k = 1; k <= kSlotCount; ++k) doc.slot(d, k) = TimeSlot{(d + k) % 2, d, k, d * 10 + k};
    doc.soundType = 2;
    doc.pulseSwitchTime = "77";
    doc.soundDisabled = 1;
    doc.currentDay = 6;
    return doc;
}

TEST(CopyDays, MondayOntoTuesdayToFriday) {
    const ScheduleDocument before = distinctWeek();
    ScheduleDocument doc = before;
    ASSERT_TRUE(copyDays(doc, 1, {2, 3, 4, 5}));
    for (int d = 2; d <= 5; ++d) EXPECT_EQ(doc.day(d), before.day(1)) << d;
    EXPECT_EQ(doc.day(1), before.day(1));
    EXPECT_EQ(doc.day(6), before.day(6));
    EXPECT_EQ(doc.day(7), before.day(7));
    EXPECT_EQ(doc.soundType, 2);
    EXPECT_EQ(doc.pulseSwitchTime, "77");
    EXPECT_EQ(doc.soundDisabled, 1);
    EXPECT_EQ(doc.currentDay, 6);
}

TEST(CopyDays, SourceAlsoAmongTheTargets) {
    const ScheduleDocument before = distinctWeek();
    ScheduleDocument doc = before;
    ASSERT_TRUE(copyDays(doc, 3, {1, 3, 7}));
    EXPECT_EQ(doc.day(3), before.day(3));
    EXPECT_EQ(doc.day(1), before.day(3));
    EXPECT_EQ(doc.day(7), before.day(3));
    EXPECT_EQ(doc.day(2), before.day(2));

    doc = before;
    ASSERT_TRUE(copyDays(doc, 4, {4}));
    EXPECT_EQ(doc, before);
}

TEST(CopyDays, RefusedSelectionsChangeNothing) {
    struct Row { const char* what; int source; std::vector<int> targets; };
    const Row rows[] = {
        {"no source", 0, {2, 3}},
        {"no target", 1, {}},
        {"neither", 0, {}},
        {"source beyond the week", 8, {2}},
        {"negative source", -1, {2}},
        {"one target beyond the week", 1, {2, 8}},
        {"target 0", 1, {0, 3}},
    };
    const ScheduleDocument before = distinctWeek();
    for (const Row& r : rows) {
        ScheduleDocument doc = before;
        EXPECT_FALSE(copyDays(doc, r.source, r.targets)) << r.what;
        EXPECT_EQ(doc, before) << r.what;
    }
}

// The faults of a day slot by slot, the messages behind the indicators and
// the faults of a whole document.
constexpr auto Dup = DayCheckResult::DuplicateTimes;
constexpr auto Vol = DayCheckResult::VolumeOutOfRange;

TEST(DayFaults, Table) {
    struct Row { const char* what; DayPlan day; std::vector<DayFault> faults; };
    const Row rows[] = {
        {"empty day", DayPlan{}, {}},
        {"valid day", dayOf({{1, on(8, 0, 0)}, {2, on(9, 0, 100)}}), {}},
        {"a pair", dayOf({{3, on(8, 0, 50)}, {7, on(8, 0, 60)}}), {{Dup, {3, 7}}}},
        {"three at one time form one group", dayOf({{2, on(8, 0, 5)}, {5, on(8, 0, 5)}, {11, on(8, 0, 5)}}),
         {{Dup, {2, 5, 11}}}},
        {"two groups in the order of their first slot",
         dayOf({{1, on(9, 0, 5)}, {2, on(8, 0, 5)}, {3, on(9, 0, 5)}, {4, on(8, 0, 5)}}),
         {{Dup, {1, 3}}, {Dup, {2, 4}}}},
        {"disabled twin is no fault", dayOf({{1, on(8, 0, 50)}, {2, off(8, 0, 50)}}), {}},
        {"enabled 2 is not enabled", dayOf({{1, TimeSlot{2, 8, 0, 500}}, {2, on(8, 0, 50)}}), {}},
        {"volumes in slot order", dayOf({{9, on(7, 0, -1)}, {4, on(6, 0, 101)}}), {{Vol, {4}}, {Vol, {9}}}},
        {"disabled loud slot is no fault", dayOf({{1, off(8, 0, 500)}}), {}},
        {"both kinds: times first", dayOf({{1, on(8, 0, 50)}, {2, on(8, 0, 120)}}),
         {{Dup, {1, 2}}, {Vol, {2}}}},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(dayFaults(r.day), r.faults) << r.what;
        // The indicator follows the same faults: the volume rule wins.
        DayCheckResult shown = DayCheckResult::None;
        for (const DayFault& f : r.faults) shown = shown == Vol ? Vol : f.kind;
        EXPECT_EQ(checkDayPlan(r.day), shown) << r.what;
    }
}

TEST(DayFaults, IndicatorMessages) {
    EXPECT_EQ(dayCheckMessage(Dup), "Задано несколько, одинаковых, временных интервалов");
    EXPECT_EQ(dayCheckMessage(Vol), "Уровень громкости вне диапазона 0..100%");
    EXPECT_EQ(dayCheckMessage(DayCheckResult::None), "");
}

TEST(DayFaults, EveryDayOfTheDocument) {
    ScheduleDocument doc;
    doc.currentDay = 1;  // the day shown is clean; the others still count
    doc.slot(2, 1) = on(8, 0, 50);
    doc.slot(2, 2) = on(8, 0, 50);
    doc.slot(7, 12) = on(23, 59, 200);
    doc.slot(7, 1) = on(23, 59, 10);
    const std::vector<DocumentFault> expected = {
        {2, {Dup, {1, 2}}},
        {7, {Dup, {1, 12}}},
        {7, {Vol, {12}}},
    };
    EXPECT_EQ(documentFaults(doc), expected);
    EXPECT_TRUE(documentFaults(ScheduleDocument{}).empty());
}

}  // namespace
}  // namespace zave
