#include "device/program_image.h"

#include <gtest/gtest.h>

#include "device/program_ops.h"
#include "link/frame.h"

namespace zave {
namespace {

ScheduleDocument emptyDocument() {
    ScheduleDocument doc;
    resetDocument(doc);
    return doc;
}

TEST(ProgramImageTest, SlotBytes) {
    struct Case {
        int32_t enabled, hour, minute, volume;
        int32_t hourByte, minuteByte, levelByte;
    } cases[] = {
        {1, 23, 59, 100, 151, 59, 255},  // enabled: hour + 128
        {0, 23, 59, 100, 23, 59, 255},   // disabled: hour as it is
        {1, 0, 0, 0, 128, 0, 0},         // 0 % is silence, not 153
        {1, 7, 30, 75, 135, 30, 229},    //
        {1, 7, 30, 76, 135, 30, 231},    //
        {2, 5, 1, 1, 5, 1, 154},         // only exactly 1 marks the hour
        {-1, 5, 1, 25, 5, 1, 178},       //
        {0, 12, 0, 150, 12, 0, 306},     // a disabled slot out of range keeps its computed level
        {1, 200, 61, -100, 328, 61, 51}, // values outside their ranges are carried as they are
    };
    for (const Case& c : cases) {
        ScheduleDocument doc = emptyDocument();
        doc.slot(3, 4) = TimeSlot{c.enabled, c.hour, c.minute, c.volume};
        const ProgramImage image = buildProgramImage(doc);
        const size_t k = static_cast<size_t>(imageIndex(3, 4));
        EXPECT_EQ(k, 28u);
        EXPECT_EQ(image.hourTable[k], c.hourByte) << c.enabled << " " << c.hour;
        EXPECT_EQ(image.minuteTable[k], c.minuteByte);
        EXPECT_EQ(image.volumeTable[k], c.levelByte) << c.volume;
        // Nothing else in the tables moved.
        for (size_t j = 1; j <= 84; ++j) {
            if (j == k) continue;
            EXPECT_EQ(image.hourTable[j], 0);
            EXPECT_EQ(image.minuteTable[j], 0);
            EXPECT_EQ(image.volumeTable[j], 0);
        }
    }
}

TEST(ProgramImageTest, EntriesFollowDayAndSlotOrder) {
    ScheduleDocument doc = emptyDocument();
    for (int d = 1; d <= 7; ++d)
        for (int s = 1; s <= 12; ++s) doc.slot(d, s) = TimeSlot{0, d, s, 0};
    const ProgramImage image = buildProgramImage(doc);
    EXPECT_EQ(imageIndex(1, 1), 1);
    EXPECT_EQ(imageIndex(2, 1), 13);
    EXPECT_EQ(imageIndex(7, 12), 84);
    for (int k = 1; k <= 84; ++k) {
        EXPECT_EQ(image.hourTable[static_cast<size_t>(k)], (k - 1) / 12 + 1) << k;
        EXPECT_EQ(image.minuteTable[static_cast<size_t>(k)], (k - 1) % 12 + 1) << k;
    }
}

TEST(ProgramImageTest, SettingsBlock) {
    struct Case {
        int32_t soundDisabled;
        const char* pulse;
        int32_t soundType;
        std::array<int32_t, 3> block;
    } cases[] = {
        {0, "10", 1, {0, 10, 1}},   {1, "255", 2, {1, 255, 2}}, {255, " -7x", 3, {1, -7, 3}},
        {0, "abc", 0, {0, 0, 0}},   {-1, "\t+12", 2, {1, 12, 2}},
    };
    for (const Case& c : cases) {
        ScheduleDocument doc = emptyDocument();
        doc.soundDisabled = c.soundDisabled;
        doc.pulseSwitchTime = c.pulse;
        doc.soundType = c.soundType;
        EXPECT_EQ(buildProgramImage(doc).settingsBlock, c.block) << c.pulse;
    }
}

TEST(ProgramImageTest, TwentyEightFramesInOrder) {
    ScheduleDocument doc = emptyDocument();
    for (int d = 1; d <= 7; ++d)
        for (int s = 1; s <= 12; ++s) doc.slot(d, s) = TimeSlot{1, s, d * 5, d * 10 + s};
    const ProgramImage image = buildProgramImage(doc);
    const std::vector<ProgramFrame> frames = programWriteFrames(image);
    ASSERT_EQ(frames.size(), 28u);
    const int codes[] = {WriteHourBlock, WriteMinuteBlock, WriteVolumeBlock};
    const std::array<int32_t, 91>* tables[] = {&image.hourTable, &image.minuteTable, &image.volumeTable};
    for (int t = 0; t < 3; ++t) {
        for (int b = 0; b < 9; ++b) {
            const ProgramFrame& f = frames[static_cast<size_t>(t * 9 + b)];
            const int first = b * 10 + 1;
            const int last = b == 8 ? 84 : first + 9;
            EXPECT_EQ(f.code, codes[t]);
            EXPECT_EQ(f.params[0], first);
            EXPECT_EQ(f.params[1], last);
            for (int i = 0; i < 10; ++i) {
                const int k = first + i;
                const int64_t expected = k <= last ? (*tables[t])[static_cast<size_t>(k)] : 0;
                EXPECT_EQ(f.params[static_cast<size_t>(2 + i)], expected) << "table " << t << " entry " << k;
            }
        }
    }
    // The short block: Sunday's slots 9..12, then six zeros.
    const ProgramFrame& ninth = frames[8];
    EXPECT_EQ(ninth.params[0], 81);
    EXPECT_EQ(ninth.params[1], 84);
    EXPECT_EQ((std::array<int64_t, 4>{ninth.params[2], ninth.params[3], ninth.params[4], ninth.params[5]}),
              (std::array<int64_t, 4>{128 + 9, 128 + 10, 128 + 11, 128 + 12}));
    for (size_t p = 6; p < 12; ++p) EXPECT_EQ(ninth.params[p], 0);

    const ProgramFrame& settings = frames[27];
    EXPECT_EQ(settings.code, WriteSettings);
    EXPECT_EQ(settings.params, (CommandParams{0, 10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ProgramImageTest, EmptyDocumentStillGivesAllFrames) {
    const std::vector<ProgramFrame> frames = programWriteFrames(buildProgramImage(emptyDocument()));
    ASSERT_EQ(frames.size(), 28u);
    for (size_t i = 0; i < 27; ++i)
        for (size_t p = 2; p < 12; ++p) EXPECT_EQ(frames[i].params[p], 0) << i;
}

TEST(ProgramImageTest, SettingsFrameOnTheWire) {
    const std::vector<ProgramFrame> frames = programWriteFrames(buildProgramImage(emptyDocument()));
    EXPECT_EQ(commandFrame(frames[27].code, frames[27].params), "07000A01" + std::string(18, '0') + "F9\r");
}

TEST(ProgramImageTest, DecodeHourBytes) {
    struct Case {
        int32_t hourByte;
        int32_t hour, enabled;
    } cases[] = {{151, 23, 1}, {23, 23, 0}, {200, 72, 1}, {128, 0, 1}, {127, 127, 0}, {0, 0, 0}, {255, 127, 1}};
    for (const Case& c : cases) {
        ProgramImage image;
        image.hourTable[static_cast<size_t>(imageIndex(7, 12))] = c.hourByte;
        image.minuteTable[static_cast<size_t>(imageIndex(7, 12))] = 59;
        image.volumeTable[static_cast<size_t>(imageIndex(7, 12))] = 255;
        ScheduleDocument doc = emptyDocument();
        decodeSchedule(image, doc);
        EXPECT_EQ(doc.slot(7, 12), (TimeSlot{c.enabled, c.hour, 59, 100})) << c.hourByte;
    }
}

TEST(ProgramImageTest, DecodeReplacesEverySlot) {
    ScheduleDocument doc = emptyDocument();
    for (int d = 1; d <= 7; ++d)
        for (int s = 1; s <= 12; ++s) doc.slot(d, s) = TimeSlot{1, 9, 9, 50};
    ProgramImage zero;
    decodeSchedule(zero, doc);
    EXPECT_EQ(doc, emptyDocument());
}

TEST(ProgramImageTest, ImageRoundTrip) {
    ScheduleDocument doc = emptyDocument();
    int v = 0;
    for (int d = 1; d <= 7; ++d)
        for (int s = 1; s <= 12; ++s, ++v) doc.slot(d, s) = TimeSlot{(d + s) % 2, (d * s) % 24, (d * 7 + s) % 60, v % 101};
    ScheduleDocument back = emptyDocument();
    decodeSchedule(buildProgramImage(doc), back);
    for (int d = 1; d <= 7; ++d) EXPECT_EQ(back.day(d), doc.day(d)) << d;
}

TEST(ProgramImageTest, DecodeSettings) {
    struct Case {
        std::array<int32_t, 3> bytes;
        int32_t soundDisabled;
        const char* pulse;
        int32_t soundType;
    } cases[] = {{{0, 10, 1}, 0, "10", 1},   {{1, 255, 2}, 1, "255", 2}, {{255, 255, 255}, 255, "255", 0},
                 {{0, 0, 3}, 0, "0", 3},     {{0, 7, 0}, 0, "7", 0},     {{0, 7, 4}, 0, "7", 0}};
    for (const Case& c : cases) {
        ReplyData reply{};
        reply[1] = c.bytes[0];
        reply[2] = c.bytes[1];
        reply[3] = c.bytes[2];
        ScheduleDocument doc = emptyDocument();
        decodeSettings(reply, doc);
        EXPECT_EQ(doc.soundDisabled, c.soundDisabled);
        EXPECT_EQ(doc.pulseSwitchTime, c.pulse);
        EXPECT_EQ(doc.soundType, c.soundType) << c.bytes[2];
    }
}

TEST(ProgramImageTest, ProgressValues) {
    const int expected[] = {0,  4,  7,  10, 14, 18, 21, 24, 28, 32, 35, 38, 42, 46, 49,
                            52, 56, 60, 63, 66, 70, 74, 77, 80, 84, 88, 91, 94, 98};
    for (int step = 0; step <= 28; ++step) EXPECT_EQ(programProgressValue(step), expected[step]) << step;
}

}  // namespace
}  // namespace zave
