#include "device/volume.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace zave {
namespace {

// The level bytes of 0..100 % as the device's firmware tabulates them.
int32_t expectedLevel(int32_t volume) {
    if (volume == 0) return 0;
    if (volume <= 25) return 153 + volume;
    if (volume <= 75) return 154 + volume;
    return 155 + volume;
}

// The percent for every level byte.
int32_t expectedVolume(int32_t level) {
    if (level == 0) return 0;
    if (level <= 25) return level - 150;
    if (level <= 76) return level - 151;
    if (level <= 127) return level - 152;
    if (level <= 178) return level - 153;
    if (level <= 229) return level - 154;
    return level - 155;
}

TEST(VolumeTest, EveryPercentGivesItsLevel) {
    for (int32_t v = 0; v <= 100; ++v) EXPECT_EQ(volumeToLevel(v), expectedLevel(v)) << v << " %";
}

TEST(VolumeTest, LevelsNeverProducedAndTheTableEdges) {
    struct Case {
        int32_t volume, level;
    } cases[] = {{0, 0}, {1, 154}, {25, 178}, {26, 180}, {75, 229}, {76, 231}, {100, 255}, {-100, 51}};
    for (const Case& c : cases) EXPECT_EQ(volumeToLevel(c.volume), c.level) << c.volume;
    for (int32_t v = 0; v <= 100; ++v) {
        EXPECT_NE(volumeToLevel(v), 179);
        EXPECT_NE(volumeToLevel(v), 230);
    }
}

TEST(VolumeTest, ExtremePercentsSaturateInsteadOfOverflowing) {
    EXPECT_EQ(volumeToLevel(std::numeric_limits<int32_t>::max()), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(volumeToLevel(std::numeric_limits<int32_t>::min()), std::numeric_limits<int32_t>::min());
    // 2^30 % still fits: (2^30 * 0.4 + 60) * 2.55 is about 1.1e9.
    const int32_t big = volumeToLevel(1 << 30);
    EXPECT_GT(big, 1'000'000'000);
    EXPECT_LT(big, 1'200'000'000);
}

TEST(VolumeTest, EveryLevelByteGivesItsPercent) {
    for (int32_t b = 0; b <= 255; ++b) EXPECT_EQ(levelToVolume(b), expectedVolume(b)) << "level " << b;
}

TEST(VolumeTest, LevelsFromOutsideTheWrite) {
    struct Case {
        int32_t level, volume;
    } cases[] = {{179, 25}, {230, 75}, {153, 0}, {100, -52}, {0, 0}, {255, 100}, {1, -149}};
    for (const Case& c : cases) EXPECT_EQ(levelToVolume(c.level), c.volume) << c.level;
}

TEST(VolumeTest, EveryPercentSurvivesTheRoundTrip) {
    for (int32_t v = 0; v <= 100; ++v) EXPECT_EQ(levelToVolume(volumeToLevel(v)), v) << v;
}

TEST(VolumeTest, ExtremeLevelsDoNotOverflow) {
    const int32_t high = levelToVolume(std::numeric_limits<int32_t>::max());
    const int32_t low = levelToVolume(std::numeric_limits<int32_t>::min());
    // About 2.1e9 / 2.55 / 0.4: large but inside the range.
    EXPECT_GT(high, 2'000'000'000);
    EXPECT_LT(low, -2'000'000'000);
}

TEST(VolumeTest, SimulationLevelFromFieldText) {
    struct Case {
        const char* text;
        int32_t level;
    } cases[] = {
        {"0", 5},       {"1", 154},      {"25", 178},     {"50", 204},   {"75", 229},    {"94", 249},
        {"95", 250},    {"100", 250},    {"-100", 51},    {"-146", 5},   {"-1000", 5},   {"1e30", 250},
        {"abc", 5},     {"", 5},         {"1e999", 250},  {"-1e999", 5}, {"  50", 204},  {"50abc", 204},
        {"50.4", 204},  {"5e1", 204},    {"+50", 204},    {".5e2", 204}, {"50.", 204},   {"0.0", 5},
        {"1e-999", 5},  {"1e", 154},     {"1e+", 154},    {"5E1x", 204}, {"inf", 5},     {"nan", 5},
        {"-", 5},       {".", 5},        {"- 5", 5},      {"\t50", 204}, {"50,5", 204},  {"3.4e38", 250},
        {"000000000000000000000000000000000050", 204},     {"-1e40", 5},  {"1e-30", 153},
    };
    for (const Case& c : cases) EXPECT_EQ(simulationLevelFromText(c.text), c.level) << '"' << c.text << '"';
}

TEST(VolumeTest, SimulationLevelOfAVeryLongNumber) {
    EXPECT_EQ(simulationLevelFromText(std::string(5000, '9')), 250);
    EXPECT_EQ(simulationLevelFromText("-" + std::string(5000, '9')), 5);
    EXPECT_EQ(simulationLevelFromText("0." + std::string(5000, '0') + "1"), 5);
    EXPECT_EQ(simulationLevelFromText("1e99999999999999999999999999"), 250);
}

}  // namespace
}  // namespace zave
