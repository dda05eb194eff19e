#include "app/week_plan_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimeEdit>

#include "app/clickable_picture.h"
#include "app/text_conversion.h"

using zave::MessageButtons;
using zave::MessageIcon;

WeekPlanPanel::WeekPlanPanel(const WeekPlanControls& controls, QWidget* window, zave::MessageBoxes& boxes)
    : c_(controls), window_(window), boxes_(boxes) {}

WeekPlanPanel::~WeekPlanPanel() { delete copyDayDialog_.data(); }

// Every handler is bound to a signal that only the operator's own actions
// raise, or to one that the view blocks while it sets the control itself.
void WeekPlanPanel::attach(WeekPlanEditor& editor) {
    editor_ = &editor;
    connect(c_.copyDayButton, &QPushButton::clicked, this, &WeekPlanPanel::openCopyDayDialog);
    connect(c_.duplicateTimesIndicator, &ClickablePicture::clicked, this, [this] {
        boxes_.show("Ошибка!", zave::dayCheckMessage(zave::DayCheckResult::DuplicateTimes), MessageIcon::Warning,
                    MessageButtons::Ok);
    });
    connect(c_.volumeRangeIndicator, &ClickablePicture::clicked, this, [this] {
        boxes_.show("Ошибка!", zave::dayCheckMessage(zave::DayCheckResult::VolumeOutOfRange), MessageIcon::Warning,
                    MessageButtons::Ok);
    });
    connect(c_.daySelector, &QComboBox::activated, this, [this](int index) { editor_->showDay(index + 1); });
    for (int i = 0; i < zave::kSlotCount; ++i) {
        const int k = i + 1;
        connect(c_.slotTimePicker[i], &QTimeEdit::timeChanged, this, [this] { editor_->storeDay(entries()); });
        connect(c_.slotEnabledBox[i], &QCheckBox::clicked, this,
                [this, i, k] { editor_->setSlotEnabled(k, c_.slotEnabledBox[i]->isChecked()); });
        connect(c_.slotVolumeField[i], &QLineEdit::textEdited, this,
                [this, k](const QString& text) { editor_->setSlotVolume(k, utf8(text)); });
    }
}

std::array<SlotEntry, zave::kSlotCount> WeekPlanPanel::entries() const {
    std::array<SlotEntry, zave::kSlotCount> e;
    for (size_t i = 0; i < e.size(); ++i) {
        const QTime t = c_.slotTimePicker[i]->time();
        e[i] = {c_.slotEnabledBox[i]->isChecked(), t.hour(), t.minute(), utf8(c_.slotVolumeField[i]->text())};
    }
    return e;
}

void WeekPlanPanel::showDaySelection(int day) { c_.daySelector->setCurrentIndex(day - 1); }

void WeekPlanPanel::showSlots(const std::array<ShownSlot, zave::kSlotCount>& slots) {
    for (size_t i = 0; i < slots.size(); ++i) {
        QSignalBlocker block(c_.slotEnabledBox[i]);
        c_.slotEnabledBox[i]->setChecked(slots[i].enabled);
    }
    for (size_t i = 0; i < slots.size(); ++i) {
        QSignalBlocker blockPicker(c_.slotTimePicker[i]);
        c_.slotTimePicker[i]->setTime(QTime(slots[i].hour, slots[i].minute));
        QSignalBlocker blockField(c_.slotVolumeField[i]);
        c_.slotVolumeField[i]->setText(QString::number(slots[i].volume));
    }
}

void WeekPlanPanel::showSlotEnabling(const std::array<bool, zave::kSlotCount>& enabled) {
    for (size_t i = 0; i < enabled.size(); ++i) {
        c_.slotTimePicker[i]->setEnabled(enabled[i]);
        c_.slotVolumeField[i]->setEnabled(enabled[i]);
    }
}

void WeekPlanPanel::showDayCheck(const DayCheck& check) {
    c_.volumeRangeIndicator->setVisible(check.volumeOutOfRange());
    c_.duplicateTimesIndicator->setVisible(check.duplicateTimes());
    c_.daySelector->setEnabled(check.writable());
    c_.copyDayButton->setEnabled(check.writable());
}

void WeekPlanPanel::openCopyDayDialog() {
    if (copyDayDialog_) return;
    window_->setEnabled(false);
    copyDayDialog_ = new CopyDayDialog(window_);
    connect(copyDayDialog_, &CopyDayDialog::copyRequested, this, &WeekPlanPanel::copyDays);
    connect(copyDayDialog_, &CopyDayDialog::cancelRequested, this, &WeekPlanPanel::closeCopyDayDialog);
    connect(copyDayDialog_, &CopyDayDialog::closeRequested, this, &WeekPlanPanel::closeCopyDayDialog);
    copyDayDialog_->show();
}

void WeekPlanPanel::copyDays() {
    if (!copyDayDialog_) return;
    if (!editor_->copyDays(copyDayDialog_->selectedSource(), copyDayDialog_->selectedTargets())) {
        boxes_.show("Ошибка!", "В списке не выделены пункты.", MessageIcon::Warning, MessageButtons::Ok);
        return;
    }
    closeCopyDayDialog();
}

void WeekPlanPanel::closeCopyDayDialog() {
    if (copyDayDialog_) copyDayDialog_->deleteLater();
    copyDayDialog_ = nullptr;
    window_->setEnabled(true);
}

void SoundSettingsPanel::attach(WeekPlanEditor& editor) {
    connect(c_.pulseSwitchTimeField, &QLineEdit::textEdited, this,
            [&editor](const QString& text) { editor.editPulseSwitchTime(utf8(text)); });
}

void SoundSettingsPanel::showSoundSettings(const ShownSoundSettings& settings) {
    c_.soundTypeSelector->setCurrentIndex(settings.soundTypeIndex);
    c_.pulseSwitchTimeField->setText(u8(settings.pulseSwitchTime));
    c_.soundDisabledBox->setChecked(settings.soundDisabled);
}

void SoundSettingsPanel::showCorrectedPulseSwitchTime(const std::string& text) {
    c_.pulseSwitchTimeField->setText(u8(text));
    c_.pulseSwitchTimeField->setCursorPosition(0);
}
