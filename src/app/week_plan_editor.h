// The week-plan editor without its widgets: the document, the day shown,
// the day check and whether writing is allowed, storing and showing a day,
// the pulse-time correction and copying days. A view renders what it is
// told and forwards the operator's changes.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "schedule/document.h"
#include "schedule/validation.h"

// The check of the day shown: its fault, if any.
struct DayCheck {
    zave::DayCheckResult fault = zave::DayCheckResult::None;
    bool duplicateTimes() const { return fault == zave::DayCheckResult::DuplicateTimes; }
    bool volumeOutOfRange() const { return fault == zave::DayCheckResult::VolumeOutOfRange; }
    // A program with a faulty day shown may not be written (nor may another day be chosen).
    bool writable() const { return fault == zave::DayCheckResult::None; }
};

// One slot as its controls show it: a stored time outside a clock time
// shows as the nearest valid one.
struct ShownSlot {
    bool enabled = false;
    int hour = 0;
    int minute = 0;
    int volume = 0;
};

// One slot as the operator left its controls.
struct SlotEntry {
    bool enabled = false;
    int hour = 0;  // the picker's time
    int minute = 0;
    std::string volumeText;
};

// The sound settings as their controls show them.
struct ShownSoundSettings {
    int soundTypeIndex = -1;  // -1: no item
    std::string pulseSwitchTime;
    bool soundDisabled = false;
};

class SoundSettingsView {
public:
    virtual ~SoundSettingsView() = default;
    virtual void showSoundSettings(const ShownSoundSettings& settings) = 0;
    // Replaces the pulse-time text as a whole, the caret at its start.
    virtual void showCorrectedPulseSwitchTime(const std::string& text) = 0;
};

class WeekPlanView {
public:
    virtual ~WeekPlanView() = default;
    virtual void showDaySelection(int day) = 0;
    // The slots' boxes, times and volumes, then which pickers and fields are enabled.
    virtual void showSlots(const std::array<ShownSlot, zave::kSlotCount>& slots) = 0;
    virtual void showSlotEnabling(const std::array<bool, zave::kSlotCount>& enabled) = 0;
    virtual void showDayCheck(const DayCheck& check) = 0;
};

class WeekPlanEditor {
public:
    WeekPlanEditor(zave::ScheduleDocument& doc, WeekPlanView& view, SoundSettingsView& sound)
        : doc_(doc), view_(view), sound_(sound) {}

    zave::ScheduleDocument& document() { return doc_; }
    int shownDay() const { return doc_.currentDay; }
    const DayCheck& dayCheck() const { return check_; }

    // Redraws the day shown and checks it.
    void refresh();
    // The operator chose `day` (1..7).
    void showDay(int day);
    // After the document was replaced (New, Open, a read): its settings,
    // its day and its slots.
    void showDocument();
    void showSoundSettings();

    // A picker's time changed: the whole day is taken from its controls, then redrawn.
    void storeDay(const std::array<SlotEntry, zave::kSlotCount>& entries);
    void setSlotEnabled(int slot, bool enabled);
    void setSlotVolume(int slot, std::string_view text);
    void editPulseSwitchTime(std::string_view text);
    // False (nothing changed) when no source or no target is selected.
    bool copyDays(int source, const std::vector<int>& targets);

private:
    void showSlotEnabling();
    void checkDay();

    zave::ScheduleDocument& doc_;
    WeekPlanView& view_;
    SoundSettingsView& sound_;
    DayCheck check_;
};
