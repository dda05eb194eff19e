// Volume percent and the device's level byte.
#pragma once

#include <cstdint>
#include <string_view>

namespace zave {

// Set once at start-up (single precision, as the device's firmware expects).
extern float volumeGain;    // 0.4
extern float volumeOffset;  // 60.0
void initVolumeConstants();

// 0 % -> 0; otherwise (v * gain + offset) * 2.55 in double, ties to even.
int32_t volumeToLevel(int32_t volume);
// 0 -> 0 %; otherwise ((b / 2.55) - offset) / gain, stored as float, ties to even.
int32_t levelToVolume(int32_t level);
// The live-simulation level for the text of a volume field: decimal with
// optional fraction and exponent; 0 or no number -> 0 before the clamp to 5..250.
int32_t simulationLevelFromText(std::string_view text);

}  // namespace zave
