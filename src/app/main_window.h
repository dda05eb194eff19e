// The program's one permanent window: it builds the page, the views and
// their presenters, wires them to the device station and the two timers,
// and handles the close request.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/about_window.h"
#include "app/command_actions.h"
#include "app/copy_day_dialog.h"
#include "link/discovery.h"
#include "link/host.h"
#include "link/serial_port.h"
#include "schedule/document.h"

class DesktopShell;
class FileDialogs;

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

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(MainWindowServices services = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Runs the command of a menu item or toolbar button.
    void runCommand(CommandId id);

    zave::ScheduleDocument& document();
    // Redraws the editor from the document (after a test changed it).
    void refreshEditor();
    bool documentIsWritable() const;
    bool linkPortOpen() const;
    int32_t simulationLevel() const;
    const std::vector<std::string>& knownPorts() const;
    AboutWindow* aboutWindow() const;
    CopyDayDialog* copyDayDialog() const;
    QTimer& statusTimer() { return statusTimer_; }
    QTimer& portScanTimer() { return portScanTimer_; }

    // Steps of the event loop, public so that tests can drive a tick.
    void statusTick();
    void portScanTick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenuAndToolbar();
    void confirmExit();

    // Everything the window builds: services, station, views and presenters.
    struct Parts;
    std::unique_ptr<Parts> parts_;
    QTimer statusTimer_;
    QTimer portScanTimer_;
};
