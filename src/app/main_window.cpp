// The main window: its building, menus and toolbar, the dispatch tables of
// commands, controls and timers, the close request and the two ticks.
#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimeEdit>
#include <QToolBar>

#include "app/clickable_picture.h"
#include "app/desktop_shell.h"
#include "app/embedded_images.h"
#include "app/file_dialogs.h"
#include "app/log_view_sink.h"
#include "app/qt_event_pump.h"
#include "app/qt_message_boxes.h"
#include "app/qt_progress_ui.h"
#include "app/text_conversion.h"
#include "device/volume.h"

using zave::MessageAnswer;
using zave::MessageButtons;
using zave::MessageIcon;

namespace {

constexpr char kWindowTitle[] = "Orvatone Zave (Для речевого информатора )";
constexpr int kInnerWidth = 771;
constexpr int kInnerHeight = 474;

// ---- Dispatch table for commands: menu item, toolbar tooltip, image, action.
struct CommandEntry {
    CommandId id;
    const char* menu;
    const char* menuItem;
    const char* tooltip;
    int imageId;
    void (MainWindow::*action)();
};

}  // namespace

// The commands, in CommandId order. Menu "Файл": 0, 1, 2, separator, 3;
// menu "Справка": 4, 5, 6. Toolbar: 0, 1, 2 | 4, 5, 6 | 3.
#define CMD(id, menu, item, tip, image, action) {CommandId::id, menu, item, tip, image, &MainWindow::action}
struct MainWindowTables {
    static constexpr CommandEntry commands[] = {
        CMD(New,     "Файл",    "Создать",     "Создать новый документ", 4,  newDocument),
        CMD(Open,    "Файл",    "Открыть",     "Открыть файл",           5,  openDocument),
        CMD(Save,    "Файл",    "Сохранить",   "Сохранить файл",         6,  saveDocument),
        CMD(Exit,    "Файл",    "Выход",       "Выход",                  10, confirmExit),
        CMD(Help,    "Справка", "Справка",     "Открыть справку",        7,  openHelp),
        CMD(WebSite, "Справка", "Сайт",        "Сайт программы",         8,  openWebSite),
        CMD(About,   "Справка", "О программе", "О программе",            9,  showAbout),
    };
    // Layout of the menus and the toolbar by CommandId; -1 is a separator.
    static constexpr int fileMenu[] = {0, 1, 2, -1, 3};
    static constexpr int helpMenu[] = {4, 5, 6};
    static constexpr int toolbar[] = {0, 1, 2, -1, 4, 5, 6, -1, 3};
};
#undef CMD

// ---- Building

MainWindow::MainWindow(MainWindowServices services, QWidget* parent) : QMainWindow(parent) {
    // Start-up: the empty knownPorts list exists with the station; then the
    // images, the document tables and replyData.
    preloadEmbeddedImages();
    zave::resetDocument(doc_);

    if (!services.boxes) ownBoxes_ = std::make_unique<QtMessageBoxes>(this);
    if (!services.fileDialogs) ownFileDialogs_ = std::make_unique<QtFileDialogs>(this);
    if (!services.shell) ownShell_ = std::make_unique<SystemDesktopShell>();
    if (!services.catalog) ownCatalog_ = zave::makeSystemPortCatalog();
    if (!services.clock) ownClock_ = std::make_unique<zave::SystemClock>();
    boxes_ = services.boxes ? services.boxes : ownBoxes_.get();
    fileDialogs_ = services.fileDialogs ? services.fileDialogs : ownFileDialogs_.get();
    shell_ = services.shell ? services.shell : ownShell_.get();
    catalog_ = services.catalog ? services.catalog : ownCatalog_.get();
    clock_ = services.clock ? services.clock : ownClock_.get();
    quit_ = services.quit ? services.quit : [] { QCoreApplication::exit(0); };

    setWindowTitle(QString::fromUtf8(kWindowTitle));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    auto* central = new QWidget(this);
    central->setObjectName("clientArea");
    central->setFixedSize(kInnerWidth, kInnerHeight);
    setCentralWidget(central);
    buildMenuAndToolbar();
    buildPage();

    log_ = std::make_unique<LogViewSink>(logView_, *clock_);
    pump_ = std::make_unique<QtEventPump>();
    progress_ = std::make_unique<QtProgressUi>(this);
    eeprom_ = std::make_unique<zave::EepromQuestionBox>(*boxes_);
    station_ = std::make_unique<zave::DeviceStation>(
        services.port ? std::move(services.port) : zave::makeSystemSerialPort(),
        zave::StationHooks{*boxes_, *eeprom_, *log_, *pump_, *progress_, *clock_});

    // Timers of the window: statusTimer (id 1) and portScanTimer (id 2).
    struct TimerEntry {
        QTimer* timer;
        int periodMs;
        void (MainWindow::*action)();
    };
    const TimerEntry timers[] = {
        {&statusTimer_, 300, &MainWindow::statusTick},
        {&portScanTimer_, 1000, &MainWindow::portScanTick},
    };
    for (const TimerEntry& t : timers) {
        t.timer->setInterval(t.periodMs);
        t.timer->setTimerType(Qt::PreciseTimer);
        connect(t.timer, &QTimer::timeout, this, t.action);
        t.timer->start();
    }
    statusTimer_.setObjectName("statusTimer");
    portScanTimer_.setObjectName("portScanTimer");

    connectControls();

    // Last steps before showing: sound-off box cleared, Monday selected, editor drawn.
    soundDisabledBox_->setChecked(false);
    daySelector_->setCurrentIndex(0);
    refreshEditor();

    setFixedSize(sizeHint());
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

MainWindow::~MainWindow() {
    statusTimer_.stop();
    portScanTimer_.stop();
    if (station_) station_->shutdown();
    delete aboutWindow_.data();
    delete copyDayDialog_.data();
}

QWidget* MainWindow::place(QWidget* w, int x, int y, int width, int height, const char* name) {
    w->setGeometry(x, y, width, height);
    if (name) w->setObjectName(name);
    return w;
}

void MainWindow::buildMenuAndToolbar() {
    const auto& cmds = MainWindowTables::commands;
    std::array<QAction*, std::size(MainWindowTables::commands)> actions{};
    for (const CommandEntry& c : cmds) {
        auto* action = new QAction(embeddedIcon(c.imageId), QString::fromUtf8(c.menuItem), this);
        action->setToolTip(QString::fromUtf8(c.tooltip));
        action->setData(static_cast<int>(c.id));
        action->setObjectName(QStringLiteral("command%1").arg(static_cast<int>(c.id)));
        connect(action, &QAction::triggered, this, [this, id = c.id] { runCommand(id); });
        actions[static_cast<size_t>(c.id)] = action;
    }
    auto fill = [&](QMenu* menu, const auto& layout) {
        for (int id : layout) {
            if (id < 0) menu->addSeparator();
            else menu->addAction(actions[static_cast<size_t>(id)]);
        }
    };
    QMenu* file = menuBar()->addMenu(QString::fromUtf8("Файл"));
    file->setObjectName("fileMenu");
    fill(file, MainWindowTables::fileMenu);
    QMenu* help = menuBar()->addMenu(QString::fromUtf8("Справка"));
    help->setObjectName("helpMenu");
    fill(help, MainWindowTables::helpMenu);

    // The toolbar lives in the client area, above the tab control.
    mainToolbar_ = new QToolBar(centralWidget());
    mainToolbar_->setObjectName("mainToolbar");
    mainToolbar_->setIconSize(QSize(16, 16));
    mainToolbar_->setMovable(false);
    mainToolbar_->setFloatable(false);
    mainToolbar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    mainToolbar_->setStyleSheet("QToolBar { border: 0px; }");
    for (int id : MainWindowTables::toolbar) {
        if (id < 0) mainToolbar_->addSeparator();
        else mainToolbar_->addAction(actions[static_cast<size_t>(id)]);
    }
    mainToolbar_->setGeometry(0, 0, kInnerWidth, 28);
}

void MainWindow::runCommand(CommandId id) {
    for (const CommandEntry& c : MainWindowTables::commands)
        if (c.id == id) (this->*c.action)();
}

// ---- Dispatch table for control events of the main window. Every handler
// is bound to a signal that only the operator's own actions raise, or to one
// that the program blocks while it sets the control itself.
void MainWindow::connectControls() {
    struct ButtonEntry {
        QPushButton* control;
        void (MainWindow::*action)();
    };
    const ButtonEntry buttons[] = {
        {copyDayButton_,       &MainWindow::openCopyDayDialog},
        {deviceManagerButton_, &MainWindow::launchDeviceManager},
        {connectButton_,       &MainWindow::connectDevice},
        {writeProgramButton_,  &MainWindow::writeProgram},
        {readProgramButton_,   &MainWindow::readProgram},
        {disconnectButton_,    &MainWindow::closeLink},
        {syncClockButton_,     &MainWindow::syncDeviceClock},
    };
    for (const ButtonEntry& b : buttons) connect(b.control, &QPushButton::clicked, this, b.action);

    struct PictureEntry {
        ClickablePicture* control;
        void (MainWindow::*action)();
    };
    const PictureEntry pictures[] = {
        {duplicateTimesIndicator_, &MainWindow::showDuplicateTimesMessage},
        {volumeRangeIndicator_,    &MainWindow::showVolumeRangeMessage},
    };
    for (const PictureEntry& e : pictures) connect(e.control, &ClickablePicture::clicked, this, e.action);

    connect(daySelector_, &QComboBox::activated, this, &MainWindow::onDaySelector);
    connect(pulseSwitchTimeField_, &QLineEdit::textEdited, this, &MainWindow::correctPulseSwitchTime);
    for (int i = 0; i < zave::kSlotCount; ++i) {
        const int k = i + 1;
        connect(slotTimePicker_[i], &QTimeEdit::timeChanged, this, [this, k] { onSlotTimePicker(k); });
        connect(slotEnabledBox_[i], &QCheckBox::clicked, this, [this, k] { onSlotEnabledBox(k); });
        connect(slotVolumeField_[i], &QLineEdit::textEdited, this, [this, k] { onSlotVolumeField(k); });
    }
    // portSelector, logView, the date fields, soundTypeSelector,
    // soundDisabledBox and simulationBox have no action: they are read when needed.
}

// ---- Close requests

void MainWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    // A disabled window (a dialog or an exchange is in progress) takes no close request.
    if (!isEnabled() || station_->busy()) return;
    confirmExit();
}

MessageAnswer MainWindow::ask(std::string_view title, std::string_view text, MessageIcon icon,
                             MessageButtons buttons) {
    // No tick runs while the operator answers a box of a command.
    const auto held = station_->hold();
    return boxes_->show(title, text, icon, buttons);
}

void MainWindow::confirmExit() {
    if (ask("Выход", "Вы действительно хотите выйти из программы?", MessageIcon::Warning,
            MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    statusTimer_.stop();
    portScanTimer_.stop();
    station_->shutdown();
    hide();
    quit_();
}

// ---- The status and port-scan ticks

void MainWindow::statusTick() {
    if (station_->busy()) return;
    const auto held = station_->hold();
    showComputerDate();
    station_->monitorLink(utf8(portSelector_->currentText()),
                       [this](const zave::ReplyData& reply) { showDeviceDate(reply); });
    if (station_->isOpen() && simulationBox_->isChecked()) sendSimulation();
    updateLinkControls();
}

void MainWindow::portScanTick() {
    station_->scanPorts(*catalog_);
}
