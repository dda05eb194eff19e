#include <QListWidget>
#include <QPushButton>

#include "app/copy_day_dialog.h"
#include "app_fixture.h"

using namespace apptest;

TEST_F(AppTest, TypedVolumeIsStoredByTheNumberRuleAndLeftAsTyped) {
    clickBox(enabledBox(3));
    ASSERT_TRUE(volumeField(3)->isEnabled());
    ASSERT_TRUE(picker(3)->isEnabled());
    EXPECT_EQ(window->document().slot(1, 3).enabled, 1);

    typeInto(volumeField(3), "abc");
    EXPECT_EQ(window->document().slot(1, 3).volume, 0);
    EXPECT_EQ(volumeField(3)->text(), "abc");

    typeInto(volumeField(3), "12abc");
    EXPECT_EQ(window->document().slot(1, 3).volume, 12);
    EXPECT_EQ(volumeField(3)->text(), "12abc");

    // A picker change of the day commits and redraws every slot.
    stepHours(picker(3), 1);
    EXPECT_EQ(picker(3)->text(), "01:00");
    EXPECT_EQ(window->document().slot(1, 3).hour, 1);
    EXPECT_EQ(volumeField(3)->text(), "12");
}

TEST_F(AppTest, DuplicateTimesLockTheDayUntilOneSlotIsUnticked) {
    clickBox(enabledBox(1));
    clickBox(enabledBox(2));
    stepHours(picker(1), 8);
    EXPECT_TRUE(find<QWidget>("daySelector")->isEnabled()) << "08:00 and 00:00 differ";
    stepHours(picker(2), 8);
    EXPECT_TRUE(find<QWidget>("duplicateTimesIndicator")->isVisible());
    EXPECT_FALSE(find<QWidget>("volumeRangeIndicator")->isVisible());
    EXPECT_FALSE(find<QWidget>("daySelector")->isEnabled());
    EXPECT_FALSE(find<QWidget>("copyDayButton")->isEnabled());

    // A click on the indicator explains it.
    QTest::mouseClick(find<QWidget>("duplicateTimesIndicator"), Qt::LeftButton);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "Ошибка!");
    EXPECT_EQ(boxes.shown[0].text, "Задано несколько, одинаковых, временных интервалов");
    EXPECT_EQ(boxes.shown[0].icon, zave::MessageIcon::Warning);

    clickBox(enabledBox(2));
    EXPECT_FALSE(find<QWidget>("duplicateTimesIndicator")->isVisible());
    EXPECT_TRUE(find<QWidget>("daySelector")->isEnabled());
    EXPECT_TRUE(find<QWidget>("copyDayButton")->isEnabled());
    // The unticked slot keeps its values, greyed.
    EXPECT_EQ(window->document().slot(1, 2).hour, 8);
    EXPECT_FALSE(picker(2)->isEnabled());
    EXPECT_FALSE(volumeField(2)->isEnabled());
}

TEST_F(AppTest, VolumeFaultHidesTheDuplicateIndicatorAndKeepsTheLock) {
    clickBox(enabledBox(1));
    clickBox(enabledBox(2));
    typeInto(volumeField(1), "120");
    EXPECT_TRUE(find<QWidget>("volumeRangeIndicator")->isVisible());
    EXPECT_FALSE(find<QWidget>("duplicateTimesIndicator")->isVisible()) << "volume fault wins";
    EXPECT_FALSE(find<QWidget>("daySelector")->isEnabled());
    QTest::mouseClick(find<QWidget>("volumeRangeIndicator"), Qt::LeftButton);
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_EQ(boxes.shown.back().text, "Уровень громкости вне диапазона 0..100%");

    typeInto(volumeField(1), "100");
    EXPECT_FALSE(find<QWidget>("volumeRangeIndicator")->isVisible());
    EXPECT_TRUE(find<QWidget>("duplicateTimesIndicator")->isVisible()) << "both slots still at 00:00";
    EXPECT_FALSE(find<QWidget>("daySelector")->isEnabled());
}

TEST_F(AppTest, DaySwitchShowsTheOtherDayWithItsDisabledSlotsGreyed) {
    window->document().slot(2, 5) = {1, 7, 5, 40};
    window->document().slot(2, 6) = {0, 9, 30, 70};
    clickBox(enabledBox(1));
    typeInto(volumeField(1), "55");
    chooseDay(find<QComboBox>("daySelector"), 2);
    EXPECT_EQ(window->document().currentDay, 2);
    EXPECT_TRUE(enabledBox(5)->isChecked());
    EXPECT_EQ(picker(5)->text(), "07:05");
    EXPECT_EQ(volumeField(5)->text(), "40");
    EXPECT_TRUE(picker(5)->isEnabled());
    EXPECT_FALSE(enabledBox(6)->isChecked());
    EXPECT_EQ(picker(6)->text(), "09:30");
    EXPECT_FALSE(picker(6)->isEnabled());
    EXPECT_FALSE(volumeField(6)->isEnabled());
    EXPECT_FALSE(enabledBox(1)->isChecked());

    chooseDay(find<QComboBox>("daySelector"), 1);
    EXPECT_TRUE(enabledBox(1)->isChecked());
    EXPECT_EQ(volumeField(1)->text(), "55");
    EXPECT_EQ(window->document().slot(1, 1).volume, 55);
}

TEST_F(AppTest, StoredTimeOutsideTheClockSurvivesRefreshAndDaySwitch) {
    window->document().slot(1, 4) = {1, 72, 75, 10};
    window->refreshEditor();
    EXPECT_EQ(picker(4)->text(), "23:59");
    chooseDay(find<QComboBox>("daySelector"), 3);
    chooseDay(find<QComboBox>("daySelector"), 1);
    EXPECT_EQ(window->document().slot(1, 4).hour, 72);
    EXPECT_EQ(window->document().slot(1, 4).minute, 75);
    // A volume edit of the day keeps it too; only a picker change stores what the pickers show.
    typeInto(volumeField(4), "11");
    EXPECT_EQ(window->document().slot(1, 4).hour, 72);
    clickBox(enabledBox(1));
    stepHours(picker(1), 2);
    EXPECT_EQ(window->document().slot(1, 4).hour, 23);
    EXPECT_EQ(window->document().slot(1, 4).minute, 59);
}

// The field shows the editor's correction and keeps a text it accepts as typed.
TEST_F(AppTest, PulseFieldShowsTheCorrectionOrTheTypedText) {
    auto* field = find<QLineEdit>("pulseSwitchTimeField");
    struct Row { const char* typed; const char* shown; };
    for (const Row& r : {Row{"0", "11"}, Row{"12x", "12x"}}) {
        SCOPED_TRACE(r.typed);
        typeInto(field, r.typed);
        EXPECT_EQ(field->text(), r.shown);
        EXPECT_EQ(window->document().pulseSwitchTime, r.shown);
    }
}

TEST_F(AppTest, ProgramChangesToControlsRaiseNoReaction) {
    // Refresh from a document with an enabled slot: nothing typed, so nothing stored back.
    window->document().slot(1, 1) = {1, 13, 10, 200};
    window->refreshEditor();
    EXPECT_EQ(window->document().slot(1, 1), (zave::TimeSlot{1, 13, 10, 200}));
    EXPECT_TRUE(find<QWidget>("volumeRangeIndicator")->isVisible());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(AppTest, CopyMondayOntoTuesdayToFriday) {
    clickBox(enabledBox(1));
    stepHours(picker(1), 8);
    typeInto(volumeField(1), "50");
    clickBox(enabledBox(12));
    typeInto(volumeField(12), "75");
    window->document().slot(6, 1) = {1, 6, 6, 6};
    const zave::DayPlan monday = window->document().day(1);
    const zave::DayPlan saturday = window->document().day(6);
    const zave::DayPlan sunday = window->document().day(7);

    QTest::mouseClick(find<QPushButton>("copyDayButton"), Qt::LeftButton);
    CopyDayDialog* dialog = window->copyDayDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(window->isEnabled());
    auto* source = dialog->findChild<QListWidget*>("copySourceList");
    auto* target = dialog->findChild<QListWidget*>("copyTargetList");
    ASSERT_TRUE(source && target);

    // Missing selections: the message, and the dialog stays open with its selections.
    QTest::mouseClick(dialog->findChild<QPushButton*>("copyButton"), Qt::LeftButton);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "Ошибка!");
    EXPECT_EQ(boxes.shown[0].text, "В списке не выделены пункты.");
    EXPECT_EQ(window->copyDayDialog(), dialog);

    QTest::mouseClick(source->viewport(), Qt::LeftButton, {}, source->visualItemRect(source->item(0)).center());
    QTest::mouseClick(dialog->findChild<QPushButton*>("copyArrowButton"), Qt::LeftButton);
    ASSERT_EQ(boxes.shown.size(), 2u) << "a source without targets is refused too";
    EXPECT_EQ(window->copyDayDialog(), dialog);
    EXPECT_EQ(dialog->selectedSource(), 1);

    QTest::mouseClick(target->viewport(), Qt::LeftButton, {}, target->visualItemRect(target->item(1)).center());
    QTest::mouseClick(target->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      target->visualItemRect(target->item(4)).center());
    ASSERT_EQ(dialog->selectedTargets(), (std::vector<int>{2, 3, 4, 5}));
    QTest::mouseClick(dialog->findChild<QPushButton*>("copyButton"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    EXPECT_EQ(window->copyDayDialog(), nullptr);
    EXPECT_TRUE(window->isEnabled());
    for (int d = 2; d <= 5; ++d) EXPECT_EQ(window->document().day(d), monday) << d;
    EXPECT_EQ(window->document().day(6), saturday);
    EXPECT_EQ(window->document().day(7), sunday);
    EXPECT_EQ(window->document().day(1), monday);
}

TEST_F(AppTest, CopyOntoTheDayShownRedrawsAndCancelChangesNothing) {
    window->document().slot(4, 2) = {1, 10, 0, 100};
    QTest::mouseClick(find<QPushButton>("copyDayButton"), Qt::LeftButton);
    CopyDayDialog* dialog = window->copyDayDialog();
    ASSERT_NE(dialog, nullptr);
    QTest::mouseClick(dialog->findChild<QPushButton*>("copyCancelButton"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->copyDayDialog(), nullptr);
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(window->document().slot(1, 2), zave::TimeSlot{});

    QTest::mouseClick(find<QPushButton>("copyDayButton"), Qt::LeftButton);
    dialog = window->copyDayDialog();
    ASSERT_NE(dialog, nullptr);
    auto* source = dialog->findChild<QListWidget*>("copySourceList");
    auto* target = dialog->findChild<QListWidget*>("copyTargetList");
    QTest::mouseClick(source->viewport(), Qt::LeftButton, {}, source->visualItemRect(source->item(3)).center());
    QTest::mouseClick(target->viewport(), Qt::LeftButton, {}, target->visualItemRect(target->item(0)).center());
    QTest::mouseClick(dialog->findChild<QPushButton*>("copyArrowButton"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->copyDayDialog(), nullptr);
    EXPECT_TRUE(enabledBox(2)->isChecked());
    EXPECT_EQ(picker(2)->text(), "10:00");
    EXPECT_EQ(volumeField(2)->text(), "100");
    EXPECT_TRUE(picker(2)->isEnabled());

    // Its close box gives the window back without copying.
    QTest::mouseClick(find<QPushButton>("copyDayButton"), Qt::LeftButton);
    dialog = window->copyDayDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->copyDayDialog(), nullptr);
    EXPECT_TRUE(window->isEnabled());
}
