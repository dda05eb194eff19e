#include "schedule/validation.h"

#include "schedule/number_rule.h"

namespace zave {

DayCheckResult checkDayPlan(const DayPlan& day) {
    DayCheckResult result = DayCheckResult::None;
    for (int i = 1; i <= kSlotCount; ++i) {
        const TimeSlot& a = day.slot(i);
        if (a.enabled != 1) continue;
        for (int j = i + 1; j <= kSlotCount; ++j) {
            const TimeSlot& b = day.slot(j);
            if (b.enabled == 1 && a.hour == b.hour && a.minute == b.minute)
                result = DayCheckResult::DuplicateTimes;
        }
    }
    // The volume rule is applied second and so wins when both faults occur.
    for (const TimeSlot& s : day.slots)
        if (s.enabled == 1 && (s.volume < 0 || s.volume > 100)) result = DayCheckResult::VolumeOutOfRange;
    return result;
}

std::optional<std::string> correctedPulseSwitchTime(std::string_view text) {
    // The device takes 1..255; anything else, negative numbers included, is
    // replaced by "11".
    const int32_t n = readInteger(text);
    if (n <= 0 || n > 255) return std::string("11");
    return std::nullopt;
}

bool copyDays(ScheduleDocument& doc, int source, const std::vector<int>& targets) {
    if (source < 1 || source > kDayCount || targets.empty()) return false;
    for (int t : targets)
        if (t < 1 || t > kDayCount) return false;
    const DayPlan copy = doc.day(source);
    for (int t : targets) doc.day(t).slots = copy.slots;
    return true;
}

}  // namespace zave
