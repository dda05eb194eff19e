// Which frames of a write carry other bytes than the device holds.
#include <gtest/gtest.h>

#include "device/program_image.h"

namespace zave {
namespace {

TEST(ChangedFrames, OnlyTheBlocksThatDiffer) {
    struct Row {
        const char* what;
        void (*change)(ScheduleDocument&);
        std::vector<std::pair<int, int>> frames;  // code, first entry
    };
    const Row rows[] = {
        {"nothing", [](ScheduleDocument&) {}, {}},
        {"Monday slot 1 minute", [](ScheduleDocument& d) { d.slot(1, 1).minute = 5; }, {{0x05, 1}}},
        {"Tuesday slot 1 enabled: the hour byte", [](ScheduleDocument& d) { d.slot(2, 1).enabled = 1; }, {{0x04, 11}}},
        {"Sunday slot 12 volume: the short last block", [](ScheduleDocument& d) { d.slot(7, 12).volume = 40; },
         {{0x06, 81}}},
        {"Wednesday slot 10 time: entry 34, block 31..40",
         [](ScheduleDocument& d) { d.slot(3, 10) = TimeSlot{0, 9, 15, 0}; }, {{0x04, 31}, {0x05, 31}}},
        {"the signal only", [](ScheduleDocument& d) { d.soundType = 3; }, {{0x07, 1}}},
        {"the pulse time as another text of the same number", [](ScheduleDocument& d) { d.pulseSwitchTime = " 10"; },
         {}},
    };
    ScheduleDocument held;
    held.slot(1, 1) = TimeSlot{1, 8, 0, 50};
    for (const Row& r : rows) {
        ScheduleDocument want = held;
        r.change(want);
        const std::vector<ProgramFrame> frames = changedWriteFrames(buildProgramImage(want), buildProgramImage(held));
        ASSERT_EQ(frames.size(), r.frames.size()) << r.what;
        for (size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(frames[i].code, r.frames[i].first) << r.what;
            if (frames[i].code != 0x07) {
                EXPECT_EQ(frames[i].params[0], r.frames[i].second) << r.what;
            }
        }
    }
}

}  // namespace
}  // namespace zave
