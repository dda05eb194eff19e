#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <filesystem>

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

TEST_F(AppTest, NewAsksAndOnlyYesResets) {
    window->document().slot(3, 3) = {1, 3, 3, 3};
    window->document().pulseSwitchTime = "77";
    boxes.answers = {MessageAnswer::No};
    window->runCommand(CommandId::New);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "Создать");
    EXPECT_EQ(boxes.shown[0].text, "Созданная  программа полностью заменит текущую!\nПродолжить?");
    EXPECT_EQ(boxes.shown[0].buttons, zave::MessageButtons::YesNo);
    EXPECT_EQ(window->document().slot(3, 3).hour, 3);

    chooseDay(find<QComboBox>("daySelector"), 3);
    boxes.answers = {MessageAnswer::Yes};
    window->runCommand(CommandId::New);
    EXPECT_EQ(window->document().slot(3, 3), zave::TimeSlot{});
    EXPECT_EQ(window->document().pulseSwitchTime, "10");
    EXPECT_EQ(find<QLineEdit>("pulseSwitchTimeField")->text(), "10");
    EXPECT_EQ(find<QComboBox>("daySelector")->currentIndex(), 0);
    EXPECT_EQ(window->document().currentDay, 1);
}

TEST_F(AppTest, SaveAppliesTheExtensionRuleAndAsksBeforeReplacing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    clickBox(enabledBox(1));
    stepHours(picker(1), 8);
    typeInto(volumeField(1), "50");

    struct Row { const char* typed; const char* saved; };
    const Row rows[] = {{"plan", "plan.ptm"}, {"plan.txt", "plan.txt.ptm"}, {"WEEK.PTM", "WEEK.PTM"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.typed);
        files.saves = {dir.filePath(r.typed)};
        window->runCommand(CommandId::Save);
        EXPECT_TRUE(QFile::exists(dir.filePath(r.saved)));
    }
    EXPECT_TRUE(boxes.shown.empty()) << "new names are saved without a question";
    EXPECT_FALSE(QFile::exists(dir.filePath("plan")));
    EXPECT_FALSE(QFile::exists(dir.filePath("plan.txt")));

    // An existing name: No opens the dialog again, Yes replaces the file.
    const QByteArray before = readAll(dir.filePath("plan.ptm"));
    typeInto(volumeField(1), "60");
    files.saves = {dir.filePath("plan"), dir.filePath("plan")};
    boxes.answers = {MessageAnswer::No, MessageAnswer::Yes};
    const int callsBefore = files.saveCalls;
    window->runCommand(CommandId::Save);
    EXPECT_EQ(files.saveCalls - callsBefore, 2);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].title, "Подтвердить сохранение");
    EXPECT_EQ(boxes.shown[0].text, "plan.ptm уже существует.\nЗаменить?");
    EXPECT_EQ(boxes.shown[0].icon, zave::MessageIcon::Warning);
    const QByteArray after = readAll(dir.filePath("plan.ptm"));
    EXPECT_NE(before, after);
    ASSERT_EQ(after.size(), 383);
    EXPECT_EQ(static_cast<unsigned char>(after[34]), 60);

    // What was saved opens again: the volume and the day shown come back.
    boxes.answers = {MessageAnswer::Yes};
    window->runCommand(CommandId::New);
    files.opens = {dir.filePath("plan.ptm")};
    boxes.answers = {MessageAnswer::Yes};
    window->runCommand(CommandId::Open);
    EXPECT_EQ(window->document().slot(1, 1), (zave::TimeSlot{1, 8, 0, 60}));
    EXPECT_EQ(volumeField(1)->text(), "60");
    EXPECT_TRUE(picker(1)->isEnabled());
}

#ifndef _WIN32
// As zavectl's read: a dangling link is asked about, saved through and kept;
// a link that leads nowhere is refused with its reason.
TEST_F(AppTest, SaveAsksAboutADanglingLinkAndWritesThroughIt) {
    namespace fs = std::filesystem;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const fs::path folder = dir.path().toStdString();
    fs::create_directory(folder / "term");
    fs::create_symlink("term/plan.ptm", folder / "link.ptm");
    fs::create_symlink("loop.ptm", folder / "loop.ptm");

    files.saves = {dir.filePath("link.ptm")};
    boxes.answers = {MessageAnswer::Yes};
    window->runCommand(CommandId::Save);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "link.ptm уже существует.\nЗаменить?");
    EXPECT_TRUE(fs::is_symlink(folder / "link.ptm"));
    EXPECT_EQ(readAll(dir.filePath("term/plan.ptm")).size(), 383);

    files.saves = {dir.filePath("loop.ptm")};
    boxes.answers = {MessageAnswer::Yes, MessageAnswer::Ok};
    window->runCommand(CommandId::Save);
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(boxes.shown[2].title, "Ошибка");
    EXPECT_EQ(boxes.shown[2].text,
              "При записи произошла ошибка.\nФайл сохранить не удалось.\nСимволическая ссылка ведёт по кругу.\n");
    EXPECT_TRUE(fs::is_symlink(folder / "loop.ptm"));
}
#endif

TEST_F(AppTest, OpenShowsTheStoredDayAndSettingsAndRefusesBadFiles) {
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
    EXPECT_TRUE(window->documentIsWritable());
    chooseDay(find<QComboBox>("daySelector"), 2);
    EXPECT_TRUE(find<QWidget>("duplicateTimesIndicator")->isVisible());
    EXPECT_FALSE(find<QWidget>("daySelector")->isEnabled());

    // Refusals leave the document as it was.
    const zave::ScheduleDocument before = window->document();
    QFile bad(dir.filePath("bad.ptm"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("Wersia 3.00 unic\r\n");
    bad.close();
    boxes.shown.clear();
    boxes.answers = {MessageAnswer::Yes};
    files.opens = {bad.fileName()};
    window->runCommand(CommandId::Open);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].title, "Ошибка");
    EXPECT_EQ(boxes.shown[1].text, "Формат файла не поддерживается");
    EXPECT_EQ(window->document(), before);

    boxes.shown.clear();
    boxes.answers = {MessageAnswer::Yes};
    files.opens = {dir.filePath("missing.ptm")};
    window->runCommand(CommandId::Open);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, "При чтении произошла ошибка.\nФайл открыть не удалось.\n\n");
    EXPECT_EQ(window->document(), before);
    EXPECT_FALSE(QFile::exists(dir.filePath("missing.ptm")));
}

TEST_F(AppTest, AFailedSaveSaysSoAndKeepsTheOldFile) {
    QTemporaryDir dir;
    // The chosen name is an existing folder: the file cannot be replaced.
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.ptm"));
    files.saves = {dir.filePath("taken.ptm")};
    boxes.answers = {MessageAnswer::Yes};
    window->runCommand(CommandId::Save);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].title, "Ошибка");
    EXPECT_EQ(boxes.shown[1].text, "При записи произошла ошибка.\nФайл сохранить не удалось.\n");
    EXPECT_TRUE(QFileInfo(dir.filePath("taken.ptm")).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 0) << "no temporary file is left behind";
}
