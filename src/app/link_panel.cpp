#include "app/link_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/desktop_shell.h"
#include "app/text_conversion.h"
#include "device/clock.h"

LinkPanel::LinkPanel(const LinkControls& link, const SoundControls& sound, QWidget* window, Parts parts)
    : c_(link), sound_(sound), window_(window), parts_(std::move(parts)) {
    // portSelector, logView and the date fields have no action: they are read or written when needed.
    connect(c_.deviceManagerButton, &QPushButton::clicked, this, [this] { parts_.shell.startDeviceManager(); });
    connect(c_.connectButton, &QPushButton::clicked, this, &LinkPanel::connectDevice);
    connect(c_.writeProgramButton, &QPushButton::clicked, this, &LinkPanel::writeProgram);
    connect(c_.readProgramButton, &QPushButton::clicked, this, &LinkPanel::readProgram);
    connect(c_.disconnectButton, &QPushButton::clicked, this, [this] { parts_.station.closeLink(); });
    connect(c_.syncClockButton, &QPushButton::clicked, this, [this] { parts_.station.syncClock(); });
    forwardFocusToSimulation();
}

void LinkPanel::forwardFocusToSimulation() {
    const auto volumeSlot = [fields = parts_.volumeFields](const QWidget* w) -> std::optional<int> {
        for (size_t i = 0; i < fields.size(); ++i)
            if (w != nullptr && w == fields[i]) return static_cast<int>(i) + 1;
        return std::nullopt;
    };
    simulation_.volumeFocusChanged(volumeSlot(QApplication::focusWidget()));
    connect(qApp, &QApplication::focusChanged, this,
            [this, volumeSlot](QWidget*, QWidget* now) { simulation_.volumeFocusChanged(volumeSlot(now)); });
}

std::string LinkPanel::portSelectorText() const { return utf8(c_.portSelector->currentText()); }

void LinkPanel::statusStep() {
    c_.computerDateField->setText(u8(zave::computerDateText(parts_.clock.now())));
    parts_.station.monitorLink(portSelectorText(), [this](const zave::ReplyData& reply) {
        if (auto text = zave::deviceDateText(reply)) c_.deviceDateField->setText(u8(*text));
    });
    if (parts_.station.isOpen() && sound_.simulationBox->isChecked()) sendSimulation();
    updateLinkControls();
}

void LinkPanel::updateLinkControls() {
    const bool open = parts_.station.isOpen();
    for (QWidget* w : std::initializer_list<QWidget*>{c_.writeProgramButton, c_.readProgramButton,
                                                      c_.disconnectButton, c_.syncClockButton, sound_.simulationBox})
        w->setEnabled(open);
}

void LinkPanel::sendSimulation() {
    SimulationControls controls{sound_.soundDisabledBox->isChecked(), sound_.soundTypeSelector->currentIndex(), {}};
    if (const std::optional<int> slot = simulation_.editedSlot())
        controls.editedVolumeText = utf8(parts_.volumeFields[static_cast<size_t>(*slot - 1)]->text());
    // The result is not examined.
    parts_.station.sendCommand(zave::Simulate, simulation_.nextArguments(controls));
}

void LinkPanel::connectDevice() { parts_.station.connect(portSelectorText()); }

void LinkPanel::writeProgram() {
    parts_.station.writeProgram(parts_.editor.document(), parts_.editor.dayCheck().writable());
    window_->show();
}

void LinkPanel::readProgram() {
    if (!parts_.station.isOpen()) return;
    const auto held = parts_.station.hold();
    parts_.station.readProgram(parts_.editor.document());
    parts_.editor.showSoundSettings();
    parts_.editor.refresh();
    window_->show();
}
