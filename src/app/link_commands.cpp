// The link buttons of the main window and the device steps of the status
// tick: connect, disconnect, program write and read, the clock and the
// simulation.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/main_window.h"
#include "app/text_conversion.h"
#include "device/clock.h"
#include "device/volume.h"

void MainWindow::updateLinkControls() {
    const bool open = station_->isOpen();
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
    station_->sendCommand(zave::Simulate, {simulationLevel_, soundOff, signal, 0, 0, 0, 0, 0, 0, 0, 0, 0});
}

void MainWindow::showComputerDate() { computerDateField_->setText(u8(zave::computerDateText(clock_->now()))); }

void MainWindow::showDeviceDate(const zave::ReplyData& reply) {
    if (auto text = zave::deviceDateText(reply)) deviceDateField_->setText(u8(*text));
}

void MainWindow::connectDevice() {
    station_->connect(utf8(portSelector_->currentText()));
}

void MainWindow::closeLink() { station_->closeLink(); }

void MainWindow::writeProgram() {
    doc_.currentDay = daySelector_->currentIndex() + 1;
    station_->writeProgram(doc_, documentIsWritable());
    show();
}

void MainWindow::readProgram() {
    if (!station_->isOpen()) return;
    const auto held = station_->hold();
    station_->readProgram(doc_);
    showSoundSettings();
    refreshEditor();
    show();
}

void MainWindow::syncDeviceClock() {
    station_->syncClock();
}
