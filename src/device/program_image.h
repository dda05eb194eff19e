// The device image of a schedule: three 84-entry tables and the settings.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "link/frame.h"
#include "schedule/document.h"

namespace zave {

inline constexpr int kImageEntries = 84;

// The tables travel in blocks of ten entries (1..10, 11..20, ..., 71..80)
// and the short last block 81..84, one frame or query each.
inline constexpr int kTableBlockEntries = 10;
inline constexpr int kTableBlockCount = (kImageEntries + kTableBlockEntries - 1) / kTableBlockEntries;  // 9
// A read's last block still brings ten bytes, so a table buffer reaches
// entry 90 (index 0 unused).
inline constexpr int kTableBufferSize = kTableBlockCount * kTableBlockEntries + 1;  // 91
using ImageTable = std::array<int32_t, kTableBufferSize>;

struct TableBlock {
    int first;  // entry index
    int last;
};
// Block 0 .. kTableBlockCount - 1.
constexpr TableBlock tableBlock(int block) {
    const int first = block * kTableBlockEntries + 1;
    return {first, block == kTableBlockCount - 1 ? kImageEntries : first + kTableBlockEntries - 1};
}

// k = (day - 1) * 12 + slot, 1..84.
constexpr int imageIndex(int day, int slot) { return (day - 1) * kSlotCount + slot; }

struct ProgramImage {
    // Index 1..84 (0 unused); receive buffers of a read reach 90.
    ImageTable hourTable{};
    ImageTable minuteTable{};
    ImageTable volumeTable{};
    std::array<int32_t, 3> settingsBlock{};  // sound-off flag, pulse switch time, signal number
};

ProgramImage buildProgramImage(const ScheduleDocument& doc);

struct ProgramFrame {
    int code;
    CommandParams params;
};
// The 28 command frames of a program write, in order.
std::vector<ProgramFrame> programWriteFrames(const ProgramImage& image);
// The frames of a write of `want` that carry other bytes than the same
// frames of `held` (what the device holds), in the order of a write.
std::vector<ProgramFrame> changedWriteFrames(const ProgramImage& want, const ProgramImage& held);

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
