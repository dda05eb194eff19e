// The secondary windows (About, copy-day, progress), the embedded pictures and
// the Qt hooks: message boxes, file dialogs, the event pump and the hold of a
// device operation on pending events.
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

#include "app/about_window.h"
#include "app/copy_day_dialog.h"
#include "app/progress_window.h"
#include "app/embedded_images.h"
#include "app/file_dialogs.h"
#include "app/qt_event_pump.h"
#include "app/qt_message_boxes.h"
#include "app/qt_progress_ui.h"
#include "schedule/document.h"
#include "modal_answerers.h"

namespace {

using apptest::BoxAnswerer;
using apptest::DialogAnswerer;

QString u(const char* s) { return QString::fromUtf8(s); }

// Finds a direct or nested child by object name and kind.
template <class T>
T* child(QWidget* parent, const char* name) {
    T* w = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

struct ControlRow {
    const char* name;
    const char* className;
    QRect geometry;
    const char* text;  // button caption, group title or label text; "" when none
};

QString captionOf(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    return {};
}

void expectControls(QWidget* window, std::initializer_list<ControlRow> rows) {
    for (const ControlRow& row : rows) {
        SCOPED_TRACE(row.name);
        QWidget* w = child<QWidget>(window, row.name);
        if (!w) continue;
        EXPECT_TRUE(w->inherits(row.className)) << w->metaObject()->className();
        EXPECT_EQ(w->geometry(), row.geometry);
        EXPECT_EQ(captionOf(w), u(row.text));
    }
}

void expectFixedWindow(QWidget* w, const char* title, QSize size, QPoint position) {
    EXPECT_TRUE(w->isWindow());
    EXPECT_EQ(w->windowTitle(), u(title));
    EXPECT_EQ(w->size(), size);
    EXPECT_EQ(w->minimumSize(), size) << "the window must not be resizable";
    EXPECT_EQ(w->maximumSize(), size) << "the window must not be resizable";
    EXPECT_EQ(w->pos(), position);
    const Qt::WindowFlags flags = w->windowFlags();
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
}

// A mouse event posted, not sent, so that it waits among the pending events.
void postMouse(QWidget* target, QEvent::Type type, Qt::MouseButton button, QPoint pos) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QCoreApplication::postEvent(target,
                                new QMouseEvent(type, QPointF(pos), QPointF(target->mapToGlobal(pos)), button, held,
                                                Qt::NoModifier));
}

void postClick(QWidget* target, Qt::MouseButton button = Qt::LeftButton, QPoint pos = {}) {
    if (pos.isNull()) pos = target->rect().center();
    postMouse(target, QEvent::MouseButtonPress, button, pos);
    postMouse(target, QEvent::MouseButtonRelease, button, pos);
}

// Counts the events of one kind that reach an object.
class EventCounter : public QObject {
public:
    EventCounter(QObject* target, QEvent::Type type) : type_(type) { target->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == type_) ++count;
        return false;
    }

private:
    QEvent::Type type_;
};

// Waits, without handling any event, until the timer's interval has run out.
void letTimerFallDue(const QTimer& timer) {
    while (timer.remainingTime() != 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner = std::make_unique<QWidget>();
        owner->setObjectName("owner");
        owner->resize(300, 200);
        owner->show();
        QApplication::processEvents();
    }
    void TearDown() override {
        owner.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    std::unique_ptr<QWidget> owner;
};

// ---- Embedded pictures

TEST(EmbeddedImages, EveryIdHasItsSizeAndStoredForm) {
    struct Row {
        int id;
        QSize size;
        bool alpha;
    };
    const Row rows[] = {
        {0, {45, 30}, false},  {1, {24, 24}, true},   {2, {50, 25}, false}, {3, {146, 155}, false},
        {4, {16, 16}, true},   {5, {16, 16}, true},   {6, {16, 16}, true},  {7, {16, 16}, true},
        {8, {16, 16}, true},   {9, {16, 16}, true},   {10, {16, 16}, true},
    };
    EXPECT_TRUE(preloadEmbeddedImages());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        const QPixmap p = embeddedImage(row.id);
        ASSERT_FALSE(p.isNull());
        EXPECT_EQ(p.size(), row.size);
        EXPECT_EQ(p.hasAlphaChannel(), row.alpha);
        EXPECT_EQ(embeddedImage(row.id).cacheKey(), p.cacheKey()) << "loaded once and kept";
        EXPECT_FALSE(embeddedIcon(row.id).isNull());
    }
    for (int bad : {-1, 11, 1000}) {
        EXPECT_TRUE(embeddedImage(bad).isNull()) << bad;
        EXPECT_TRUE(embeddedIcon(bad).isNull()) << bad;
    }
}

TEST(EmbeddedImages, PicturesShowWhatTheyStandFor) {
    const QImage indicator = embeddedImage(0).toImage();
    const QColor cross = indicator.pixelColor(22, 15);
    const QColor disc = indicator.pixelColor(22, 4);
    EXPECT_GT(cross.lightness(), 230) << "a white cross in the middle";
    EXPECT_GT(disc.red(), 150);
    EXPECT_LT(disc.green(), 90) << "on a red disc";

    const QImage arrow = embeddedImage(2).toImage();
    const QColor ground = arrow.pixelColor(2, 2);
    const QColor shaft = arrow.pixelColor(20, 12);
    const QColor leftOfShaft = arrow.pixelColor(20, 5);
    EXPECT_GT(ground.red(), 200);
    EXPECT_GT(ground.green(), 180);
    EXPECT_LT(ground.blue(), 100) << "yellow ground";
    EXPECT_GT(shaft.blue(), 150);
    EXPECT_LT(shaft.red(), 100) << "blue arrow";
    EXPECT_EQ(leftOfShaft, ground);
    // It points right: the head (tall) is on the right, the shaft (thin) on the left.
    EXPECT_GT(arrow.pixelColor(33, 6).blue(), 150);
    EXPECT_EQ(arrow.pixelColor(10, 6), ground);
}

// ---- About

TEST_F(WindowTest, AboutWindowLayout) {
    AboutWindow about(owner.get());
    EXPECT_EQ(about.parentWidget(), owner.get()) << "owned by the main window";
    expectFixedWindow(&about, "О программе", {432, 207}, {530, 182});
    EXPECT_TRUE(about.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(about.windowFlags().testFlag(Qt::WindowSystemMenuHint));
    expectControls(&about, {
                               {"aboutPicture", "QLabel", {5, 15, 146, 155}, ""},
                               {"aboutOkButton", "QPushButton", {312, 177, 114, 25}, "Ок"},
                               {"aboutFrame", "QGroupBox", {155, 10, 272, 164}, "Информация"},
                               {"aboutText", "QPlainTextEdit", {160, 25, 261, 141}, ""},
                           });

    auto* picture = child<QLabel>(&about, "aboutPicture");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->frameShadow(), QFrame::Sunken);
    EXPECT_NE(picture->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(picture->pixmap().cacheKey(), embeddedImage(3).cacheKey());

    auto* text = child<QPlainTextEdit>(&about, "aboutText");
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(text->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        EXPECT_EQ(text->palette().color(group, QPalette::Base), QColor(0, 0, 0)) << group;
        EXPECT_EQ(text->palette().color(group, QPalette::Text), QColor(246, 244, 31)) << group;
    }

    const QStringList lines = text->toPlainText().split(QChar('\n'));
    ASSERT_GE(lines.size(), 8);
    EXPECT_EQ(lines[0], QString());
    EXPECT_EQ(lines[1], u("  Программа \"Orvatone Zave\""));
    EXPECT_EQ(lines[2], u("  Версия 1.07"));
    EXPECT_EQ(lines, AboutWindow::aboutLines());
    bool company = false, site = false, mail = false;
    for (qsizetype i = 3; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i].toStdString());
        EXPECT_TRUE(lines[i].startsWith(u("  "))) << "every maker's line is indented";
        company = company || lines[i].contains(u("Орватон"));
        site = site || lines[i].contains(u(kWebSiteAddress));
        mail = mail || lines[i].contains(QChar('@'));
    }
    EXPECT_TRUE(company && site && mail);
}

TEST_F(WindowTest, AboutWindowLeavesClosingToItsOwner) {
    owner->setEnabled(false);  // as the owner does before it opens the window
    auto* about = new AboutWindow(owner.get());
    about->show();
    QApplication::processEvents();
    ASSERT_TRUE(about->isEnabled()) << "the window must take input while its owner is disabled";
    QSignalSpy ok(about, &AboutWindow::okClicked);
    QSignalSpy close(about, &AboutWindow::closeRequested);

    QTest::mouseClick(child<QPushButton>(about, "aboutOkButton"), Qt::LeftButton);
    EXPECT_EQ(ok.count(), 1);
    EXPECT_EQ(close.count(), 0);
    EXPECT_TRUE(about->isVisible());

    EXPECT_FALSE(about->close()) << "a close request is refused";
    EXPECT_EQ(close.count(), 1);
    EXPECT_EQ(ok.count(), 1);
    EXPECT_TRUE(about->isVisible());
    delete about;
}

// ---- Copy-day dialog

TEST_F(WindowTest, CopyDayDialogLayout) {
    CopyDayDialog dialog(owner.get());
    EXPECT_EQ(dialog.parentWidget(), owner.get());
    expectFixedWindow(&dialog, "Копирование временных параметров", {360, 186}, {623, 125});
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    expectControls(&dialog, {
                                {"copySourceList", "QListWidget", {10, 5, 135, 105}, ""},
                                {"copyTargetList", "QListWidget", {225, 5, 130, 106}, ""},
                                {"copyArrowButton", "QPushButton", {160, 40, 50, 25}, ""},
                                {"copyHint", "QLabel", {45, 120, 267, 20},
                                 "Для выбора нескольких пунктов,удерживайте CTRL"},
                                {"copyButton", "QPushButton", {145, 150, 80, 25}, "Копировать"},
                                {"copyCancelButton", "QPushButton", {270, 150, 80, 25}, "Отмена"},
                            });
    struct ListRow {
        const char* name;
        QAbstractItemView::SelectionMode mode;
    };
    for (const ListRow& row : {ListRow{"copySourceList", QAbstractItemView::SingleSelection},
                               ListRow{"copyTargetList", QAbstractItemView::ExtendedSelection}}) {
        SCOPED_TRACE(row.name);
        auto* list = child<QListWidget>(&dialog, row.name);
        ASSERT_TRUE(list);
        EXPECT_EQ(list->selectionMode(), row.mode);
        ASSERT_EQ(list->count(), zave::kDayCount);
        for (int p = 0; p < zave::kDayCount; ++p)
            EXPECT_EQ(list->item(p)->text(), QString::fromUtf8(zave::kDayNames[static_cast<size_t>(p)].data()));
    }
    EXPECT_EQ(child<QListWidget>(&dialog, "copySourceList")->item(0)->text(), u("Понедельник"));
    EXPECT_EQ(child<QListWidget>(&dialog, "copyTargetList")->item(6)->text(), u("Воскресенье"));

    auto* arrow = child<QPushButton>(&dialog, "copyArrowButton");
    ASSERT_TRUE(arrow);
    EXPECT_EQ(arrow->iconSize(), QSize(50, 25));
    const QImage shown = arrow->icon().pixmap(QSize(50, 25)).toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, embeddedImage(2).toImage().convertToFormat(QImage::Format_RGB32));
}

TEST_F(WindowTest, CopyDayDialogOpensWithNothingSelected) {
    owner->setEnabled(false);
    auto dialog = std::make_unique<CopyDayDialog>(owner.get());
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
    QApplication::processEvents();
    EXPECT_TRUE(dialog->isEnabled());
    for (const char* name : {"copySourceList", "copyTargetList"}) {
        SCOPED_TRACE(name);
        auto* list = child<QListWidget>(dialog.get(), name);
        ASSERT_TRUE(list);
        EXPECT_EQ(list->currentRow(), -1) << "no day is marked when the dialog opens";
        // Even a list that takes the focus selects nothing.
        list->setFocus();
        QApplication::processEvents();
        EXPECT_TRUE(list->selectedItems().isEmpty());
        EXPECT_FALSE(list->selectionModel()->hasSelection());
    }
    EXPECT_EQ(dialog->selectedSource(), 0);
    EXPECT_TRUE(dialog->selectedTargets().empty());

    // The hint is shown whole within its fixed width.
    auto* hint = child<QLabel>(dialog.get(), "copyHint");
    ASSERT_TRUE(hint);
    EXPECT_LE(hint->fontMetrics().horizontalAdvance(hint->text()), hint->width());
}

TEST_F(WindowTest, CopyDayDialogSelectionsByMouse) {
    struct Click {
        int row;  // 0..6
        Qt::KeyboardModifiers modifiers;
    };
    struct Case {
        const char* what;
        std::vector<Click> source, target;
        int expectedSource;
        std::vector<int> expectedTargets;
    };
    const Qt::KeyboardModifiers none = Qt::NoModifier, ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier;
    const Case cases[] = {
        {"one of each", {{0, none}}, {{1, none}}, 1, {2}},
        {"a new source replaces the old", {{2, none}, {4, none}}, {}, 5, {}},
        {"a source cannot take two days even with Ctrl", {{2, none}, {4, ctrl}}, {}, 5, {}},
        {"Ctrl on the selected source clears it", {{4, none}, {4, ctrl}}, {}, 0, {}},
        {"Ctrl adds targets", {}, {{5, none}, {1, ctrl}, {3, ctrl}}, 0, {2, 4, 6}},
        {"Shift selects a range", {{0, none}}, {{1, none}, {4, shift}}, 1, {2, 3, 4, 5}},
        {"Shift then Ctrl takes one out", {}, {{1, none}, {4, shift}, {2, ctrl}}, 0, {2, 4, 5}},
        {"Shift range upwards then Ctrl adds", {}, {{6, none}, {4, shift}, {0, ctrl}}, 0, {1, 5, 6, 7}},
        {"a plain click starts again", {}, {{1, none}, {3, ctrl}, {6, none}}, 0, {7}},
        {"Ctrl twice on one day leaves none", {}, {{3, ctrl}, {3, ctrl}}, 0, {}},
        {"the same day in both lists", {{3, none}}, {{3, none}}, 4, {4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CopyDayDialog dialog(owner.get());
        dialog.show();
        QApplication::processEvents();
        auto* source = child<QListWidget>(&dialog, "copySourceList");
        auto* target = child<QListWidget>(&dialog, "copyTargetList");
        ASSERT_TRUE(source && target);
        auto clickAll = [](QListWidget* list, const std::vector<Click>& clicks) {
            for (const Click& k : clicks)
                QTest::mouseClick(list->viewport(), Qt::LeftButton, k.modifiers,
                                  list->visualItemRect(list->item(k.row)).center());
        };
        clickAll(source, c.source);
        clickAll(target, c.target);
        EXPECT_EQ(dialog.selectedSource(), c.expectedSource);
        EXPECT_EQ(dialog.selectedTargets(), c.expectedTargets);
    }
}

TEST_F(WindowTest, CopyDayDialogButtonsOnlyAskTheOwner) {
    struct Row {
        const char* button;  // nullptr: the window's close request
        int copy, cancel, close;
    };
    const Row rows[] = {
        {"copyButton", 1, 0, 0},
        {"copyArrowButton", 1, 0, 0},
        {"copyCancelButton", 0, 1, 0},
        {nullptr, 0, 0, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.button ? row.button : "close request");
        CopyDayDialog dialog(owner.get());
        dialog.show();
        QApplication::processEvents();
        QSignalSpy copy(&dialog, &CopyDayDialog::copyRequested);
        QSignalSpy cancel(&dialog, &CopyDayDialog::cancelRequested);
        QSignalSpy close(&dialog, &CopyDayDialog::closeRequested);
        if (row.button) QTest::mouseClick(child<QPushButton>(&dialog, row.button), Qt::LeftButton);
        else EXPECT_FALSE(dialog.close());
        EXPECT_EQ(copy.count(), row.copy);
        EXPECT_EQ(cancel.count(), row.cancel);
        EXPECT_EQ(close.count(), row.close);
        EXPECT_TRUE(dialog.isVisible()) << "the owner closes the dialog";
    }
}

// ---- Progress window

TEST_F(WindowTest, ProgressWindowLayoutAndNoWayToCloseIt) {
    ProgressWindow window(owner.get());
    EXPECT_EQ(window.parentWidget(), owner.get());
    expectFixedWindow(&window, "Обмен данными", {461, 83}, {450, 200});
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowSystemMenuHint));
    expectControls(&window, {
                                {"progressBar", "QProgressBar", {10, 5, 430, 15}, ""},
                                {"spareProgressBar", "QProgressBar", {10, 30, 430, 15}, ""},
                                {"stopButton", "QPushButton", {340, 55, 80, 20}, "Стоп"},
                            });
    for (QProgressBar* bar : {window.progressBar(), window.spareProgressBar()}) {
        SCOPED_TRACE(bar->objectName().toStdString());
        EXPECT_EQ(bar->minimum(), 0);
        EXPECT_EQ(bar->maximum(), 100);
        EXPECT_EQ(bar->value(), 0);
        EXPECT_FALSE(bar->isTextVisible());
    }
    EXPECT_EQ(window.stopButton(), child<QPushButton>(&window, "stopButton"));

    window.show();
    QApplication::processEvents();
    EXPECT_FALSE(window.close());
    QCoreApplication::postEvent(&window, new QCloseEvent);
    QApplication::processEvents();
    EXPECT_TRUE(window.isVisible());
}

// ---- The progress user interface and its hold on events

class ProgressUiTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ui = std::make_unique<QtProgressUi>(owner.get());
    }
    void TearDown() override {
        ui.reset();
        WindowTest::TearDown();
    }
    // Opens the window and lets it appear on the screen.
    ProgressWindow* open() {
        ui->openProgressWindow();
        ProgressWindow* w = ui->window();
        EXPECT_NE(w, nullptr);
        if (w) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(w));
        }
        return w;
    }
    std::unique_ptr<QtProgressUi> ui;
};

TEST_F(ProgressUiTest, OneWindowWhileItRunsAndTheOwnerDisabled) {
    ASSERT_TRUE(owner->isEnabled());
    ProgressWindow* w = open();
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->parentWidget(), owner.get());
    EXPECT_FALSE(owner->isEnabled());
    EXPECT_TRUE(w->isEnabled()) << "the Stop button must stay usable";
    EXPECT_TRUE(w->stopButton()->isEnabled());

    ui->openProgressWindow();
    EXPECT_EQ(ui->window(), w) << "at most one progress window";
    EXPECT_EQ(owner->findChildren<ProgressWindow*>().size(), 1);

    struct Step {
        int value, shown;
    };
    for (const Step& s : {Step{4, 4}, Step{98, 98}, Step{0, 0}, Step{100, 100}, Step{-3, 0}, Step{350, 100}}) {
        ui->setProgress(s.value);
        EXPECT_EQ(w->progressBar()->value(), s.shown) << s.value;
        EXPECT_EQ(w->spareProgressBar()->value(), 0);
    }

    ui->closeProgressWindow();
    EXPECT_EQ(ui->window(), nullptr);
    EXPECT_TRUE(owner->findChildren<ProgressWindow*>().isEmpty()) << "destroyed, not hidden";
    EXPECT_TRUE(owner->isEnabled());

    // Closing again, or setting progress without a window, changes nothing.
    ui->closeProgressWindow();
    ui->setProgress(50);
    EXPECT_TRUE(owner->isEnabled());

    // A new window each time, starting at 0.
    w = open();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->progressBar()->value(), 0);
    EXPECT_FALSE(owner->isEnabled());
    ui->closeProgressWindow();
    EXPECT_TRUE(owner->isEnabled());
}

TEST_F(ProgressUiTest, StopRequestedOnlyByALeftClickOnStop) {
    QPushButton other(u("Другая"));
    other.resize(80, 20);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));

    using Post = std::function<void(QPushButton* stop)>;
    struct Case {
        const char* what;
        Post post;
        bool stop;
    };
    const Case cases[] = {
        {"nothing pending", [](QPushButton*) {}, false},
        {"left click on Stop", [](QPushButton* s) { postClick(s); }, true},
        {"left click near its corner", [](QPushButton* s) { postClick(s, Qt::LeftButton, {1, 1}); }, true},
        {"right click on Stop", [](QPushButton* s) { postClick(s, Qt::RightButton); }, false},
        {"middle click on Stop", [](QPushButton* s) { postClick(s, Qt::MiddleButton); }, false},
        {"pressed on Stop, released outside",
         [](QPushButton* s) {
             postMouse(s, QEvent::MouseButtonPress, Qt::LeftButton, s->rect().center());
             postMouse(s, QEvent::MouseButtonRelease, Qt::LeftButton, {s->width() + 30, s->height() + 30});
         },
         false},
        {"a release alone",
         [](QPushButton* s) { postMouse(s, QEvent::MouseButtonRelease, Qt::LeftButton, s->rect().center()); }, false},
        {"a click on another window's button", [&other](QPushButton*) { postClick(&other); }, false},
        {"keys on Stop",
         [](QPushButton* s) {
             for (int key : {int(Qt::Key_Space), int(Qt::Key_Return)}) {
                 QCoreApplication::postEvent(s, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
                 QCoreApplication::postEvent(s, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier));
             }
         },
         false},
        {"a click among other events",
         [&other](QPushButton* s) {
             postClick(&other);
             postClick(s);
             postClick(&other, Qt::RightButton);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ProgressWindow* w = open();
        ASSERT_TRUE(w);
        EXPECT_FALSE(ui->stopRequested()) << "nothing was clicked yet";
        QSignalSpy otherClicks(&other, &QPushButton::clicked);
        QSignalSpy stopClicks(w->stopButton(), &QPushButton::clicked);
        c.post(w->stopButton());
        EXPECT_EQ(ui->stopRequested(), c.stop);
        EXPECT_FALSE(ui->stopRequested()) << "a click is reported once";
        EXPECT_EQ(otherClicks.count(), 0) << "input is dropped, not delivered";
        EXPECT_EQ(stopClicks.count(), 0) << "the Stop button has no action of its own";
        ui->closeProgressWindow();
    }
}

TEST_F(ProgressUiTest, StopClickSplitAcrossTwoChecks) {
    ProgressWindow* w = open();
    ASSERT_TRUE(w);
    QPushButton* stop = w->stopButton();
    postMouse(stop, QEvent::MouseButtonPress, Qt::LeftButton, stop->rect().center());
    EXPECT_FALSE(ui->stopRequested());
    postMouse(stop, QEvent::MouseButtonRelease, Qt::LeftButton, stop->rect().center());
    EXPECT_TRUE(ui->stopRequested());
    ui->closeProgressWindow();

    // Without a window there is nothing to click.
    QPushButton loose;
    loose.show();
    postClick(&loose);
    EXPECT_FALSE(ui->stopRequested());
}

TEST_F(ProgressUiTest, InputAndCloseRequestsAreDroppedWhileRepaintsAndQueuedCallsGoOn) {
    QLineEdit field;
    field.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&field));
    field.setFocus();
    QApplication::setActiveWindow(&field);

    struct Closer : QWidget {
        int closes = 0;
        void closeEvent(QCloseEvent* e) override {
            ++closes;
            e->ignore();
        }
    } closer;
    closer.show();

    ProgressWindow* w = open();
    ASSERT_TRUE(w);
    EventCounter barPaints(w->progressBar(), QEvent::Paint);
    ui->setProgress(40);
    bool queuedRan = false;
    QMetaObject::invokeMethod(owner.get(), [&queuedRan] { queuedRan = true; }, Qt::QueuedConnection);
    QCoreApplication::postEvent(&field, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, u("a")));
    QCoreApplication::postEvent(&field, new QKeyEvent(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, u("a")));
    QCoreApplication::postEvent(&closer, new QCloseEvent);

    EXPECT_FALSE(ui->stopRequested());
    EXPECT_GT(barPaints.count, 0) << "the progress window repaints";
    EXPECT_TRUE(queuedRan);
    EXPECT_EQ(field.text(), QString()) << "typing is dropped";
    EXPECT_EQ(closer.closes, 0) << "close requests are dropped";
    EXPECT_EQ(w->progressBar()->value(), 40);
    ui->closeProgressWindow();

    // Once the operation is over, input and close requests arrive again.
    QCoreApplication::postEvent(&field, new QKeyEvent(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, u("b")));
    QCoreApplication::postEvent(&closer, new QCloseEvent);
    QApplication::processEvents();
    EXPECT_EQ(field.text(), u("b"));
    EXPECT_EQ(closer.closes, 1);
}

TEST_F(ProgressUiTest, TimerTicksAreDroppedWhileHeldNotDelayed) {
    int zeroTicks = 0, periodicTicks = 0;
    QTimer zero;  // falls due on every pass of the event loop
    zero.setInterval(0);
    QObject::connect(&zero, &QTimer::timeout, [&] { ++zeroTicks; });
    QTimer periodic;  // like the status tick
    periodic.setInterval(300);
    periodic.setTimerType(Qt::PreciseTimer);
    QObject::connect(&periodic, &QTimer::timeout, [&] { ++periodicTicks; });
    zero.start();
    periodic.start();

    ProgressWindow* w = open();
    ASSERT_TRUE(w);
    // On Windows the system posts a timer's message when it chooses, which may
    // be after the hold has taken every pending event: there a tick that fell
    // due can still be waiting afterwards, and follow the operation at once as
    // it would follow any other action. No tick runs while the thread is held.
#ifdef _WIN32
    constexpr bool kTicksArePostedAtOnce = false;
#else
    constexpr bool kTicksArePostedAtOnce = true;
#endif
    for (int i = 0; i < 3; ++i) {
        letTimerFallDue(periodic);
        EXPECT_FALSE(ui->stopRequested());
        if (kTicksArePostedAtOnce) {
            EXPECT_GT(periodic.remainingTime(), 0) << "the tick that fell due was taken, not left waiting";
        }
    }
    // A tick falling due during the last exchange is taken by the close.
    letTimerFallDue(periodic);
    ui->closeProgressWindow();
    if (kTicksArePostedAtOnce) {
        EXPECT_GT(periodic.remainingTime(), 0) << "no tick may run late after the operation";
    }
    EXPECT_EQ(zeroTicks, 0) << "no tick ran while the operation held the thread";
    EXPECT_EQ(periodicTicks, 0) << "no tick ran while the operation held the thread";
    EXPECT_TRUE(zero.isActive());
    EXPECT_TRUE(periodic.isActive());

    // The timers still run afterwards.
    EXPECT_TRUE(QTest::qWaitFor([&] { return zeroTicks > 0 && periodicTicks > 0; }, 10000));
}

TEST_F(ProgressUiTest, TicksInAMessageBoxDuringTheOperationAreDroppedButTheBoxWorks) {
    // The operation may show a modal message box while it holds the thread;
    // the box takes input, and the ticks stay dropped.
    int ticks = 0;
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start();
    ASSERT_TRUE(open());

    // The box is answered from a one-shot helper timer (not a QTimer object).
    QTimer::singleShot(20, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            QTest::mouseClick(box->buttons().first(), Qt::LeftButton);
    });
    QtMessageBoxes boxes(owner.get());
    EXPECT_EQ(boxes.show("Внимание!", "текст", zave::MessageIcon::Warning, zave::MessageButtons::Ok),
              zave::MessageAnswer::Ok);
    EXPECT_EQ(ticks, 0);
    ui->closeProgressWindow();
    EXPECT_EQ(ticks, 0);
}

// ---- The event pump of connect

TEST_F(WindowTest, EventPumpDropsInputAndTicksButRepaints) {
    QPushButton button(u("Установить связь"));
    button.show();
    QPlainTextEdit log;
    log.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&log));
    QApplication::processEvents();

    int ticks = 0;
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start();
    QSignalSpy clicks(&button, &QPushButton::clicked);
    EventCounter paints(log.viewport(), QEvent::Paint);

    log.appendPlainText(u("Ждите!!!"));
    postClick(&button);
    QCoreApplication::postEvent(&button, new QCloseEvent);
    QtEventPump pump;
    pump.dropPendingEvents(10);

    EXPECT_GT(paints.count, 0) << "the new line is painted";
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_TRUE(button.isVisible());
    EXPECT_EQ(ticks, 0);

    // Afterwards the program runs as before.
    postClick(&button);
    QApplication::processEvents();
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks > 0; }, 10000));
}

// ---- Message boxes

TEST_F(WindowTest, MessageBoxesShowRussianButtonsAndReturnTheChoice) {
    struct Case {
        zave::MessageButtons buttons;
        zave::MessageIcon icon;
        QStringList captions;
        QString press;  // caption to click; empty: Escape
        zave::MessageAnswer answer;
        QMessageBox::Icon shownIcon;
    };
    using B = zave::MessageButtons;
    using I = zave::MessageIcon;
    using A = zave::MessageAnswer;
    const QStringList ok{u("ОК")}, yesNo{u("Да"), u("Нет")}, yesNoCancel{u("Да"), u("Нет"), u("Отмена")};
    const Case cases[] = {
        {B::Ok, I::Error, ok, u("ОК"), A::Ok, QMessageBox::Critical},
        {B::Ok, I::Information, ok, QString(), A::Ok, QMessageBox::Information},
        {B::YesNo, I::Warning, yesNo, u("Да"), A::Yes, QMessageBox::Warning},
        {B::YesNo, I::Error, yesNo, u("Нет"), A::No, QMessageBox::Critical},
        {B::YesNo, I::Warning, yesNo, QString(), A::No, QMessageBox::Warning},
        {B::YesNoCancel, I::Warning, yesNoCancel, u("Да"), A::Yes, QMessageBox::Warning},
        {B::YesNoCancel, I::Warning, yesNoCancel, u("Нет"), A::No, QMessageBox::Warning},
        {B::YesNoCancel, I::Warning, yesNoCancel, u("Отмена"), A::Cancel, QMessageBox::Warning},
        {B::YesNoCancel, I::Warning, yesNoCancel, QString(), A::Cancel, QMessageBox::Warning},
    };
    QtMessageBoxes boxes(owner.get());
    for (const Case& c : cases) {
        SCOPED_TRACE((u("press ") + (c.press.isEmpty() ? u("Escape") : c.press)).toStdString());
        QString title, text;
        QStringList captions;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QWidget* parent = nullptr;
        BoxAnswerer answerer([&](QMessageBox* box) {
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            parent = box->parentWidget();
            for (QAbstractButton* b : box->buttons()) captions << b->text();
            if (c.press.isEmpty()) {
                QTest::keyClick(box, Qt::Key_Escape);
                return;
            }
            for (QAbstractButton* b : box->buttons()) {
                if (b->text() == c.press) {
                    QTest::mouseClick(b, Qt::LeftButton);
                    return;
                }
            }
            ADD_FAILURE() << "no button " << c.press.toStdString();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        const zave::MessageAnswer answer =
            boxes.show("Внимание!", "Устройство не отвечает\nРазорвать связь?", c.icon, c.buttons);
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(title, u("Внимание!"));
        EXPECT_EQ(text, u("Устройство не отвечает\nРазорвать связь?"));
        EXPECT_EQ(icon, c.shownIcon);
        EXPECT_EQ(parent, owner.get());
        std::sort(captions.begin(), captions.end());
        QStringList expected = c.captions;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(captions, expected);
    }
}

// ---- File dialogs

TEST_F(WindowTest, FileDialogsForDocuments) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString existing = dir.filePath("week.ptm");
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    QtFileDialogs dialogs(owner.get());

    struct Seen {
        QString title;
        QStringList filters;
        QString presetName;
        bool confirmOverwrite = true;
        QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
        bool asked = false;  // a question box appeared on accepting
    };
    auto answerWith = [&](Seen& seen, const QString& path) {
        return [&seen, path](QFileDialog* d) {
            seen.title = d->windowTitle();
            seen.filters = d->nameFilters();
            seen.presetName = d->selectedFiles().value(0);
            seen.confirmOverwrite = !d->testOption(QFileDialog::DontConfirmOverwrite);
            seen.mode = d->acceptMode();
            if (path.isEmpty()) {
                d->reject();
                return;
            }
            // The name goes into the name field itself: selectFile() leaves
            // the field alone once it has the focus.
            auto* name = d->findChild<QLineEdit*>("fileNameEdit");
            if (name == nullptr) {
                ADD_FAILURE() << "no file name field";
                d->reject();
                return;
            }
            name->setText(path);
            // A question about an existing file would be a modal box of its own.
            QTimer::singleShot(50, d, [&seen] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    seen.asked = true;
                    if (QAbstractButton* yes = box->button(QMessageBox::Yes)) yes->click();
                    else box->buttons().first()->click();
                }
            });
            static_cast<QDialog*>(d)->accept();
        };
    };

    {
        Seen seen;
        DialogAnswerer a(answerWith(seen, existing));
        const std::optional<QString> got = dialogs.openFile();
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(QFileInfo(*got).canonicalFilePath(), QFileInfo(existing).canonicalFilePath());
        EXPECT_EQ(seen.title, u("Открыть"));
        EXPECT_EQ(seen.filters, QStringList{u("Файлы (*.ptm)")});
        EXPECT_EQ(seen.mode, QFileDialog::AcceptOpen);
    }
    {
        Seen seen;
        DialogAnswerer a(answerWith(seen, QString()));
        EXPECT_FALSE(dialogs.openFile().has_value()) << "cancelled";
    }
    {
        Seen seen;
        DialogAnswerer a(answerWith(seen, existing));
        const std::optional<QString> got = dialogs.saveFile();
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(QFileInfo(*got).canonicalFilePath(), QFileInfo(existing).canonicalFilePath());
        EXPECT_EQ(seen.title, u("Сохранить"));
        EXPECT_EQ(seen.filters, QStringList{u("Файлы (*.ptm)")});
        EXPECT_EQ(seen.mode, QFileDialog::AcceptSave);
        EXPECT_FALSE(seen.confirmOverwrite);
        EXPECT_FALSE(seen.asked) << "replacing a file asks nothing";
        EXPECT_TRUE(QFileInfo(seen.presetName).fileName().isEmpty() ||
                    QFileInfo(seen.presetName).isDir())
            << "no preset name: " << seen.presetName.toStdString();
    }
    {
        Seen seen;
        DialogAnswerer a(answerWith(seen, QString()));
        EXPECT_FALSE(dialogs.saveFile().has_value()) << "cancelled";
    }
}

}  // namespace
