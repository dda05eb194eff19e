#include "support/sample_documents.h"

#include <string>

#include "device/program_image.h"

namespace zave::testing {

ScheduleDocument richDocument(int round) {
    ScheduleDocument doc;
    resetDocument(doc);
    for (int d = 1; d <= 7; ++d) {
        for (int s = 1; s <= 12; ++s) {
            const int k = imageIndex(d, s);
            doc.slot(d, s) = TimeSlot{(k + round) % 3 == 0 ? 0 : 1, (k * 7 + round) % 24, (k * 13 + round) % 60,
                                      (k - 1 + round * 84) % 101};
        }
    }
    doc.soundType = round % 3 + 1;
    doc.pulseSwitchTime = std::to_string(37 + round * 100);
    doc.soundDisabled = round % 2;
    doc.currentDay = 3;
    return doc;
}

ScheduleDocument otherDocument() {
    ScheduleDocument doc;
    resetDocument(doc);
    for (int d = 1; d <= 7; ++d)
        for (int s = 1; s <= 12; ++s) doc.slot(d, s) = TimeSlot{1, 5, 55, 50};
    doc.soundType = 2;
    doc.pulseSwitchTime = "99";
    doc.soundDisabled = 1;
    doc.currentDay = 3;
    return doc;
}

}  // namespace zave::testing
