// The week-plan editor's rules, without a window: what it stores, what it
// tells its views, the day check and copying days.
#include <gtest/gtest.h>

#include "app/week_plan_editor.h"
#include "recording_views.h"

namespace {

using zave::DayCheckResult;

class WeekPlanEditorTest : public ::testing::Test {
protected:
    void SetUp() override { zave::resetDocument(doc); }
    zave::ScheduleDocument doc;
    RecordingViews views;
    WeekPlanEditor editor{doc, views, views};
};

TEST_F(WeekPlanEditorTest, StoreDayTakesEveryControlOfTheDayShownAndRedraws) {
    editor.showDay(3);
    std::array<SlotEntry, zave::kSlotCount> entries{};
    for (int i = 0; i < zave::kSlotCount; ++i) entries[size_t(i)] = {i % 2 == 0, 7, 5 + i, "40"};
    entries[11].volumeText = "x";  // not a number: read as 0
    const int before = views.redraws;
    editor.storeDay(entries);
    EXPECT_EQ(doc.slot(3, 1), (zave::TimeSlot{1, 7, 5, 40}));
    EXPECT_EQ(doc.slot(3, 2), (zave::TimeSlot{0, 7, 6, 40}));
    EXPECT_EQ(doc.slot(3, 12), (zave::TimeSlot{0, 7, 16, 0}));
    EXPECT_EQ(doc.slot(1, 1), (zave::TimeSlot{}));  // other days untouched
    EXPECT_EQ(views.redraws, before + 1);
    EXPECT_EQ(views.slots[1].minute, 6);
    EXPECT_EQ(views.slots[11].volume, 0);  // the redraw shows what was stored
}

TEST_F(WeekPlanEditorTest, ATimeOutsideTheClockShowsClampedButIsKept) {
    doc.slot(2, 4) = {1, 72, 75, 10};
    editor.showDay(2);
    EXPECT_EQ(views.slots[3].hour, 23);
    EXPECT_EQ(views.slots[3].minute, 59);
    EXPECT_TRUE(views.slots[3].enabled);
    EXPECT_EQ(doc.slot(2, 4), (zave::TimeSlot{1, 72, 75, 10}));
    EXPECT_EQ(doc.currentDay, 2);
}

struct CheckCase {
    const char* name;
    std::vector<zave::TimeSlot> slots;  // slots 1.. of the day shown
    DayCheckResult fault;
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }

class WeekPlanDayCheckTest : public WeekPlanEditorTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(WeekPlanDayCheckTest, TheCheckDecidesIndicatorsAndWriting) {
    const CheckCase& c = GetParam();
    for (size_t i = 0; i < c.slots.size(); ++i) doc.slot(1, int(i) + 1) = c.slots[i];
    editor.refresh();
    ASSERT_TRUE(views.shownCheck.has_value());
    EXPECT_EQ(views.shownCheck->fault, c.fault);
    EXPECT_EQ(editor.dayCheck().writable(), c.fault == DayCheckResult::None);
    EXPECT_EQ(editor.dayCheck().duplicateTimes(), c.fault == DayCheckResult::DuplicateTimes);
    EXPECT_EQ(editor.dayCheck().volumeOutOfRange(), c.fault == DayCheckResult::VolumeOutOfRange);
}

INSTANTIATE_TEST_SUITE_P(
    Days, WeekPlanDayCheckTest,
    // One row per outcome; which days give which fault is validation_test's table.
    ::testing::Values(CheckCase{"EmptyDay", {}, DayCheckResult::None},
                      CheckCase{"TwoEnabledSlotsAtOneTime", {{1, 8, 0, 50}, {1, 8, 0, 50}}, DayCheckResult::DuplicateTimes},
                      CheckCase{"VolumeAbove100", {{1, 8, 0, 101}}, DayCheckResult::VolumeOutOfRange}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

TEST_F(WeekPlanEditorTest, EnablingAndVolumeChangesRecheckWithoutRedrawing) {
    editor.refresh();
    const int redraws = views.redraws;
    editor.setSlotEnabled(5, true);
    EXPECT_TRUE(views.enabling[4]);
    EXPECT_EQ(doc.slot(1, 5).enabled, 1);
    editor.setSlotVolume(5, "250");
    EXPECT_EQ(doc.slot(1, 5).volume, 250);
    EXPECT_FALSE(editor.dayCheck().writable());
    editor.setSlotEnabled(5, false);
    EXPECT_FALSE(views.enabling[4]);
    EXPECT_TRUE(editor.dayCheck().writable());
    EXPECT_EQ(views.redraws, redraws);
}

TEST_F(WeekPlanEditorTest, PulseTimeShowsTheCorrectionOrIsStoredAsTyped) {
    struct Row {
        const char* typed;
        std::optional<std::string> shown;  // what replaces the text, if anything
        std::string stored;
    } rows[] = {{"12x", std::nullopt, "12x"}, {"256", "11", "11"}};  // the correction itself: validation_test
    for (const Row& r : rows) {
        SCOPED_TRACE(r.typed);
        views.correctedPulse.reset();
        editor.editPulseSwitchTime(r.typed);
        EXPECT_EQ(views.correctedPulse, r.shown);
        EXPECT_EQ(doc.pulseSwitchTime, r.stored);
    }
}

TEST_F(WeekPlanEditorTest, CopyDaysNeedsASourceAndATarget) {
    doc.slot(2, 1) = {1, 9, 30, 70};
    editor.showDay(4);
    const int redraws = views.redraws;
    EXPECT_FALSE(editor.copyDays(0, {4}));
    EXPECT_FALSE(editor.copyDays(2, {}));
    EXPECT_EQ(doc.slot(4, 1), (zave::TimeSlot{}));
    EXPECT_EQ(views.redraws, redraws);
    EXPECT_TRUE(editor.copyDays(2, {4, 6}));
    EXPECT_EQ(doc.slot(4, 1), (zave::TimeSlot{1, 9, 30, 70}));
    EXPECT_EQ(doc.slot(6, 1), (zave::TimeSlot{1, 9, 30, 70}));
    EXPECT_EQ(views.slots[0].hour, 9);  // the day shown was redrawn
}

TEST_F(WeekPlanEditorTest, ShowDocumentShowsSettingsDayAndSlots) {
    doc.soundType = 3;
    doc.pulseSwitchTime = "42";
    doc.soundDisabled = 1;
    doc.currentDay = 5;
    editor.showDocument();
    EXPECT_EQ(views.selectedDay, 5);
    ASSERT_TRUE(views.sound.has_value());
    EXPECT_EQ(views.sound->soundTypeIndex, 2);
    EXPECT_EQ(views.sound->pulseSwitchTime, "42");
    EXPECT_TRUE(views.sound->soundDisabled);
    doc.soundType = 0;  // outside the list: no item
    editor.showSoundSettings();
    EXPECT_EQ(views.sound->soundTypeIndex, -1);
}

}  // namespace
