// Every text of every window shows whole at the program's own font, in the
// sizes the layout gives its controls.
#include <QFont>
#include <QRawFont>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "app/about_window.h"
#include "app/copy_day_dialog.h"
#include "app/progress_window.h"
#include "app/qt_message_boxes.h"
#include "app_fixture.h"
#include "device/clock.h"
#include "modal_answerers.h"
#include "text_fit.h"

using namespace apptest;

namespace {

QString u(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

TEST_F(AppTest, EveryTextOfTheMainWindowShowsWhole) {
    // Captions, the three lists' items, the slot fields and pickers, the tab.
    EXPECT_GT(expectTextsFit(window.get()), 200);
    EXPECT_EQ(QApplication::font().family(), window->font().family()) << "no control sets its own font";
}

// What the fit tests measure is what the operator sees only if the window
// gets the font it asks for, not a fallback (the Windows build brings it
// along; the Windows test run offers the system no condensed face).
TEST_F(AppTest, TheWindowsTextsAreDrawnInDejaVuSansCondensed) {
    for (QWidget* w : {static_cast<QWidget*>(window.get()), static_cast<QWidget*>(find<QLineEdit>("slotVolumeField1"))}) {
        const QRawFont face = QRawFont::fromFont(w->font());
        ASSERT_TRUE(face.isValid());
        const QString name = face.familyName() + ' ' + face.styleName();
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(face.familyName().startsWith("DejaVu Sans"));
        EXPECT_TRUE(name.contains("Condensed"));
        EXPECT_FALSE(name.contains("Mono") || name.contains("Bold") || name.contains("Oblique"));
    }
}

TEST_F(AppTest, TheSlotFieldsShowTheWidestValuesTheyHold) {
    // Every picker and volume field enabled, with the widest time and volume.
    for (int k = 1; k <= 12; ++k) window->document().slot(1, k) = {1, 23, 58, 100};
    window->document().slot(1, 1) = {1, 0, 0, -100};
    window->refreshEditor();
    for (int k = 1; k <= 12; ++k) ASSERT_TRUE(picker(k)->isEnabled());
    EXPECT_GT(expectTextsFit(window.get()), 200);
    auto* pulse = find<QLineEdit>("pulseSwitchTimeField");
    pulse->setText("255");
    EXPECT_GT(expectTextsFit(pulse), 0);
}

TEST_F(AppTest, TheDateFieldsHoldTheLongestDateTheyCanShow) {
    auto* computer = find<QLineEdit>("computerDateField");
    auto* device = find<QLineEdit>("deviceDateField");
    const QRect room = lineEditTextRoom(computer);
    ASSERT_EQ(room, lineEditTextRoom(device));
    const QFontMetrics fm = computer->fontMetrics();
    // Every weekday with every digit in every place; the date part of a date
    // that is no calendar date reads " 00.00.0000  00:00:00".
    QStringList texts = {u(" Вт. 08.12.2026  10:20:11")};
    for (int weekday = 1; weekday <= 7; ++weekday) {
        for (int digit = 0; digit <= 9; ++digit) {
            const int two = digit * 11, four = digit * 1111;
            texts << u(zave::formatClockText(weekday, {four, two, two, two, two, two, 0}));
        }
    }
    for (const QString& text : texts) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_LE(fm.horizontalAdvance(text), room.width());
    }
    // The tick writes such a text into the field.
    clock.time = {2026, 12, 8, 10, 20, 11, 2};
    window->statusTick();
    EXPECT_EQ(computer->text(), u("Вт. 08.12.2026  10:20:11"));
    EXPECT_GT(expectTextsFit(computer), 0);
}

TEST_F(AppTest, EveryTextOfTheSecondaryWindowsShowsWhole) {
    CopyDayDialog copyDay(window.get());
    AboutWindow about(window.get());
    ProgressWindow progress(window.get());
    struct Row {
        QWidget* window;
        int texts;  // at least this many measured
    };
    for (const Row& row : {Row{&copyDay, 17}, Row{&about, 9}, Row{&progress, 1}}) {
        SCOPED_TRACE(row.window->objectName().toStdString());
        row.window->show();
        QApplication::processEvents();
        EXPECT_GE(expectTextsFit(row.window), row.texts);
        row.window->hide();
    }
}

TEST_F(AppTest, TheCopyDayHintShrinksAnyLargerFontUntilItFits) {
    struct Row {
        const char* what;
        QFont font;
        bool tooWide;  // the hint at this font is wider than its label
    };
    QFont pixels("DejaVu Sans");
    pixels.setPixelSize(14);
    QFont points("DejaVu Sans");
    points.setPointSizeF(12);
    // The font of the desktop the dialog opens on, put back afterwards.
    struct FontGuard {
        QFont saved = QApplication::font();
        ~FontGuard() { QApplication::setFont(saved); }
    } guard;
    for (const Row& row : {Row{"the program's own", guard.saved, false}, Row{"14 px", pixels, true},
                           Row{"12 pt", points, true}}) {
        SCOPED_TRACE(row.what);
        QApplication::setFont(row.font);
        CopyDayDialog dialog(window.get());
        auto* hint = dialog.findChild<QLabel*>("copyHint");
        ASSERT_NE(hint, nullptr);
        EXPECT_EQ(QFontMetrics(row.font).horizontalAdvance(hint->text()) > hint->width(), row.tooWide);
        EXPECT_LE(hint->fontMetrics().horizontalAdvance(hint->text()), hint->contentsRect().width());
        EXPECT_EQ(hint->text(), u("Для выбора нескольких пунктов,удерживайте CTRL"));
    }
}

TEST_F(AppTest, EveryTextOfTheMessageBoxesShowsWhole) {
    struct Row {
        const char* title;
        const char* text;
        zave::MessageButtons buttons;
    };
    const Row rows[] = {
        {"Выход", "Вы действительно хотите выйти из программы?", zave::MessageButtons::YesNo},
        {"Ошибка!", "В списке не выделены пункты.", zave::MessageButtons::Ok},
        {"Ошибка", "При чтении произошла ошибка.\nФайл открыть не удалось.\n\n", zave::MessageButtons::Ok},
        {"Чтение файла", "Загруженная программа полностью заменит текущую!\nПродолжить?",
         zave::MessageButtons::YesNo},
        {"Внимание!", "Устройство не отвечает\nРазорвать связь?", zave::MessageButtons::YesNoCancel},
    };
    QtMessageBoxes boxes(window.get());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        int measured = 0;
        BoxAnswerer answerer([&](QMessageBox* box) {
            measured = expectTextsFit(box);
            QTest::keyClick(box, Qt::Key_Escape);
        });
        boxes.show(row.title, row.text, zave::MessageIcon::Warning, row.buttons);
        EXPECT_GE(measured, 2) << "the text and a button at least";
    }
}
