// The week-plan view: the day selector, the copy-day button and dialog, the
// two fault indicators and the twelve slots. It renders what the editor
// tells it and forwards the operator's changes.
#pragma once

#include <QObject>
#include <QPointer>

#include "app/config_page.h"
#include "app/copy_day_dialog.h"
#include "app/week_plan_editor.h"
#include "link/host.h"

class WeekPlanPanel final : public QObject, public WeekPlanView {
    Q_OBJECT
public:
    // `window` is disabled while the copy-day dialog is open; `boxes` shows
    // the editor's error messages.
    WeekPlanPanel(const WeekPlanControls& controls, QWidget* window, zave::MessageBoxes& boxes);
    ~WeekPlanPanel() override;
    // Connects the controls to `editor`.
    void attach(WeekPlanEditor& editor);
    CopyDayDialog* copyDayDialog() const { return copyDayDialog_; }

    void showDaySelection(int day) override;
    void showSlots(const std::array<ShownSlot, zave::kSlotCount>& slots) override;
    void showSlotEnabling(const std::array<bool, zave::kSlotCount>& enabled) override;
    void showDayCheck(const DayCheck& check) override;

private:
    std::array<SlotEntry, zave::kSlotCount> entries() const;
    void openCopyDayDialog();
    void copyDays();
    void closeCopyDayDialog();

    WeekPlanControls c_;
    QWidget* window_;
    zave::MessageBoxes& boxes_;
    WeekPlanEditor* editor_ = nullptr;
    QPointer<CopyDayDialog> copyDayDialog_;
};

// The sound settings view: the sound type, the pulse switch time and the
// sound-off box.
class SoundSettingsPanel final : public QObject, public SoundSettingsView {
    Q_OBJECT
public:
    explicit SoundSettingsPanel(const SoundControls& controls) : c_(controls) {}
    void attach(WeekPlanEditor& editor);
    void showSoundSettings(const ShownSoundSettings& settings) override;
    void showCorrectedPulseSwitchTime(const std::string& text) override;

private:
    SoundControls c_;
};
