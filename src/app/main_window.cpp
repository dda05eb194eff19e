#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTimeEdit>
#include <QToolBar>

#include "app/about_window.h"
#include "app/copy_day_dialog.h"
#include "app/desktop_shell.h"
#include "app/qt_hooks.h"
#include "device/clock.h"
#include "device/volume.h"
#include "link/datemask.h"
#include "link/port_names.h"
#include "schedule/file_name.h"
#include "schedule/number_rule.h"
#include "schedule/ptm_codec.h"
#include "schedule/validation.h"

using zave::MessageAnswer;
using zave::MessageButtons;
using zave::MessageIcon;

namespace {

constexpr char kWindowTitle[] = "Orvatone Zave (Для речевого информатора )";
constexpr int kInnerWidth = 771;
constexpr int kInnerHeight = 474;

QString u8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string utf8(const QString& s) { return s.toStdString(); }

// ---- Dispatch table for commands: menu item, toolbar tooltip, image, action.
struct CommandEntry {
    CommandId id;
    const char* menu;
    const char* menuItem;
    const char* tooltip;
    int imageId;
    void (MainWindow::*action)();
};

// The exchange log in logView.
class LogViewSink final : public zave::LogSink {
public:
    LogViewSink(QPlainTextEdit* view, zave::Clock& clock) : view_(view), clock_(clock) {}
    void logLine(std::string_view text, zave::LogMode mode) override {
        switch (mode) {
        case zave::LogMode::Clear: view_->clear(); break;
        case zave::LogMode::Plain: view_->appendPlainText(u8(text)); break;
        case zave::LogMode::Stamped: view_->appendPlainText(u8(zave::stampedLogText(clock_.now(), text))); break;
        }
    }

private:
    QPlainTextEdit* view_;
    zave::Clock& clock_;
};

// Marks the window busy for the lifetime of the guard.
class BusyGuard {
public:
    explicit BusyGuard(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
    ~BusyGuard() { flag_ = was_; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    bool& flag_;
    bool was_;
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

// ---- ClickablePicture

ClickablePicture::ClickablePicture(const QPixmap& pixmap, QWidget* parent) : QWidget(parent), pixmap_(pixmap) {
    setCursor(Qt::PointingHandCursor);
}

void ClickablePicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), pixmap_);
}

void ClickablePicture::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) Q_EMIT clicked();
}

// ---- Building

MainWindow::MainWindow(MainWindowServices services, QWidget* parent) : QMainWindow(parent) {
    // Start-up: the empty knownPorts list exists with discovery_; then the
    // volume constants, the images, the document tables and replyData.
    zave::initVolumeConstants();
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
    port_ = services.port ? std::move(services.port) : zave::makeSystemSerialPort();

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
    engine_ = std::make_unique<zave::ExchangeEngine>(*port_, *boxes_);
    link_ = std::make_unique<zave::DeviceLink>(*port_, *engine_, *log_, *boxes_, *pump_);

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
    if (link_) link_->shutdown();
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

void MainWindow::buildPage() {
    configPanel_ = new QTabWidget(centralWidget());
    place(configPanel_, 5, 65, 760, 405, "configPanel");
    page_ = new QWidget;
    page_->setObjectName("configPage");
    configPanel_->addTab(page_, QString::fromUtf8("Конфигурация"));
    QWidget* p = page_;
    auto label = [&](const char* text, int x, int y, int w, int h) {
        place(new QLabel(QString::fromUtf8(text), p), x, y, w, h);
    };
    auto group = [&](const char* title, int x, int y, int w, int h) {
        auto* g = new QGroupBox(QString::fromUtf8(title), p);
        place(g, x, y, w, h);
        g->lower();
    };
    auto button = [&](const char* text, int x, int y, int w, int h, const char* name) {
        auto* b = new QPushButton(QString::fromUtf8(text), p);
        place(b, x, y, w, h, name);
        return b;
    };
    auto lineEdit = [&](int x, int y, int w, int h, const char* name) {
        auto* e = new QLineEdit(p);
        place(e, x, y, w, h, name);
        return e;
    };

    // Group "Настройка портов".
    group("Настройка портов", 3, 11, 333, 65);
    label("Порт", 10, 30, 30, 15);
    portSelector_ = new QComboBox(p);
    place(portSelector_, 10, 45, 65, 20, "portSelector");
    deviceManagerButton_ = button("Диспетчер устройств", 80, 45, 120, 20, "deviceManagerButton");
    connectButton_ = button("Установить связь", 205, 45, 120, 20, "connectButton");

    // Group "Статус устройства".
    group("Статус устройства", 3, 75, 333, 285);
    logView_ = new QPlainTextEdit(p);
    place(logView_, 10, 95, 180, 235, "logView");
    logView_->setLineWrapMode(QPlainTextEdit::NoWrap);
    logView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    logView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    writeProgramButton_ = button("Запись программы", 195, 95, 130, 20, "writeProgramButton");
    readProgramButton_ = button("Чтение программы ", 195, 125, 130, 20, "readProgramButton");
    disconnectButton_ = button("Разорвать связь", 195, 165, 130, 20, "disconnectButton");
    label("Работа с RTC:", 225, 220, 80, 15);
    label("Системная дата", 200, 235, 124, 15);
    computerDateField_ = lineEdit(200, 250, 130, 20, "computerDateField");
    label("Дата счит. с устройства", 200, 275, 124, 15);
    deviceDateField_ = lineEdit(200, 290, 130, 20, "deviceDateField");
    syncClockButton_ = button("Синхр.часы", 200, 320, 130, 20, "syncClockButton");

    // Group "Недельные планы".
    group("Недельные планы", 340, 10, 395, 210);
    label("День недели", 345, 35, 71, 15);
    daySelector_ = new QComboBox(p);
    place(daySelector_, 415, 30, 105, 20, "daySelector");
    copyDayButton_ = new QPushButton(p);
    place(copyDayButton_, 525, 30, 25, 25, "copyDayButton");
    copyDayButton_->setIcon(QIcon(embeddedImage(1)));
    copyDayButton_->setIconSize(QSize(24, 24));
    duplicateTimesIndicator_ = new ClickablePicture(embeddedImage(0), p);
    place(duplicateTimesIndicator_, 570, 30, 45, 30, "duplicateTimesIndicator");
    volumeRangeIndicator_ = new ClickablePicture(embeddedImage(0), p);
    place(volumeRangeIndicator_, 570, 30, 45, 30, "volumeRangeIndicator");
    for (int i = 0; i < zave::kSlotCount; ++i) {
        const int column = i / 6, row = i % 6;
        const int y = 65 + 25 * row;
        const int boxX = column ? 560 : 345, pickerX = column ? 635 : 420, fieldX = column ? 690 : 475;
        const QString k = QString::number(i + 1);
        slotEnabledBox_[i] = new QCheckBox(QString::fromUtf8("Включен"), p);
        place(slotEnabledBox_[i], boxX, y + 5, 69, 15);
        slotEnabledBox_[i]->setObjectName("slotEnabledBox" + k);
        slotTimePicker_[i] = new QTimeEdit(QTime::currentTime(), p);
        place(slotTimePicker_[i], pickerX, y, 52, 20);
        slotTimePicker_[i]->setObjectName("slotTimePicker" + k);
        slotTimePicker_[i]->setDisplayFormat("HH:mm");
        slotTimePicker_[i]->setCalendarPopup(false);
        slotTimePicker_[i]->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
        slotVolumeField_[i] = new QLineEdit(p);
        place(slotVolumeField_[i], fieldX, y, 40, 20);
        slotVolumeField_[i]->setObjectName("slotVolumeField" + k);
    }

    // Sound group, a frame without caption.
    group("", 340, 219, 395, 140);
    label("Вид звукового сопровождения", 350, 230, 160, 15);
    soundTypeSelector_ = new QComboBox(p);
    place(soundTypeSelector_, 350, 245, 105, 20, "soundTypeSelector");
    label("Время перехода на частые звук.импульсы", 350, 270, 222, 15);
    pulseSwitchTimeField_ = lineEdit(350, 285, 40, 20, "pulseSwitchTimeField");
    soundDisabledBox_ = new QCheckBox(QString::fromUtf8("Отключить звуковое сопровождение"), p);
    place(soundDisabledBox_, 350, 310, 214, 15, "soundDisabledBox");
    simulationBox_ = new QCheckBox(QString::fromUtf8("Включить симуляцию"), p);
    place(simulationBox_, 350, 330, 214, 15, "simulationBox");

    // Contents at creation.
    for (const std::string& name : zave::portSelectorNames()) portSelector_->addItem(QString::fromStdString(name));
    portSelector_->setCurrentIndex(0);
    for (std::string_view name : zave::kDayNames) daySelector_->addItem(u8(name));
    for (std::string_view name : zave::kSoundTypeNames) soundTypeSelector_->addItem(u8(name));
    soundTypeSelector_->setCurrentIndex(0);
    pulseSwitchTimeField_->setText("10");
    soundTypeSelector_->setEnabled(false);
    soundDisabledBox_->setEnabled(false);
    duplicateTimesIndicator_->hide();
    duplicateTimesClear_ = 1;
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
    if (!isEnabled() || busy_) return;
    confirmExit();
}

MessageAnswer MainWindow::ask(const char* title, const char* text, MessageIcon icon, MessageButtons buttons) {
    // No tick runs while the operator answers a box of a command.
    BusyGuard busy(busy_);
    return boxes_->show(title, text, icon, buttons);
}

void MainWindow::confirmExit() {
    if (ask("Выход", "Вы действительно хотите выйти из программы?", MessageIcon::Warning,
            MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    statusTimer_.stop();
    portScanTimer_.stop();
    link_->shutdown();
    hide();
    quit_();
}

// ---- The status and port-scan ticks

void MainWindow::statusTick() {
    if (busy_) return;
    BusyGuard busy(busy_);
    showComputerDate();
    link_->monitorLink(utf8(portSelector_->currentText()),
                       [this](const zave::ReplyData& reply) { showDeviceDate(reply); });
    if (link_->isOpen() && simulationBox_->isChecked()) sendSimulation();
    updateLinkControls();
}

void MainWindow::portScanTick() {
    if (busy_) return;
    discovery_.discoverPorts(link_->isOpen(), *catalog_, *log_);
}

void MainWindow::updateLinkControls() {
    const bool open = link_->isOpen();
    for (QWidget* w : std::initializer_list<QWidget*>{writeProgramButton_, readProgramButton_, disconnectButton_,
                                                      syncClockButton_, simulationBox_})
        w->setEnabled(open);
}

void MainWindow::sendSimulation() {
    QWidget* focus = QApplication::focusWidget();
    for (QLineEdit* field : slotVolumeField_)
        if (focus == field) simulationLevel_ = zave::simulationLevelFromText(utf8(field->text()));
    const int soundOff = soundDisabledBox_->isChecked() ? 1 : 0;
    const int signal = soundTypeSelector_->currentIndex() + 1;
    engine_->sendCommand(zave::Simulate, {simulationLevel_, soundOff, signal, 0, 0, 0, 0, 0, 0, 0, 0, 0});
}

void MainWindow::showComputerDate() { computerDateField_->setText(u8(zave::computerDateText(clock_->now()))); }

void MainWindow::showDeviceDate(const zave::ReplyData& reply) {
    if (auto text = zave::deviceDateText(reply)) deviceDateField_->setText(u8(*text));
}

// ---- Editor

void MainWindow::refreshEditor() {
    doc_.currentDay = daySelector_->currentIndex() + 1;
    for (int k = 1; k <= zave::kSlotCount; ++k) {
        QSignalBlocker block(slotEnabledBox_[k - 1]);
        slotEnabledBox_[k - 1]->setChecked(doc_.slot(doc_.currentDay, k).enabled == 1);
    }
    showDay();
    applySlotEnabling();
    checkDay();
}

void MainWindow::showDay() {
    const zave::DayPlan& day = doc_.day(doc_.currentDay);
    for (int k = 1; k <= zave::kSlotCount; ++k) {
        const zave::TimeSlot& s = day.slot(k);
        // A stored time outside a clock time shows as the nearest valid one;
        // the document keeps what it holds until a picker of the day changes.
        const int hour = std::clamp(s.hour, 0, 23);
        const int minute = std::clamp(s.minute, 0, 59);
        QSignalBlocker blockPicker(slotTimePicker_[k - 1]);
        slotTimePicker_[k - 1]->setTime(QTime(hour, minute));
        QSignalBlocker blockField(slotVolumeField_[k - 1]);
        slotVolumeField_[k - 1]->setText(QString::number(s.volume));
    }
}

void MainWindow::applySlotEnabling() {
    for (int k = 1; k <= zave::kSlotCount; ++k) {
        const bool on = doc_.slot(doc_.currentDay, k).enabled == 1;
        slotTimePicker_[k - 1]->setEnabled(on);
        slotVolumeField_[k - 1]->setEnabled(on);
    }
}

void MainWindow::checkDay() {
    const zave::DayCheckResult result = zave::checkDayPlan(doc_.day(doc_.currentDay));
    const bool volumeFault = result == zave::DayCheckResult::VolumeOutOfRange;
    const bool duplicateFault = result == zave::DayCheckResult::DuplicateTimes;
    volumeRangeIndicator_->setVisible(volumeFault);
    volumeRangeClear_ = volumeFault ? 0 : 1;
    duplicateTimesIndicator_->setVisible(duplicateFault);
    duplicateTimesClear_ = duplicateFault ? 0 : 1;
    const bool free = result == zave::DayCheckResult::None;
    daySelector_->setEnabled(free);
    copyDayButton_->setEnabled(free);
}

void MainWindow::storeDay() {
    zave::DayPlan& day = doc_.day(doc_.currentDay);
    for (int k = 1; k <= zave::kSlotCount; ++k) {
        zave::TimeSlot& s = day.slot(k);
        const std::string shown = utf8(slotTimePicker_[k - 1]->text());
        const size_t colon = shown.find(':');
        s.hour = zave::readInteger(shown.substr(0, colon));
        s.minute = colon == std::string::npos ? 0 : zave::readInteger(shown.substr(colon + 1));
        s.enabled = slotEnabledBox_[k - 1]->isChecked() ? 1 : 0;
        s.volume = zave::readInteger(utf8(slotVolumeField_[k - 1]->text()));
    }
}

void MainWindow::showSoundSettings() {
    soundTypeSelector_->setCurrentIndex(doc_.soundType >= 1 && doc_.soundType <= 3 ? doc_.soundType - 1 : -1);
    pulseSwitchTimeField_->setText(u8(doc_.pulseSwitchTime));
    soundDisabledBox_->setChecked(doc_.soundDisabled != 0);
}

void MainWindow::onSlotTimePicker(int) {
    storeDay();
    refreshEditor();
}

void MainWindow::onSlotEnabledBox(int k) {
    doc_.slot(doc_.currentDay, k).enabled = slotEnabledBox_[k - 1]->isChecked() ? 1 : 0;
    applySlotEnabling();
    checkDay();
}

void MainWindow::onSlotVolumeField(int k) {
    doc_.slot(doc_.currentDay, k).volume = zave::readInteger(utf8(slotVolumeField_[k - 1]->text()));
    checkDay();
}

void MainWindow::onDaySelector() {
    doc_.currentDay = daySelector_->currentIndex() + 1;
    refreshEditor();
}

void MainWindow::correctPulseSwitchTime() {
    const std::string text = utf8(pulseSwitchTimeField_->text());
    if (auto corrected = zave::correctedPulseSwitchTime(text)) {
        // Replaced as a whole with the caret at its start, so that typing on
        // does not glue digits to the correction ("5" before "11" reads 511).
        pulseSwitchTimeField_->setText(u8(*corrected));
        pulseSwitchTimeField_->setCursorPosition(0);
        doc_.pulseSwitchTime = *corrected;
    } else {
        doc_.pulseSwitchTime = text;
    }
}

void MainWindow::showDuplicateTimesMessage() {
    ask("Ошибка!", "Задано несколько, одинаковых, временных интервалов", MessageIcon::Warning, MessageButtons::Ok);
}

void MainWindow::showVolumeRangeMessage() {
    ask("Ошибка!", "Уровень громкости вне диапазона 0..100%", MessageIcon::Warning, MessageButtons::Ok);
}

// ---- Document commands

void MainWindow::newDocument() {
    if (ask("Создать", "Созданная  программа полностью заменит текущую!\nПродолжить?", MessageIcon::Warning,
            MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    zave::resetDocument(doc_);
    showSoundSettings();
    daySelector_->setCurrentIndex(doc_.currentDay - 1);
    refreshEditor();
}

void MainWindow::openDocument() {
    if (ask("Чтение файла", "Загруженная программа полностью заменит текущую!\nПродолжить?", MessageIcon::Warning,
            MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    std::optional<QString> path;
    {
        BusyGuard busy(busy_);
        path = fileDialogs_->openFile();
    }
    if (!path) return;
    switch (zave::readDocumentFile(utf8(*path), doc_)) {
    case zave::DocumentReadStatus::Ok: break;
    case zave::DocumentReadStatus::OpenFailed:
        ask("Ошибка", "При чтении произошла ошибка.\nФайл открыть не удалось.\n\n", MessageIcon::Warning,
            MessageButtons::Ok);
        break;
    case zave::DocumentReadStatus::BadFormat:
        ask("Ошибка", "Формат файла не поддерживается", MessageIcon::Warning, MessageButtons::Ok);
        break;
    }
    showSoundSettings();
    daySelector_->setCurrentIndex(doc_.currentDay - 1);
    refreshEditor();
}

void MainWindow::saveDocument() {
    for (;;) {
        std::optional<QString> chosen;
        {
            BusyGuard busy(busy_);
            chosen = fileDialogs_->saveFile();
        }
        if (!chosen) return;
        const std::string path = zave::withDocumentExtension(utf8(*chosen));
        if (QFileInfo::exists(QString::fromStdString(path))) {
            const std::string question = std::string(zave::filePart(path)) + " уже существует.\nЗаменить?";
            BusyGuard busy(busy_);
            if (boxes_->show("Подтвердить сохранение", question, MessageIcon::Warning, MessageButtons::YesNo) !=
                MessageAnswer::Yes)
                continue;
        }
        // The file takes the day shown and the sound settings as the controls hold them.
        doc_.currentDay = daySelector_->currentIndex() + 1;
        if (!zave::writeDocumentFile(path, doc_))
            ask("Ошибка", "При записи произошла ошибка.\nФайл сохранить не удалось.\n", MessageIcon::Warning,
                MessageButtons::Ok);
        return;
    }
}

// ---- Help, web site, device manager, About

void MainWindow::openHelp() { shell_->openWithDefaultHandler(QDir::current().absoluteFilePath("help.chm")); }

void MainWindow::openWebSite() { shell_->openWithDefaultHandler(QString::fromUtf8(kWebSiteAddress)); }

void MainWindow::launchDeviceManager() { shell_->startDeviceManager(); }

void MainWindow::showAbout() {
    if (aboutWindow_) return;
    setEnabled(false);
    aboutWindow_ = new AboutWindow(this);
    connect(aboutWindow_, &AboutWindow::okClicked, this, &MainWindow::closeAbout);
    connect(aboutWindow_, &AboutWindow::closeRequested, this, &MainWindow::closeAbout);
    aboutWindow_->show();
}

void MainWindow::closeAbout() {
    if (aboutWindow_) aboutWindow_->deleteLater();
    aboutWindow_ = nullptr;
    setEnabled(true);
}

// ---- Copy-day dialog

void MainWindow::openCopyDayDialog() {
    if (copyDayDialog_) return;
    setEnabled(false);
    copyDayDialog_ = new CopyDayDialog(this);
    connect(copyDayDialog_, &CopyDayDialog::copyRequested, this, &MainWindow::copyDays);
    connect(copyDayDialog_, &CopyDayDialog::cancelRequested, this, &MainWindow::closeCopyDayDialog);
    connect(copyDayDialog_, &CopyDayDialog::closeRequested, this, &MainWindow::closeCopyDayDialog);
    copyDayDialog_->show();
}

void MainWindow::copyDays() {
    if (!copyDayDialog_) return;
    const int source = copyDayDialog_->selectedSource();
    const std::vector<int> targets = copyDayDialog_->selectedTargets();
    if (!zave::copyDays(doc_, source, targets)) {
        ask("Ошибка!", "В списке не выделены пункты.", MessageIcon::Warning, MessageButtons::Ok);
        return;
    }
    closeCopyDayDialog();
    refreshEditor();
}

void MainWindow::closeCopyDayDialog() {
    if (copyDayDialog_) copyDayDialog_->deleteLater();
    copyDayDialog_ = nullptr;
    setEnabled(true);
}

// ---- Link and device operations

void MainWindow::connectDevice() {
    BusyGuard busy(busy_);
    link_->connectDevice(utf8(portSelector_->currentText()));
}

void MainWindow::closeLink() { link_->closeLink(); }

void MainWindow::writeProgram() {
    BusyGuard busy(busy_);
    zave::DeviceOperationContext ctx{*engine_, *log_, *boxes_, *progress_};
    doc_.currentDay = daySelector_->currentIndex() + 1;
    zave::writeProgram(ctx, link_->isOpen(), doc_, documentIsWritable());
    show();
}

void MainWindow::readProgram() {
    if (!link_->isOpen()) return;
    BusyGuard busy(busy_);
    zave::DeviceOperationContext ctx{*engine_, *log_, *boxes_, *progress_};
    zave::readProgram(ctx, link_->isOpen(), doc_);
    showSoundSettings();
    refreshEditor();
    show();
}

void MainWindow::syncDeviceClock() {
    BusyGuard busy(busy_);
    zave::syncDeviceClock(*engine_, link_->isOpen(), *clock_, *log_);
}
