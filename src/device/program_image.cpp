#include "device/program_image.h"

#include <limits>
#include <string>

#include "device/volume.h"
#include "schedule/number_rule.h"

namespace zave {

namespace {

int32_t saturatingAdd(int32_t a, int32_t b) {
    const int64_t sum = static_cast<int64_t>(a) + b;
    if (sum > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (sum < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(sum);
}

void appendTableFrames(std::vector<ProgramFrame>& frames, int code, const ImageTable& table) {
    for (int block = 0; block < kTableBlockCount; ++block) {
        const auto [first, last] = tableBlock(block);
        ProgramFrame frame{code, {}};
        frame.params[0] = first;
        frame.params[1] = last;
        for (int k = first; k <= last; ++k) frame.params[static_cast<size_t>(2 + k - first)] = table[static_cast<size_t>(k)];
        frames.push_back(frame);
    }
}

// The byte a frame carries for a table or settings value.
int32_t wireByte(int32_t value) { return static_cast<int32_t>(std::stoi(renderByte(value), nullptr, 16)); }

}  // namespace

ProgramImage buildProgramImage(const ScheduleDocument& doc) {
    ProgramImage image;
    for (int day = 1; day <= kDayCount; ++day) {
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            const TimeSlot& s = doc.slot(day, slot);
            const auto k = static_cast<size_t>(imageIndex(day, slot));
            // The mark is an addition, and only an enabled value of exactly 1 sets it.
            image.hourTable[k] = s.enabled == 1 ? saturatingAdd(s.hour, 128) : s.hour;
            image.minuteTable[k] = s.minute;
            image.volumeTable[k] = volumeToLevel(s.volume);
        }
    }
    image.settingsBlock[0] = doc.soundDisabled != 0 ? 1 : 0;
    image.settingsBlock[1] = readInteger(doc.pulseSwitchTime);
    image.settingsBlock[2] = doc.soundType;
    return image;
}

std::vector<ProgramFrame> programWriteFrames(const ProgramImage& image) {
    std::vector<ProgramFrame> frames;
    frames.reserve(3 * kTableBlockCount + 1);
    appendTableFrames(frames, WriteHourBlock, image.hourTable);
    appendTableFrames(frames, WriteMinuteBlock, image.minuteTable);
    appendTableFrames(frames, WriteVolumeBlock, image.volumeTable);
    ProgramFrame settings{WriteSettings, {}};
    for (size_t n = 0; n < image.settingsBlock.size(); ++n) settings.params[n] = image.settingsBlock[n];
    frames.push_back(settings);
    return frames;
}

std::vector<ProgramFrame> changedWriteFrames(const ProgramImage& want, const ProgramImage& held) {
    const std::vector<ProgramFrame> wanted = programWriteFrames(want);
    const std::vector<ProgramFrame> holding = programWriteFrames(held);
    std::vector<ProgramFrame> changed;
    for (size_t i = 0; i < wanted.size(); ++i)
        if (wanted[i].params != holding[i].params) changed.push_back(wanted[i]);
    return changed;
}

void decodeSchedule(const ProgramImage& image, ScheduleDocument& doc) {
    for (int day = 1; day <= kDayCount; ++day) {
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            TimeSlot& s = doc.slot(day, slot);
            const auto k = static_cast<size_t>(imageIndex(day, slot));
            const int32_t hourByte = image.hourTable[k];
            if (hourByte > 127) {
                s.hour = hourByte - 128;
                s.enabled = 1;
            } else {
                s.hour = hourByte;
                s.enabled = 0;
            }
            s.minute = image.minuteTable[k];
            s.volume = levelToVolume(image.volumeTable[k]);
        }
    }
}

void decodeSettings(const ReplyData& reply, ScheduleDocument& doc) {
    const SettingsReply settings = settingsReply(reply);
    doc.soundDisabled = settings.soundDisabled;
    doc.pulseSwitchTime = std::to_string(settings.pulseSwitchTime);
    // A position outside the list leaves the selector without an item.
    doc.soundType = settings.soundType >= 1 && settings.soundType <= 3 ? settings.soundType : 0;
}

ScheduleDocument deviceReadBack(const ScheduleDocument& doc) {
    ProgramImage image = buildProgramImage(doc);
    for (auto* table : {&image.hourTable, &image.minuteTable, &image.volumeTable})
        for (int k = 1; k <= kImageEntries; ++k) (*table)[static_cast<size_t>(k)] = wireByte((*table)[static_cast<size_t>(k)]);
    ScheduleDocument out = doc;
    decodeSchedule(image, out);
    ReplyData settings{};
    for (size_t n = 0; n < image.settingsBlock.size(); ++n) settings[n + 1] = wireByte(image.settingsBlock[n]);
    decodeSettings(settings, out);
    return out;
}

}  // namespace zave
