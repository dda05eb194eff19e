// Slot-by-slot and setting differences between two weekly programs.
#pragma once

#include <vector>

#include "schedule/document.h"

namespace zave {

enum class DifferenceKind { Slot, SoundType, PulseSwitchTime, SoundDisabled };

struct DocumentDifference {
    DifferenceKind kind = DifferenceKind::Slot;
    int day = 0;   // 1..7 for a slot, else 0
    int slot = 0;  // 1..12 for a slot, else 0
    friend bool operator==(const DocumentDifference&, const DocumentDifference&) = default;
};

// Every slot (Monday slot 1 first) whose enabled, hour, minute or volume
// differ, disabled slots included since they are stored and written too;
// then the three sound settings, the pulse time compared as its text. The
// day shown is not part of the program and is not compared.
std::vector<DocumentDifference> compareDocuments(const ScheduleDocument& a, const ScheduleDocument& b);

}  // namespace zave
