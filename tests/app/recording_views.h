// Views of the week-plan editor that record what they were told.
#pragma once

#include <optional>
#include <string>

#include "app/week_plan_editor.h"

class RecordingViews final : public WeekPlanView, public SoundSettingsView {
public:
    void showDaySelection(int day) override { selectedDay = day; }
    void showSlots(const std::array<ShownSlot, zave::kSlotCount>& s) override {
        slots = s;
        ++redraws;
    }
    void showSlotEnabling(const std::array<bool, zave::kSlotCount>& e) override { enabling = e; }
    void showDayCheck(const DayCheck& check) override { shownCheck = check; }
    void showSoundSettings(const ShownSoundSettings& s) override { sound = s; }
    void showCorrectedPulseSwitchTime(const std::string& text) override { correctedPulse = text; }

    int selectedDay = 0;
    int redraws = 0;
    std::array<ShownSlot, zave::kSlotCount> slots{};
    std::array<bool, zave::kSlotCount> enabling{};
    std::optional<DayCheck> shownCheck;
    std::optional<ShownSoundSettings> sound;
    std::optional<std::string> correctedPulse;
};
