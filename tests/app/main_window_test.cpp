#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QTabWidget>
#include <QToolBar>

#include "app/about_window.h"
#include "app_fixture.h"

using namespace apptest;

namespace {

struct ControlRow {
    const char* name;
    const char* kind;
    int x, y, w, h;
    const char* caption;  // nullptr: no caption to compare
};

// Every named control of the page "Конфигурация", as the window must build it.
const ControlRow kControls[] = {
    {"portSelector", "QComboBox", 10, 45, 65, 20, nullptr},
    {"deviceManagerButton", "QPushButton", 80, 45, 120, 20, "Диспетчер устройств"},
    {"connectButton", "QPushButton", 205, 45, 120, 20, "Установить связь"},
    {"logView", "QPlainTextEdit", 10, 95, 180, 235, nullptr},
    {"writeProgramButton", "QPushButton", 195, 95, 130, 20, "Запись программы"},
    {"readProgramButton", "QPushButton", 195, 125, 130, 20, "Чтение программы "},
    {"disconnectButton", "QPushButton", 195, 165, 130, 20, "Разорвать связь"},
    {"computerDateField", "QLineEdit", 200, 250, 130, 20, nullptr},
    {"deviceDateField", "QLineEdit", 200, 290, 130, 20, ""},
    {"syncClockButton", "QPushButton", 200, 320, 130, 20, "Синхр.часы"},
    {"daySelector", "QComboBox", 415, 30, 105, 20, nullptr},
    {"copyDayButton", "QPushButton", 525, 30, 25, 25, ""},
    {"duplicateTimesIndicator", "ClickablePicture", 570, 30, 45, 30, nullptr},
    {"volumeRangeIndicator", "ClickablePicture", 570, 30, 45, 30, nullptr},
    {"soundTypeSelector", "QComboBox", 350, 245, 105, 20, nullptr},
    {"pulseSwitchTimeField", "QLineEdit", 350, 285, 40, 20, "10"},
    {"soundDisabledBox", "QCheckBox", 350, 310, 214, 15, "Отключить звуковое сопровождение"},
    {"simulationBox", "QCheckBox", 350, 330, 214, 15, "Включить симуляцию"},
};

QString captionOf(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    return {};
}

}  // namespace

TEST_F(AppTest, WindowHasItsTitleFixedInnerSizeAndNoMaximise) {
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("Orvatone Zave (Для речевого информатора )"));
    EXPECT_EQ(window->centralWidget()->size(), QSize(771, 474));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "the window must not be resizable";
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    auto* panel = find<QTabWidget>("configPanel");
    EXPECT_EQ(panel->geometry(), QRect(5, 65, 760, 405));
    ASSERT_EQ(panel->count(), 1);
    EXPECT_EQ(panel->tabText(0), QString::fromUtf8("Конфигурация"));
}

TEST_F(AppTest, EveryNamedControlHasItsKindPlaceAndCaption) {
    for (const ControlRow& row : kControls) {
        SCOPED_TRACE(row.name);
        QWidget* w = find<QWidget>(row.name);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->inherits(row.kind)) << w->metaObject()->className();
        EXPECT_EQ(w->parentWidget()->objectName(), QString("configPage"));
        EXPECT_EQ(w->geometry(), QRect(row.x, row.y, row.w, row.h));
        if (row.caption) {
            EXPECT_EQ(captionOf(w), QString::fromUtf8(row.caption));
        }
    }
    for (int k = 1; k <= 12; ++k) {
        SCOPED_TRACE(k);
        const int col = (k - 1) / 6, y = 65 + 25 * ((k - 1) % 6);
        EXPECT_EQ(enabledBox(k)->geometry(), QRect(col ? 560 : 345, y + 5, 69, 15));
        EXPECT_EQ(enabledBox(k)->text(), QString::fromUtf8("Включен"));
        EXPECT_EQ(picker(k)->geometry(), QRect(col ? 635 : 420, y, 52, 20));
        EXPECT_EQ(picker(k)->displayFormat(), QString("HH:mm"));
        EXPECT_FALSE(picker(k)->calendarPopup());
        EXPECT_EQ(picker(k)->buttonSymbols(), QAbstractSpinBox::UpDownArrows);
        EXPECT_EQ(volumeField(k)->geometry(), QRect(col ? 690 : 475, y, 40, 20));
    }
    // Group frames and labels, by caption.
    struct Frame { const char* title; QRect rect; };
    const Frame frames[] = {{"Настройка портов", {3, 11, 333, 65}}, {"Статус устройства", {3, 75, 333, 285}},
                            {"Недельные планы", {340, 10, 395, 210}}, {"", {340, 219, 395, 140}}};
    auto groups = find<QWidget>("configPage")->findChildren<QGroupBox*>();
    for (const Frame& f : frames) {
        auto it = std::find_if(groups.begin(), groups.end(),
                               [&](QGroupBox* g) { return g->title() == QString::fromUtf8(f.title); });
        ASSERT_NE(it, groups.end()) << f.title;
        EXPECT_EQ((*it)->geometry(), f.rect) << f.title;
    }
    struct Label { const char* text; QRect rect; };
    const Label labels[] = {{"Порт", {10, 30, 30, 15}},
                            {"Работа с RTC:", {225, 220, 80, 15}},
                            {"Системная дата", {200, 235, 124, 15}},
                            {"Дата счит. с устройства", {200, 275, 124, 15}},
                            {"День недели", {345, 35, 71, 15}},
                            {"Вид звукового сопровождения", {350, 230, 160, 15}},
                            {"Время перехода на частые звук.импульсы", {350, 270, 222, 15}}};
    auto all = find<QWidget>("configPage")->findChildren<QLabel*>();
    for (const Label& l : labels) {
        auto it = std::find_if(all.begin(), all.end(), [&](QLabel* x) { return x->text() == QString::fromUtf8(l.text); });
        ASSERT_NE(it, all.end()) << l.text;
        EXPECT_EQ((*it)->geometry(), l.rect) << l.text;
    }
}

TEST_F(AppTest, ListsHoldTheirItemsAndStartOnTheFirst) {
    auto* ports = find<QComboBox>("portSelector");
    ASSERT_EQ(ports->count(), 200);
    EXPECT_EQ(ports->itemText(0), "COM1");
    EXPECT_EQ(ports->itemText(11), "COM12");
    EXPECT_EQ(ports->itemText(199), "COM200");
    EXPECT_EQ(ports->currentText(), "COM1");
    EXPECT_FALSE(ports->isEditable());
    auto* days = find<QComboBox>("daySelector");
    const char* names[] = {"Понедельник", "Вторник", "Среда", "Четверг", "Пятница", "Суббота", "Воскресенье"};
    ASSERT_EQ(days->count(), 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(days->itemText(i), QString::fromUtf8(names[i]));
    EXPECT_EQ(days->currentIndex(), 0);
    auto* sound = find<QComboBox>("soundTypeSelector");
    ASSERT_EQ(sound->count(), 3);
    EXPECT_EQ(sound->itemText(1), QString::fromUtf8("Сигнал №2"));
    EXPECT_EQ(sound->currentIndex(), 0);
}

TEST_F(AppTest, StartUpShowsAnEmptyMondayWithSlotControlsGreyed) {
    for (int k = 1; k <= 12; ++k) {
        SCOPED_TRACE(k);
        EXPECT_TRUE(enabledBox(k)->isEnabled());
        EXPECT_FALSE(enabledBox(k)->isChecked());
        EXPECT_EQ(picker(k)->text(), "00:00");
        EXPECT_FALSE(picker(k)->isEnabled());
        EXPECT_EQ(volumeField(k)->text(), "0");
        EXPECT_FALSE(volumeField(k)->isEnabled());
    }
    EXPECT_FALSE(find<QWidget>("duplicateTimesIndicator")->isVisible());
    EXPECT_FALSE(find<QWidget>("volumeRangeIndicator")->isVisible());
    EXPECT_TRUE(find<QWidget>("daySelector")->isEnabled());
    EXPECT_TRUE(find<QWidget>("copyDayButton")->isEnabled());
    EXPECT_FALSE(find<QWidget>("soundTypeSelector")->isEnabled());
    EXPECT_FALSE(find<QWidget>("soundDisabledBox")->isEnabled());
    EXPECT_FALSE(find<QCheckBox>("soundDisabledBox")->isChecked());
    EXPECT_TRUE(find<QWidget>("connectButton")->isEnabled());
    EXPECT_TRUE(find<QWidget>("portSelector")->isEnabled());
    EXPECT_TRUE(find<QWidget>("deviceManagerButton")->isEnabled());
    EXPECT_FALSE(find<QPlainTextEdit>("logView")->isReadOnly());
    EXPECT_EQ(find<QPlainTextEdit>("logView")->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_TRUE(window->statusTimer().isActive());
    EXPECT_EQ(window->statusTimer().interval(), 300);
    EXPECT_TRUE(window->portScanTimer().isActive());
    EXPECT_EQ(window->portScanTimer().interval(), 1000);
}

TEST_F(AppTest, OneTickDisablesTheFiveLinkControlsWhileNoPortIsOpen) {
    const char* linkControls[] = {"writeProgramButton", "readProgramButton", "disconnectButton", "syncClockButton",
                                  "simulationBox"};
    for (const char* name : linkControls) find<QWidget>(name)->setEnabled(true);
    window->statusTick();
    for (const char* name : linkControls) EXPECT_FALSE(find<QWidget>(name)->isEnabled()) << name;
}

TEST_F(AppTest, ToolbarAndMenusShareOneActionPerCommand) {
    auto* toolbar = find<QToolBar>("mainToolbar");
    const QList<QAction*> items = toolbar->actions();
    // Seven buttons and two separators: 0 1 2 | 4 5 6 | 3.
    const int expected[] = {0, 1, 2, -1, 4, 5, 6, -1, 3};
    const char* tips[] = {"Создать новый документ", "Открыть файл", "Сохранить файл", "Выход",
                          "Открыть справку", "Сайт программы", "О программе"};
    ASSERT_EQ(items.size(), 9);
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        if (expected[i] < 0) {
            EXPECT_TRUE(items[i]->isSeparator());
            continue;
        }
        EXPECT_EQ(items[i]->data().toInt(), expected[i]);
        EXPECT_EQ(items[i]->toolTip(), QString::fromUtf8(tips[expected[i]]));
        EXPECT_FALSE(items[i]->icon().isNull());
    }
    EXPECT_EQ(toolbar->iconSize(), QSize(16, 16));

    const QList<QMenu*> menus = window->menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(window->menuBar()->actions().size(), 2);
    QMenu* file = window->menuBar()->actions()[0]->menu();
    QMenu* help = window->menuBar()->actions()[1]->menu();
    EXPECT_EQ(window->menuBar()->actions()[0]->text(), QString::fromUtf8("Файл"));
    EXPECT_EQ(window->menuBar()->actions()[1]->text(), QString::fromUtf8("Справка"));
    struct Item { int id; const char* text; };
    const Item fileItems[] = {{0, "Создать"}, {1, "Открыть"}, {2, "Сохранить"}, {-1, ""}, {3, "Выход"}};
    const Item helpItems[] = {{4, "Справка"}, {5, "Сайт"}, {6, "О программе"}};
    auto check = [&](QMenu* menu, const auto& expectedItems) {
        const QList<QAction*> acts = menu->actions();
        ASSERT_EQ(acts.size(), static_cast<qsizetype>(std::size(expectedItems)));
        for (size_t i = 0; i < std::size(expectedItems); ++i) {
            if (expectedItems[i].id < 0) {
                EXPECT_TRUE(acts[i]->isSeparator());
                continue;
            }
            EXPECT_EQ(acts[i]->text(), QString::fromUtf8(expectedItems[i].text));
            EXPECT_EQ(acts[i]->data().toInt(), expectedItems[i].id);
            // The menu item and the toolbar button are the same command.
            EXPECT_TRUE(items.contains(acts[i]));
            EXPECT_TRUE(acts[i]->shortcut().isEmpty());
        }
    };
    check(file, fileItems);
    check(help, helpItems);
}

TEST_F(AppTest, HelpAndWebSiteCommandsGoToTheDesktopAndChangeNothing) {
    QAction* help = window->findChild<QAction*>("command4");
    QAction* web = window->findChild<QAction*>("command5");
    ASSERT_TRUE(help && web);
    help->trigger();
    ASSERT_EQ(shell.opened.size(), 1);
    EXPECT_TRUE(shell.opened[0].endsWith("/help.chm"));
    EXPECT_TRUE(shell.opened[0].startsWith(QDir::currentPath()));
    web->trigger();
    ASSERT_EQ(shell.opened.size(), 2);
    EXPECT_TRUE(shell.opened[1].startsWith("http"));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(window->isEnabled());
    QTest::mouseClick(find<QPushButton>("deviceManagerButton"), Qt::LeftButton);
    EXPECT_EQ(shell.deviceManagerStarts, 1);
}

TEST_F(AppTest, ExitAsksAndOnlyYesEndsTheProgram) {
    boxes.answers = {zave::MessageAnswer::No};
    window->findChild<QAction*>("command3")->trigger();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "Выход");
    EXPECT_EQ(boxes.shown[0].text, "Вы действительно хотите выйти из программы?");
    EXPECT_EQ(boxes.shown[0].icon, zave::MessageIcon::Warning);
    EXPECT_EQ(boxes.shown[0].buttons, zave::MessageButtons::YesNo);
    EXPECT_EQ(quitCalls, 0);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->statusTimer().isActive());

    // The title-bar close asks the same question.
    boxes.answers = {zave::MessageAnswer::No};
    window->close();
    EXPECT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, "Вы действительно хотите выйти из программы?");
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(quitCalls, 0);

    boxes.answers = {zave::MessageAnswer::Yes};
    window->close();
    EXPECT_EQ(quitCalls, 1);
}

TEST_F(AppTest, AboutOpensOnceDisablesTheWindowAndClosesEitherWay) {
    for (int way = 0; way < 2; ++way) {
        SCOPED_TRACE(way);
        window->runCommand(CommandId::About);
        AboutWindow* about = window->aboutWindow();
        ASSERT_NE(about, nullptr);
        EXPECT_TRUE(about->isVisible());
        EXPECT_FALSE(window->isEnabled());
        window->runCommand(CommandId::About);
        EXPECT_EQ(window->aboutWindow(), about) << "a second About window must not open";
        EXPECT_EQ(window->findChildren<AboutWindow*>().size(), 1);

        // Timers keep running: a tick still updates the computer-date field.
        clock.time = {2027, 3, 14, 15, 9, 26, 0};
        window->statusTick();
        EXPECT_EQ(find<QLineEdit>("computerDateField")->text(), QString::fromUtf8("Вс. 14.03.2027  15:09:26"));
        EXPECT_TRUE(window->statusTimer().isActive());

        if (way == 0) {
            auto* ok = about->findChild<QPushButton*>("aboutOkButton");
            ASSERT_NE(ok, nullptr);
            QTest::mouseClick(ok, Qt::LeftButton);
        } else {
            about->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(window->aboutWindow(), nullptr);
        EXPECT_TRUE(window->findChildren<AboutWindow*>().isEmpty());
        EXPECT_TRUE(window->isEnabled());
    }
}

TEST_F(AppTest, ComputerDateFieldFollowsTheClockOnEveryTick) {
    clock.time = {2026, 12, 7, 9, 5, 3, 1};
    window->statusTick();
    EXPECT_EQ(find<QLineEdit>("computerDateField")->text(), QString::fromUtf8("Пн. 07.12.2026  09:05:03"));
    clock.time = {2040, 2, 29, 23, 59, 59, 3};
    window->statusTick();
    EXPECT_EQ(find<QLineEdit>("computerDateField")->text(), QString::fromUtf8("Ср. 29.02.2040  23:59:59"));
}

TEST_F(AppTest, ACloseRequestWhileTheWindowIsDisabledAsksNothing) {
    window->runCommand(CommandId::About);
    ASSERT_FALSE(window->isEnabled());
    window->close();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(quitCalls, 0);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(AppTest, NoTickRunsWhileACommandWaitsForItsBox) {
    // The box of New is answered only after a tick was tried meanwhile.
    struct TickingBoxes : zave::MessageBoxes {
        MainWindow* window = nullptr;
        zave::testing::FakeClock* clock = nullptr;
        zave::MessageAnswer show(std::string_view, std::string_view, zave::MessageIcon, zave::MessageButtons) override {
            clock->time = {2031, 1, 2, 3, 4, 5, 4};
            window->statusTick();
            return zave::MessageAnswer::No;
        }
    } ticking;
    clock.time = {2026, 12, 7, 9, 5, 3, 1};
    window->statusTick();
    MainWindowServices s = fakeServices();
    s.boxes = &ticking;
    MainWindow other(std::move(s));
    ticking.window = &other;
    ticking.clock = &clock;
    other.statusTick();
    other.runCommand(CommandId::New);
    EXPECT_EQ(other.findChild<QLineEdit*>("computerDateField")->text(), QString::fromUtf8("Пн. 07.12.2026  09:05:03"));
}

TEST_F(AppTest, ACheckBoxTakesAClickAnywhereInItsArea) {
    // The whole tabled area of a check box is its click area, also to the
    // right of a short caption.
    auto* simulation = find<QCheckBox>("simulationBox");
    auto* soundOff = find<QCheckBox>("soundDisabledBox");
    EXPECT_EQ(simulation->size(), QSize(214, 15));
    EXPECT_EQ(soundOff->size(), simulation->size());
    for (QCheckBox* box : window->findChildren<QCheckBox*>()) {
        SCOPED_TRACE(box->objectName().toStdString());
        QStyleOptionButton option;
        option.initFrom(box);
        option.rect = box->rect();
        option.text = box->text();
        EXPECT_EQ(box->style()->subElementRect(QStyle::SE_CheckBoxClickRect, &option, box), box->rect());
    }
    // Clicks near the right edge.
    for (int k : {1, 7, 12}) {
        SCOPED_TRACE(k);
        QTest::mouseClick(enabledBox(k), Qt::LeftButton, {}, QPoint(enabledBox(k)->width() - 2, 7));
        EXPECT_TRUE(enabledBox(k)->isChecked());
        EXPECT_EQ(window->document().slot(1, k).enabled, 1);
        EXPECT_TRUE(picker(k)->isEnabled());
    }
    simulation->setEnabled(true);  // as while a device is connected
    QTest::mouseClick(simulation, Qt::LeftButton, {}, QPoint(simulation->width() - 3, 7));
    EXPECT_TRUE(simulation->isChecked());
}
