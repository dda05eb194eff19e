// The program's one permanent window and the event routing behind it.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <string_view>

#include "app/about_window.h"
#include "app/copy_day_dialog.h"
#include "device/device_station.h"
#include "device/eeprom_question_box.h"
#include "link/discovery.h"
#include "link/host.h"
#include "link/serial_port.h"
#include "schedule/document.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTimeEdit;
class QToolBar;
class DesktopShell;
class FileDialogs;

// Menu items and toolbar buttons share these ids.
enum class CommandId : int { New = 0, Open = 1, Save = 2, Exit = 3, Help = 4, WebSite = 5, About = 6 };

// What the window uses from outside; anything left empty gets the real one.
struct MainWindowServices {
    zave::MessageBoxes* boxes = nullptr;
    FileDialogs* fileDialogs = nullptr;
    DesktopShell* shell = nullptr;
    zave::PortCatalog* catalog = nullptr;
    zave::Clock* clock = nullptr;
    std::unique_ptr<zave::SerialPort> port;  // the link port
    std::function<void()> quit;              // ends the program
};

class ClickablePicture;
struct MainWindowTables;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(MainWindowServices services = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Runs the command of a menu item or toolbar button.
    void runCommand(CommandId id);

    zave::ScheduleDocument& document() { return doc_; }
    bool linkPortOpen() const { return station_->isOpen(); }
    QTimer& statusTimer() { return statusTimer_; }
    QTimer& portScanTimer() { return portScanTimer_; }
    const std::vector<std::string>& knownPorts() const { return station_->knownPorts(); }
    AboutWindow* aboutWindow() const { return aboutWindow_; }
    CopyDayDialog* copyDayDialog() const { return copyDayDialog_; }
    bool documentIsWritable() const { return duplicateTimesClear_ + volumeRangeClear_ == 2; }
    int32_t simulationLevel() const { return simulationLevel_; }

    // Steps of the event loop, public so that tests can drive a tick.
    void statusTick();
    void portScanTick();

    // Editor.
    void refreshEditor();
    void storeDay();
    void checkDay();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    friend struct MainWindowTables;
    // Building the window.
    void buildMenuAndToolbar();
    void buildPage();
    void connectControls();
    QWidget* place(QWidget* w, int x, int y, int width, int height, const char* name = nullptr);

    // Editor.
    void showDay();
    void applySlotEnabling();
    void showSoundSettings();
    void onSlotTimePicker(int k);
    void onSlotEnabledBox(int k);
    void onSlotVolumeField(int k);
    void onDaySelector();
    void correctPulseSwitchTime();
    void showDuplicateTimesMessage();
    void showVolumeRangeMessage();

    // Commands.
    void newDocument();
    void openDocument();
    void saveDocument();
    void confirmExit();
    void openHelp();
    void openWebSite();
    void showAbout();
    void closeAbout();
    void launchDeviceManager();
    void openCopyDayDialog();
    void copyDays();
    void closeCopyDayDialog();

    // Link and device.
    void connectDevice();
    void closeLink();
    void writeProgram();
    void readProgram();
    void syncDeviceClock();
    void showComputerDate();
    void showDeviceDate(const zave::ReplyData& reply);
    void sendSimulation();
    void updateLinkControls();

    zave::MessageAnswer ask(std::string_view title, std::string_view text, zave::MessageIcon icon,
                            zave::MessageButtons buttons);

    // Services.
    std::unique_ptr<zave::MessageBoxes> ownBoxes_;
    std::unique_ptr<FileDialogs> ownFileDialogs_;
    std::unique_ptr<DesktopShell> ownShell_;
    std::unique_ptr<zave::PortCatalog> ownCatalog_;
    std::unique_ptr<zave::Clock> ownClock_;
    zave::MessageBoxes* boxes_;
    FileDialogs* fileDialogs_;
    DesktopShell* shell_;
    zave::PortCatalog* catalog_;
    zave::Clock* clock_;
    std::function<void()> quit_;

    // Process-wide state.
    zave::ScheduleDocument doc_;
    std::unique_ptr<zave::LogSink> log_;
    std::unique_ptr<zave::EventPump> pump_;
    std::unique_ptr<zave::ProgressUi> progress_;
    std::unique_ptr<zave::EepromQuestionBox> eeprom_;
    std::unique_ptr<zave::DeviceStation> station_;
    int32_t simulationLevel_ = 0;
    int duplicateTimesClear_ = 1;
    int volumeRangeClear_ = 1;
    QPointer<AboutWindow> aboutWindow_;
    QPointer<CopyDayDialog> copyDayDialog_;
    QTimer statusTimer_;
    QTimer portScanTimer_;

    // Controls.
    QToolBar* mainToolbar_ = nullptr;
    QTabWidget* configPanel_ = nullptr;
    QWidget* page_ = nullptr;
    QComboBox* portSelector_ = nullptr;
    QPushButton* deviceManagerButton_ = nullptr;
    QPushButton* connectButton_ = nullptr;
    QPlainTextEdit* logView_ = nullptr;
    QPushButton* writeProgramButton_ = nullptr;
    QPushButton* readProgramButton_ = nullptr;
    QPushButton* disconnectButton_ = nullptr;
    QLineEdit* computerDateField_ = nullptr;
    QLineEdit* deviceDateField_ = nullptr;
    QPushButton* syncClockButton_ = nullptr;
    QComboBox* daySelector_ = nullptr;
    QPushButton* copyDayButton_ = nullptr;
    ClickablePicture* duplicateTimesIndicator_ = nullptr;
    ClickablePicture* volumeRangeIndicator_ = nullptr;
    std::array<QCheckBox*, zave::kSlotCount> slotEnabledBox_{};
    std::array<QTimeEdit*, zave::kSlotCount> slotTimePicker_{};
    std::array<QLineEdit*, zave::kSlotCount> slotVolumeField_{};
    QComboBox* soundTypeSelector_ = nullptr;
    QLineEdit* pulseSwitchTimeField_ = nullptr;
    QCheckBox* soundDisabledBox_ = nullptr;
    QCheckBox* simulationBox_ = nullptr;
};
