// The document commands' questions and what each answer does, without a
// window; the window's own test keeps the menu path and the files' bytes.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <filesystem>

#include "app/document_controller.h"
#include "app_fixture.h"
#include "recording_views.h"
#include "schedule/ptm_codec.h"

namespace {

using zave::MessageAnswer;

class DocumentControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        zave::resetDocument(doc);
        doc.slot(2, 1) = {1, 8, 0, 50};
    }
    zave::ScheduleDocument doc;
    RecordingViews views;
    WeekPlanEditor editor{doc, views, views};
    zave::testing::FakeMessageBoxes boxes;
    apptest::FakeFileDialogs files;
    DocumentController documents{editor, boxes, files};
};

TEST_F(DocumentControllerTest, OnlyYesReplacesTheDocument) {
    const char* kNewQuestion = "Созданная  программа полностью заменит текущую!\nПродолжить?";
    const char* kOpenQuestion = "Загруженная программа полностью заменит текущую!\nПродолжить?";
    struct Row {
        const char* what;
        void (DocumentController::*command)();
        MessageAnswer answer;
        int dialogs;     // file dialogs opened
        bool replaced;   // the document was reset or read
        const char* title;
        const char* question;
    } rows[] = {
        {"New, No", &DocumentController::newDocument, MessageAnswer::No, 0, false, "Создать", kNewQuestion},
        {"New, Yes", &DocumentController::newDocument, MessageAnswer::Yes, 0, true, "Создать", kNewQuestion},
        {"Open, No", &DocumentController::openDocument, MessageAnswer::No, 0, false, "Чтение файла", kOpenQuestion},
        {"Open, Yes, dialog cancelled", &DocumentController::openDocument, MessageAnswer::Yes, 1, false,
         "Чтение файла", kOpenQuestion},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        SetUp();
        files.openCalls = 0;
        views.selectedDay = 0;
        boxes.shown.clear();
        boxes.answers = {r.answer};
        (documents.*r.command)();
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].title, r.title);
        EXPECT_EQ(boxes.shown[0].text, r.question);
        EXPECT_EQ(boxes.shown[0].buttons, zave::MessageButtons::YesNo);
        EXPECT_EQ(boxes.shown[0].icon, zave::MessageIcon::Warning);
        EXPECT_EQ(files.openCalls, r.dialogs);
        EXPECT_EQ(doc.slot(2, 1) == zave::TimeSlot{}, r.replaced);
        EXPECT_EQ(views.selectedDay, r.replaced ? 1 : 0);  // a replaced document is shown from its day
    }
}

TEST_F(DocumentControllerTest, AFileThatCannotBeReadIsReportedAndChangesNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto fileWith = [&](const char* name, const char* bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    struct Row {
        const char* what;
        QString path;
        const char* message;
    } rows[] = {
        {"another format", fileWith("other.ptm", "Wersia 3.00 unic\r\n"), "Формат файла не поддерживается"},
        {"no such file", dir.filePath("missing.ptm"), "При чтении произошла ошибка.\nФайл открыть не удалось.\n\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        doc.currentDay = 4;
        const zave::ScheduleDocument before = doc;
        views.selectedDay = 0;
        boxes.shown.clear();
        boxes.answers = {MessageAnswer::Yes};
        files.opens = {r.path};
        documents.openDocument();
        ASSERT_EQ(boxes.shown.size(), 2u);
        EXPECT_EQ(boxes.shown[1].title, "Ошибка");
        EXPECT_EQ(boxes.shown[1].text, r.message);
        EXPECT_EQ(boxes.shown[1].buttons, zave::MessageButtons::Ok);
        EXPECT_EQ(doc, before);
        EXPECT_EQ(views.selectedDay, 4);  // the document kept is shown again
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("missing.ptm")));
}

TEST_F(DocumentControllerTest, AFailedSaveSaysSoAndLeavesNoFileBehind) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The chosen name is an existing folder: the file cannot be replaced.
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.ptm"));
    files.saves = {dir.filePath("taken.ptm")};
    boxes.answers = {MessageAnswer::Yes};
    documents.saveDocument();
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].title, "Ошибка");
    EXPECT_EQ(boxes.shown[1].text, "При записи произошла ошибка.\nФайл сохранить не удалось.\n");
    EXPECT_TRUE(QFileInfo(dir.filePath("taken.ptm")).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 0) << "no temporary file is left behind";
}

#ifndef _WIN32
// As zavectl's read: a dangling link is asked about, saved through and kept;
// a link that leads nowhere is refused with its reason.
TEST_F(DocumentControllerTest, SaveAsksAboutADanglingLinkAndWritesThroughIt) {
    namespace fs = std::filesystem;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const fs::path folder = dir.path().toStdString();
    fs::create_directory(folder / "term");
    fs::create_symlink("term/plan.ptm", folder / "link.ptm");
    fs::create_symlink("loop.ptm", folder / "loop.ptm");

    files.saves = {dir.filePath("link.ptm")};
    boxes.answers = {MessageAnswer::Yes};
    documents.saveDocument();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "link.ptm уже существует.\nЗаменить?");
    EXPECT_TRUE(fs::is_symlink(folder / "link.ptm"));
    zave::ScheduleDocument back;
    ASSERT_EQ(zave::readDocumentFile((folder / "term/plan.ptm").string(), back), zave::DocumentReadStatus::Ok);
    EXPECT_EQ(back.slot(2, 1), (zave::TimeSlot{1, 8, 0, 50}));

    files.saves = {dir.filePath("loop.ptm")};
    boxes.answers = {MessageAnswer::Yes, MessageAnswer::Ok};
    documents.saveDocument();
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(boxes.shown[2].title, "Ошибка");
    EXPECT_EQ(boxes.shown[2].text,
              "При записи произошла ошибка.\nФайл сохранить не удалось.\nСимволическая ссылка ведёт по кругу.\n");
    EXPECT_TRUE(fs::is_symlink(folder / "loop.ptm"));
}
#endif

TEST_F(DocumentControllerTest, SaveAsksAgainUntilAReplaceIsConfirmed) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString taken = dir.filePath("taken.ptm");
    QFile f(taken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old");
    f.close();
    // "taken" (the extension is added) is refused once, then confirmed.
    files.saves = {dir.filePath("taken"), taken};
    boxes.answers = {MessageAnswer::No, MessageAnswer::Yes};
    documents.saveDocument();
    EXPECT_EQ(files.saveCalls, 2);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].title, "Подтвердить сохранение");
    EXPECT_EQ(boxes.shown[0].text, "taken.ptm уже существует.\nЗаменить?");
    zave::ScheduleDocument back;
    ASSERT_EQ(zave::readDocumentFile(taken.toStdString(), back), zave::DocumentReadStatus::Ok);
    EXPECT_EQ(back.slot(2, 1), (zave::TimeSlot{1, 8, 0, 50}));
}

}  // namespace
