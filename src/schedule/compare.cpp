#include "schedule/compare.h"

namespace zave {

std::vector<DocumentDifference> compareDocuments(const ScheduleDocument& a, const ScheduleDocument& b) {
    std::vector<DocumentDifference> out;
    for (int d = 1; d <= kDayCount; ++d)
        for (int k = 1; k <= kSlotCount; ++k)
            if (a.slot(d, k) != b.slot(d, k)) out.push_back({DifferenceKind::Slot, d, k});
    if (a.soundType != b.soundType) out.push_back({DifferenceKind::SoundType});
    if (a.pulseSwitchTime != b.pulseSwitchTime) out.push_back({DifferenceKind::PulseSwitchTime});
    if (a.soundDisabled != b.soundDisabled) out.push_back({DifferenceKind::SoundDisabled});
    return out;
}

}  // namespace zave
