// Checks of the day shown and the self-correction of the pulse-time field.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "schedule/document.h"

namespace zave {

enum class DayCheckResult { None, VolumeOutOfRange, DuplicateTimes };

// Duplicate times of enabled slots first, then volumes outside 0..100 of
// enabled slots; the later rule wins when both occur.
DayCheckResult checkDayPlan(const DayPlan& day);

// The text that replaces the pulse-time field, or nothing when the text stays.
std::optional<std::string> correctedPulseSwitchTime(std::string_view text);

// Copies the twelve slots of day `source` onto every day in `targets`.
// Returns false (and changes nothing) when source is 0 or targets is empty.
bool copyDays(ScheduleDocument& doc, int source, const std::vector<int>& targets);

}  // namespace zave
