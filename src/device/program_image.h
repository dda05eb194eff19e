// The device image of a schedule: three 84-entry tables and the settings.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "link/frame.h"
#include "schedule/document.h"

namespace zave {

inline constexpr int kImageEntries = 84;

// k = (day - 1) * 12 + slot, 1..84.
constexpr int imageIndex(int day, int slot) { return (day - 1) * kSlotCount + slot; }

struct ProgramImage {
    // Index 1..84 (0 unused); receive buffers of a read reach 90.
    std::array<int32_t, 91> hourTable{};
    std::array<int32_t, 91> minuteTable{};
    std::array<int32_t, 91> volumeTable{};
    std::array<int32_t, 3> settingsBlock{};  // sound-off flag, pulse switch time, signal number
};

ProgramImage buildProgramImage(const ScheduleDocument& doc);

struct ProgramFrame {
    int code;
    CommandParams params;
};
// The 28 command frames of a program write, in order.
std::vector<ProgramFrame> programWriteFrames(const ProgramImage& image);

// Replaces all 84 slots of doc from the three tables.
void decodeSchedule(const ProgramImage& image, ScheduleDocument& doc);
// Puts the three settings bytes into the document.
void decodeSettings(const ReplyData& reply, ScheduleDocument& doc);

// What a program read gives back from a device that accepted the program
// write of doc: every image byte as the frame carries it, decoded like a
// read (an enabled value other than 1 comes back as 0, the pulse time as the
// decimal text of its byte). The day shown is doc's.
ScheduleDocument deviceReadBack(const ScheduleDocument& doc);

}  // namespace zave
