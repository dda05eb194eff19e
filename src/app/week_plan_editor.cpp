#include "app/week_plan_editor.h"

#include <algorithm>

#include "schedule/number_rule.h"

void WeekPlanEditor::refresh() {
    const zave::DayPlan& day = doc_.day(doc_.currentDay);
    std::array<ShownSlot, zave::kSlotCount> shown{};
    for (int k = 1; k <= zave::kSlotCount; ++k) {
        const zave::TimeSlot& s = day.slot(k);
        // The document keeps what it holds until a picker of the day changes.
        shown[static_cast<size_t>(k - 1)] = {s.enabled == 1, std::clamp(s.hour, 0, 23), std::clamp(s.minute, 0, 59),
                                             s.volume};
    }
    view_.showSlots(shown);
    showSlotEnabling();
    checkDay();
}

void WeekPlanEditor::showDay(int day) {
    doc_.currentDay = day;
    refresh();
}

void WeekPlanEditor::showDocument() {
    showSoundSettings();
    view_.showDaySelection(doc_.currentDay);
    refresh();
}

void WeekPlanEditor::showSoundSettings() {
    sound_.showSoundSettings({doc_.soundType >= 1 && doc_.soundType <= 3 ? doc_.soundType - 1 : -1,
                             doc_.pulseSwitchTime, doc_.soundDisabled != 0});
}

void WeekPlanEditor::showSlotEnabling() {
    std::array<bool, zave::kSlotCount> enabled{};
    for (int k = 1; k <= zave::kSlotCount; ++k)
        enabled[static_cast<size_t>(k - 1)] = doc_.slot(doc_.currentDay, k).enabled == 1;
    view_.showSlotEnabling(enabled);
}

void WeekPlanEditor::checkDay() {
    check_.fault = zave::checkDayPlan(doc_.day(doc_.currentDay));
    view_.showDayCheck(check_);
}

void WeekPlanEditor::storeDay(const std::array<SlotEntry, zave::kSlotCount>& entries) {
    zave::DayPlan& day = doc_.day(doc_.currentDay);
    for (int k = 1; k <= zave::kSlotCount; ++k) {
        const SlotEntry& e = entries[static_cast<size_t>(k - 1)];
        zave::TimeSlot& s = day.slot(k);
        s.hour = e.hour;
        s.minute = e.minute;
        s.enabled = e.enabled ? 1 : 0;
        s.volume = zave::readInteger(e.volumeText);
    }
    refresh();
}

void WeekPlanEditor::setSlotEnabled(int slot, bool enabled) {
    doc_.slot(doc_.currentDay, slot).enabled = enabled ? 1 : 0;
    showSlotEnabling();
    checkDay();
}

void WeekPlanEditor::setSlotVolume(int slot, std::string_view text) {
    doc_.slot(doc_.currentDay, slot).volume = zave::readInteger(text);
    checkDay();
}

void WeekPlanEditor::editPulseSwitchTime(std::string_view text) {
    if (auto corrected = zave::correctedPulseSwitchTime(text)) {
        // Replaced as a whole with the caret at its start, so that typing on
        // does not glue digits to the correction ("5" before "11" reads 511).
        sound_.showCorrectedPulseSwitchTime(*corrected);
        doc_.pulseSwitchTime = *corrected;
    } else {
        doc_.pulseSwitchTime = std::string(text);
    }
}

bool WeekPlanEditor::copyDays(int source, const std::vector<int>& targets) {
    if (!zave::copyDays(doc_, source, targets)) return false;
    refresh();
    return true;
}
