// Checks of the day shown and the self-correction of the pulse-time field.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "schedule/document.h"

namespace zave {

enum class DayCheckResult { None, VolumeOutOfRange, DuplicateTimes };

// One fault of a day, with the slots (1..12, ascending) that make it:
// DuplicateTimes names every enabled slot sharing one time of day,
// VolumeOutOfRange the one enabled slot whose volume lies outside 0..100.
struct DayFault {
    DayCheckResult kind = DayCheckResult::None;
    std::vector<int> slots;
    friend bool operator==(const DayFault&, const DayFault&) = default;
};

// Every fault of the day: the groups of equal times first (in the order of
// their first slot), then the volumes (in slot order). Only slots with
// enabled exactly 1 take part.
std::vector<DayFault> dayFaults(const DayPlan& day);

// The fault the day's indicators show: duplicate times of enabled slots
// first, then volumes outside 0..100 of enabled slots; the later rule wins
// when both occur.
DayCheckResult checkDayPlan(const DayPlan& day);

// The text of the message box behind the indicator of a fault; empty for None.
std::string_view dayCheckMessage(DayCheckResult result);

struct DocumentFault {
    int day = 0;  // 1..7
    DayFault fault;
    friend bool operator==(const DocumentFault&, const DocumentFault&) = default;
};

// The faults of every day, Monday first.
std::vector<DocumentFault> documentFaults(const ScheduleDocument& doc);

// The text that replaces the pulse-time field, or nothing when the text stays.
std::optional<std::string> correctedPulseSwitchTime(std::string_view text);

// Copies the twelve slots of day `source` onto every day in `targets`.
// Returns false (and changes nothing) when source is 0 or targets is empty.
bool copyDays(ScheduleDocument& doc, int source, const std::vector<int>& targets);

}  // namespace zave
