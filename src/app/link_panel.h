// The link panel: the port selector and the link buttons, the log, both
// dates and the clock button. It forwards the operator's clicks to the
// device station and shows what the status tick brings. It forwards the
// focus and, on each tick, the sound controls to the simulation.
#pragma once

#include <QObject>
#include <array>
#include <string>

#include "app/config_page.h"
#include "app/simulation.h"
#include "app/week_plan_editor.h"
#include "device/device_station.h"
#include "link/host.h"

class DesktopShell;

class LinkPanel final : public QObject {
    Q_OBJECT
public:
    struct Parts {
        zave::DeviceStation& station;
        WeekPlanEditor& editor;
        zave::Clock& clock;
        DesktopShell& shell;
        // The slots' volume fields: their focus and text feed the simulation.
        std::array<QLineEdit*, zave::kSlotCount> volumeFields;
    };
    LinkPanel(const LinkControls& link, const SoundControls& sound, QWidget* window, Parts parts);

    // The device steps of the status tick: the computer's date, the link
    // monitor, the simulation and the buttons' state.
    void statusStep();
    int32_t simulationLevel() const { return simulation_.level(); }

private:
    void connectDevice();
    void writeProgram();
    void readProgram();
    void forwardFocusToSimulation();
    void sendSimulation();
    void updateLinkControls();
    std::string portSelectorText() const;

    LinkControls c_;
    SoundControls sound_;
    QWidget* window_;
    Parts parts_;
    Simulation simulation_;
};
