// The weekly-plan editor of the main window: the day shown, its twelve slots
// and the sound settings, their checks and the copy-day dialog.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <algorithm>

#include "app/clickable_picture.h"
#include "app/main_window.h"
#include "app/text_conversion.h"
#include "schedule/number_rule.h"
#include "schedule/validation.h"

using zave::MessageButtons;
using zave::MessageIcon;

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
    ask("Ошибка!", zave::dayCheckMessage(zave::DayCheckResult::DuplicateTimes), MessageIcon::Warning, MessageButtons::Ok);
}

void MainWindow::showVolumeRangeMessage() {
    ask("Ошибка!", zave::dayCheckMessage(zave::DayCheckResult::VolumeOutOfRange), MessageIcon::Warning, MessageButtons::Ok);
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
