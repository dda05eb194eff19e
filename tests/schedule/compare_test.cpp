#include "schedule/compare.h"

#include <gtest/gtest.h>

namespace zave {
namespace {

using K = DifferenceKind;

TEST(CompareDocuments, Table) {
    struct Row {
        const char* what;
        void (*change)(ScheduleDocument&);
        std::vector<DocumentDifference> expected;
    };
    const Row rows[] = {
        {"equal", [](ScheduleDocument&) {}, {}},
        {"day shown is not compared", [](ScheduleDocument& d) { d.currentDay = 5; }, {}},
        {"enabled", [](ScheduleDocument& d) { d.slot(1, 1).enabled = 1; }, {{K::Slot, 1, 1}}},
        {"hour", [](ScheduleDocument& d) { d.slot(3, 4).hour = 7; }, {{K::Slot, 3, 4}}},
        {"minute", [](ScheduleDocument& d) { d.slot(7, 12).minute = 59; }, {{K::Slot, 7, 12}}},
        {"volume of a disabled slot", [](ScheduleDocument& d) { d.slot(2, 6).volume = 30; }, {{K::Slot, 2, 6}}},
        {"slots in day and slot order",
         [](ScheduleDocument& d) {
             d.slot(5, 1).hour = 1;
             d.slot(1, 9).hour = 1;
             d.slot(1, 2).hour = 1;
         },
         {{K::Slot, 1, 2}, {K::Slot, 1, 9}, {K::Slot, 5, 1}}},
        {"settings after slots",
         [](ScheduleDocument& d) {
             d.soundDisabled = 1;
             d.pulseSwitchTime = "010";  // the text counts, not the number
             d.soundType = 3;
             d.slot(6, 6).volume = 1;
         },
         {{K::Slot, 6, 6}, {K::SoundType}, {K::PulseSwitchTime}, {K::SoundDisabled}}},
    };
    for (const Row& r : rows) {
        ScheduleDocument a, b;
        r.change(b);
        EXPECT_EQ(compareDocuments(a, b), r.expected) << r.what;
        EXPECT_EQ(compareDocuments(b, a), r.expected) << r.what << " (reversed)";
    }
}

}  // namespace
}  // namespace zave
