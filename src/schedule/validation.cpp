#include "schedule/validation.h"

#include <array>

#include "schedule/number_rule.h"

namespace zave {

std::vector<DayFault> dayFaults(const DayPlan& day) {
    std::vector<DayFault> faults;
    std::array<bool, kSlotCount + 1> grouped{};
    for (int i = 1; i <= kSlotCount; ++i) {
        const TimeSlot& a = day.slot(i);
        if (a.enabled != 1 || grouped[static_cast<size_t>(i)]) continue;
        DayFault group{DayCheckResult::DuplicateTimes, {i}};
        for (int j = i + 1; j <= kSlotCount; ++j) {
            const TimeSlot& b = day.slot(j);
            if (b.enabled == 1 && a.hour == b.hour && a.minute == b.minute) {
                group.slots.push_back(j);
                grouped[static_cast<size_t>(j)] = true;
            }
        }
        if (group.slots.size() > 1) faults.push_back(std::move(group));
    }
    for (int k = 1; k <= kSlotCount; ++k) {
        const TimeSlot& s = day.slot(k);
        if (s.enabled == 1 && (s.volume < 0 || s.volume > 100))
            faults.push_back({DayCheckResult::VolumeOutOfRange, {k}});
    }
    return faults;
}

DayCheckResult checkDayPlan(const DayPlan& day) {
    // The volume rule is applied second and so wins when both faults occur.
    DayCheckResult result = DayCheckResult::None;
    for (const DayFault& f : dayFaults(day))
        if (result != DayCheckResult::VolumeOutOfRange) result = f.kind;
    return result;
}

std::string_view dayCheckMessage(DayCheckResult result) {
    switch (result) {
    case DayCheckResult::DuplicateTimes: return "Задано несколько, одинаковых, временных интервалов";
    case DayCheckResult::VolumeOutOfRange: return "Уровень громкости вне диапазона 0..100%";
    case DayCheckResult::None: break;
    }
    return {};
}

std::vector<DocumentFault> documentFaults(const ScheduleDocument& doc) {
    std::vector<DocumentFault> faults;
    for (int d = 1; d <= kDayCount; ++d)
        for (DayFault& f : dayFaults(doc.day(d))) faults.push_back({d, std::move(f)});
    return faults;
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
