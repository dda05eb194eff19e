// The main window: its building, menus and toolbar, the timers, the close
// request and the two ticks.
#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QToolBar>

#include "app/config_page.h"
#include "app/desktop_shell.h"
#include "app/document_controller.h"
#include "app/embedded_images.h"
#include "app/file_dialogs.h"
#include "app/held_dialogs.h"
#include "app/link_panel.h"
#include "app/log_view_sink.h"
#include "app/qt_event_pump.h"
#include "app/qt_message_boxes.h"
#include "app/qt_progress_ui.h"
#include "app/text_conversion.h"
#include "app/week_plan_panel.h"
#include "device/eeprom_question_box.h"

using zave::MessageAnswer;
using zave::MessageButtons;
using zave::MessageIcon;

namespace {

constexpr char kWindowTitle[] = "Orvatone Zave (Для речевого информатора )";
constexpr int kInnerWidth = 771;
constexpr int kInnerHeight = 474;

template <class T, class Make>
T* serviceOrOwn(T* given, std::unique_ptr<T>& own, Make make) {
    if (given) return given;
    own = make();
    return own.get();
}

}  // namespace

struct MainWindow::Parts {
    // Services: the ones given, or the window's own.
    std::unique_ptr<zave::MessageBoxes> ownBoxes;
    std::unique_ptr<FileDialogs> ownFileDialogs;
    std::unique_ptr<DesktopShell> ownShell;
    std::unique_ptr<zave::PortCatalog> ownCatalog;
    std::unique_ptr<zave::Clock> ownClock;
    zave::MessageBoxes* boxes = nullptr;
    FileDialogs* fileDialogs = nullptr;
    DesktopShell* shell = nullptr;
    zave::PortCatalog* catalog = nullptr;
    zave::Clock* clock = nullptr;
    std::function<void()> quit;

    zave::ScheduleDocument doc;
    ConfigPage page;
    std::unique_ptr<zave::LogSink> log;
    std::unique_ptr<zave::EventPump> pump;
    std::unique_ptr<zave::ProgressUi> progress;
    std::unique_ptr<zave::EepromQuestionBox> eeprom;
    std::unique_ptr<zave::DeviceStation> station;
    std::unique_ptr<HeldMessageBoxes> heldBoxes;
    std::unique_ptr<HeldFileDialogs> heldFileDialogs;
    std::unique_ptr<WeekPlanPanel> planView;
    std::unique_ptr<SoundSettingsPanel> soundView;
    std::unique_ptr<WeekPlanEditor> editor;
    std::unique_ptr<DocumentController> documents;
    std::unique_ptr<LinkPanel> linkPanel;
    std::unique_ptr<CommandActions> commands;
};

// ---- Building

MainWindow::MainWindow(MainWindowServices services, QWidget* parent)
    : QMainWindow(parent), parts_(std::make_unique<Parts>()) {
    Parts& p = *parts_;
    // Start-up: the images, the document tables and replyData.
    preloadEmbeddedImages();
    zave::resetDocument(p.doc);

    p.boxes = serviceOrOwn(services.boxes, p.ownBoxes, [this] { return std::make_unique<QtMessageBoxes>(this); });
    p.fileDialogs =
        serviceOrOwn(services.fileDialogs, p.ownFileDialogs, [this] { return std::make_unique<QtFileDialogs>(this); });
    p.shell = serviceOrOwn(services.shell, p.ownShell, [] { return std::make_unique<SystemDesktopShell>(); });
    p.catalog = serviceOrOwn(services.catalog, p.ownCatalog, [] { return zave::makeSystemPortCatalog(); });
    p.clock = serviceOrOwn(services.clock, p.ownClock, [] { return std::make_unique<zave::SystemClock>(); });
    p.quit = services.quit ? services.quit : [] { QCoreApplication::exit(0); };

    setWindowTitle(QString::fromUtf8(kWindowTitle));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    auto* central = new QWidget(this);
    central->setObjectName("clientArea");
    central->setFixedSize(kInnerWidth, kInnerHeight);
    setCentralWidget(central);
    buildMenuAndToolbar();
    p.page = buildConfigPage(central);

    p.log = std::make_unique<LogViewSink>(p.page.link.logView, *p.clock);
    p.pump = std::make_unique<QtEventPump>();
    p.progress = std::make_unique<QtProgressUi>(this);
    p.eeprom = std::make_unique<zave::EepromQuestionBox>(*p.boxes);
    p.station = std::make_unique<zave::DeviceStation>(
        services.port ? std::move(services.port) : zave::makeSystemSerialPort(),
        zave::StationHooks{*p.boxes, *p.eeprom, *p.log, *p.pump, *p.progress, *p.clock});
    p.heldBoxes = std::make_unique<HeldMessageBoxes>(*p.boxes, *p.station);
    p.heldFileDialogs = std::make_unique<HeldFileDialogs>(*p.fileDialogs, *p.station);

    p.planView = std::make_unique<WeekPlanPanel>(p.page.plan, this, *p.heldBoxes);
    p.soundView = std::make_unique<SoundSettingsPanel>(p.page.sound);
    p.editor = std::make_unique<WeekPlanEditor>(p.doc, *p.planView, *p.soundView);
    p.documents = std::make_unique<DocumentController>(*p.editor, *p.heldBoxes, *p.heldFileDialogs);
    p.linkPanel = std::make_unique<LinkPanel>(
        p.page.link, p.page.sound, this,
        LinkPanel::Parts{*p.station, *p.editor, *p.clock, *p.shell, p.page.plan.slotVolumeField});
    p.commands = std::make_unique<CommandActions>(*p.documents, *p.shell, this, [this] { confirmExit(); });

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

    p.planView->attach(*p.editor);
    p.soundView->attach(*p.editor);

    // Last steps before showing: sound-off box cleared, Monday selected, editor drawn.
    p.page.sound.soundDisabledBox->setChecked(false);
    p.page.plan.daySelector->setCurrentIndex(0);
    p.editor->showDay(1);

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
    if (parts_->station) parts_->station->shutdown();
}

void MainWindow::buildMenuAndToolbar() {
    std::array<QAction*, std::size(kCommands)> actions{};
    for (const CommandEntry& c : kCommands) {
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
    fill(file, kFileMenu);
    QMenu* help = menuBar()->addMenu(QString::fromUtf8("Справка"));
    help->setObjectName("helpMenu");
    fill(help, kHelpMenu);

    // The toolbar lives in the client area, above the tab control.
    auto* toolbar = new QToolBar(centralWidget());
    toolbar->setObjectName("mainToolbar");
    toolbar->setIconSize(QSize(16, 16));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolbar->setStyleSheet("QToolBar { border: 0px; }");
    for (int id : kToolbar) {
        if (id < 0) toolbar->addSeparator();
        else toolbar->addAction(actions[static_cast<size_t>(id)]);
    }
    toolbar->setGeometry(0, 0, kInnerWidth, 28);
}

void MainWindow::runCommand(CommandId id) { parts_->commands->run(id); }

zave::ScheduleDocument& MainWindow::document() { return parts_->doc; }
void MainWindow::refreshEditor() { parts_->editor->refresh(); }
bool MainWindow::documentIsWritable() const { return parts_->editor->dayCheck().writable(); }
bool MainWindow::linkPortOpen() const { return parts_->station->isOpen(); }
int32_t MainWindow::simulationLevel() const { return parts_->linkPanel->simulationLevel(); }
const std::vector<std::string>& MainWindow::knownPorts() const { return parts_->station->knownPorts(); }
AboutWindow* MainWindow::aboutWindow() const { return parts_->commands->aboutWindow(); }
CopyDayDialog* MainWindow::copyDayDialog() const { return parts_->planView->copyDayDialog(); }

// ---- Close requests

void MainWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    // A disabled window (a dialog or an exchange is in progress) takes no close request.
    if (!isEnabled() || parts_->station->busy()) return;
    confirmExit();
}

void MainWindow::confirmExit() {
    if (parts_->heldBoxes->show("Выход", "Вы действительно хотите выйти из программы?", MessageIcon::Warning,
                                MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    statusTimer_.stop();
    portScanTimer_.stop();
    parts_->station->shutdown();
    hide();
    parts_->quit();
}

// ---- The status and port-scan ticks

void MainWindow::statusTick() {
    if (parts_->station->busy()) return;
    const auto held = parts_->station->hold();
    parts_->linkPanel->statusStep();
}

void MainWindow::portScanTick() { parts_->station->scanPorts(*parts_->catalog); }
