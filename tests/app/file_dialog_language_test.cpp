// Qt's own open and save dialogs speak Russian, while their titles and the
// filter stay as the program words them.
#include <QAbstractButton>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QRegularExpression>
#include <QToolButton>
#include <QWidget>

#include "app/file_dialogs.h"
#include "app_fixture.h"
#include "modal_answerers.h"
#include "text_fit.h"

using namespace apptest;

namespace {

struct SeenText {
    QString where;  // object name, and what of it
    QString text;
};

// The texts an operator reads in the dialog: its labels, the captions of its
// buttons, the tooltips of its tool buttons.
std::vector<SeenText> dialogTexts(QFileDialog* dialog) {
    std::vector<SeenText> seen;
    for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
        if (auto* label = dialog->findChild<QLabel*>(name)) seen.push_back({name, label->text()});
    if (auto* box = dialog->findChild<QDialogButtonBox*>("buttonBox"))
        for (QAbstractButton* b : box->buttons()) seen.push_back({"buttonBox button", b->text()});
    for (const char* name : {"backButton", "forwardButton", "toParentButton", "newFolderButton", "listModeButton",
                             "detailModeButton"})
        if (auto* b = dialog->findChild<QToolButton*>(name)) seen.push_back({QString(name) + " tooltip", b->toolTip()});
    return seen;
}

}  // namespace

TEST_F(AppTest, TheOpenAndSaveDialogsSpeakRussian) {
    struct Row {
        const char* what;
        std::function<std::optional<QString>(QtFileDialogs&)> open;
        const char* title;
        const char* acceptCaption;
    };
    const Row rows[] = {
        {"open", [](QtFileDialogs& d) { return d.openFile(); }, "Открыть", "Открыть"},
        {"save", [](QtFileDialogs& d) { return d.saveFile(); }, "Сохранить", "Сохранить"},
    };
    const QRegularExpression cyrillic(QStringLiteral("\\p{Cyrillic}"));
    const QRegularExpression latinWord(QStringLiteral("[A-Za-z]{2,}"));
    QtFileDialogs dialogs(window.get());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        QString title;
        QStringList filters;
        std::vector<SeenText> seen;
        int measured = 0;
        DialogAnswerer answerer([&](QFileDialog* d) {
            title = d->windowTitle();
            filters = d->nameFilters();
            seen = dialogTexts(d);
            measured = expectTextsFit(d->findChild<QDialogButtonBox*>("buttonBox"));
            d->reject();
        });
        EXPECT_FALSE(row.open(dialogs).has_value());
        EXPECT_EQ(title, QString::fromUtf8(row.title));
        EXPECT_EQ(filters, QStringList{QString::fromUtf8("Файлы (*.ptm)")});
        ASSERT_GE(seen.size(), 11u) << "the dialog is Qt's own, with its labels, buttons and tool buttons";
        for (const SeenText& s : seen) {
            SCOPED_TRACE(s.where.toStdString());
            EXPECT_TRUE(s.text.contains(cyrillic)) << "\"" << s.text.toStdString() << "\" is not Russian";
            EXPECT_FALSE(s.text.contains(latinWord)) << "\"" << s.text.toStdString() << "\" is not Russian";
        }
        EXPECT_GE(measured, 2) << "both buttons measured";
        QStringList captions;
        for (const SeenText& s : seen)
            if (s.where == "buttonBox button") captions << QString(s.text).remove(QChar('&'));
        EXPECT_TRUE(captions.contains(QString::fromUtf8(row.acceptCaption)))
            << captions.join('|').toStdString();
        EXPECT_TRUE(captions.contains(QString::fromUtf8("Отмена"))) << captions.join('|').toStdString();
    }
}
