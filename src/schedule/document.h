// The weekly program held in memory: seven days of twelve time slots and the
// three sound settings.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zave {

inline constexpr int kDayCount = 7;
inline constexpr int kSlotCount = 12;

struct TimeSlot {
    int32_t enabled = 0;  // 1 = in use
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t volume = 0;   // percent; any value is kept, 0..100 is valid
    friend bool operator==(const TimeSlot&, const TimeSlot&) = default;
};

struct DayPlan {
    std::array<TimeSlot, kSlotCount> slots{};
    TimeSlot& slot(int k) { return slots.at(static_cast<size_t>(k - 1)); }              // k = 1..12
    const TimeSlot& slot(int k) const { return slots.at(static_cast<size_t>(k - 1)); }
    friend bool operator==(const DayPlan&, const DayPlan&) = default;
};

// Names as shown in the day selector and stored in the file (UTF-8).
extern const std::array<std::string_view, kDayCount> kDayNames;          // "Понедельник" .. "Воскресенье"
extern const std::array<std::string_view, 3> kSoundTypeNames;            // "Сигнал №1" .. "Сигнал №3"

struct ScheduleDocument {
    std::array<DayPlan, kDayCount> days{};
    // Number of the selected signal, 1..3; 0 when the selector shows no item
    // (a device may deliver a position outside the list).
    int32_t soundType = 1;
    std::string pulseSwitchTime = "10";  // the field's text exactly as typed
    int32_t soundDisabled = 0;
    int32_t currentDay = 1;              // 1..7

    DayPlan& day(int d) { return days.at(static_cast<size_t>(d - 1)); }                 // d = 1..7
    const DayPlan& day(int d) const { return days.at(static_cast<size_t>(d - 1)); }
    TimeSlot& slot(int d, int k) { return day(d).slot(k); }
    const TimeSlot& slot(int d, int k) const { return day(d).slot(k); }
    friend bool operator==(const ScheduleDocument&, const ScheduleDocument&) = default;
};

void resetDocument(ScheduleDocument& doc);

// Letter-case-insensitive comparison of UTF-8 texts, Latin and Cyrillic
// (including Ё/ё) letters folded.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// 1..7 for a day name compared without regard to case; 0 when it names no day.
int dayNumberByName(std::string_view name);
// 1..3 for a signal name compared without regard to case; 0 when it names none.
int soundTypeByName(std::string_view name);

// Set currentDay; false (and nothing changed) when the number or name is not a day.
bool setCurrentDay(ScheduleDocument& doc, int day);
bool setCurrentDayByName(ScheduleDocument& doc, std::string_view name);

}  // namespace zave
