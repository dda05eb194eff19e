// The faults of a day slot by slot, the messages behind the indicators and
// the faults of a whole document.
#include <gtest/gtest.h>

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
