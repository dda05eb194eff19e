#include <QFile>
#include <QTemporaryDir>

#include "app_fixture.h"
#include "schedule/ptm_codec.h"

using namespace apptest;
using zave::MessageAnswer;

namespace {
QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}  // namespace

// Save and Open through the menu: the name gets its extension, the file holds
// what was typed and opens again into the controls.
TEST_F(AppTest, SaveThenOpenBringsTheTypedDayBack) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    clickBox(enabledBox(1));
    stepHours(picker(1), 8);
    typeInto(volumeField(1), "60");
    files.saves = {dir.filePath("plan")};
    window->runCommand(CommandId::Save);
    EXPECT_TRUE(boxes.shown.empty()) << "a new name is saved without a question";
    EXPECT_FALSE(QFile::exists(dir.filePath("plan")));
    const QByteArray saved = readAll(dir.filePath("plan.ptm"));
    ASSERT_EQ(saved.size(), 383);
    EXPECT_EQ(static_cast<unsigned char>(saved[34]), 60);

    boxes.answers = {MessageAnswer::Yes};
    window->runCommand(CommandId::New);
    EXPECT_EQ(volumeField(1)->text(), "0");
    EXPECT_FALSE(picker(1)->isEnabled());
    files.opens = {dir.filePath("plan.ptm")};
    boxes.answers = {MessageAnswer::Yes};
    window->runCommand(CommandId::Open);
    EXPECT_EQ(window->document().slot(1, 1), (zave::TimeSlot{1, 8, 0, 60}));
    EXPECT_EQ(picker(1)->text(), "08:00");
    EXPECT_EQ(volumeField(1)->text(), "60");
    EXPECT_TRUE(picker(1)->isEnabled());
}

TEST_F(AppTest, OpenShowsTheStoredDayAndSettings) {
    QTemporaryDir dir;
    zave::ScheduleDocument stored;
    zave::resetDocument(stored);
    stored.currentDay = 3;
    stored.soundType = 2;
    stored.soundDisabled = 1;
    stored.pulseSwitchTime = "25";
    stored.slot(3, 7) = {1, 13, 10, 99};
    stored.slot(2, 1) = {1, 9, 0, 10};
    stored.slot(2, 2) = {1, 9, 0, 20};  // Tuesday has a fault, not shown
    const QString path = dir.filePath("week.ptm");
    ASSERT_TRUE(zave::writeDocumentFile(path.toStdString(), stored));

    boxes.answers = {MessageAnswer::Yes};
    files.opens = {path};
    window->runCommand(CommandId::Open);
    EXPECT_EQ(find<QComboBox>("daySelector")->currentText(), QString::fromUtf8("Среда"));
    EXPECT_EQ(picker(7)->text(), "13:10");
    EXPECT_EQ(find<QComboBox>("soundTypeSelector")->currentIndex(), 1);
    EXPECT_TRUE(find<QCheckBox>("soundDisabledBox")->isChecked());
    EXPECT_EQ(find<QLineEdit>("pulseSwitchTimeField")->text(), "25");
    EXPECT_FALSE(find<QWidget>("duplicateTimesIndicator")->isVisible());
    chooseDay(find<QComboBox>("daySelector"), 2);
    EXPECT_TRUE(find<QWidget>("duplicateTimesIndicator")->isVisible());
    EXPECT_FALSE(find<QWidget>("daySelector")->isEnabled());
}
