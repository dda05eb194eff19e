// Documents for the slow-line tests and what a device holds once one of
// them is written to it.
#pragma once

#include "device/program_image.h"
#include "schedule/document.h"
#include "support/devsim_state.h"

namespace zave {

// A document that uses every slot, with values that differ from block to
// block, so that a block taken for another shows.
inline ScheduleDocument composedDocument(int seed) {
    ScheduleDocument doc;
    resetDocument(doc);
    for (int d = 1; d <= 7; ++d)
        for (int s = 1; s <= 12; ++s) {
            const int k = imageIndex(d, s);
            doc.slot(d, s) = TimeSlot{(k + seed) % 3 == 0 ? 0 : 1, (k * 7 + seed) % 24, (k * 13 + seed) % 60,
                                      (k * 5 + seed) % 101};
        }
    doc.soundType = seed % 3 + 1;
    doc.pulseSwitchTime = std::to_string(40 + seed);
    doc.soundDisabled = seed % 2;
    return doc;
}

inline testing::DeviceTables tablesOf(const ScheduleDocument& doc) {
    const ProgramImage image = buildProgramImage(doc);
    testing::DeviceTables t;
    for (int k = 1; k <= kImageEntries; ++k) {
        t.hour[size_t(k)] = image.hourTable[size_t(k)];
        t.minute[size_t(k)] = image.minuteTable[size_t(k)];
        t.volume[size_t(k)] = image.volumeTable[size_t(k)];
    }
    for (size_t i = 0; i < 3; ++i) t.settings[i] = image.settingsBlock[i];
    return t;
}

}  // namespace zave
