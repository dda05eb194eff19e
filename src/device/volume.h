// Volume percent and the device's level byte.
#pragma once

#include <cstdint>
#include <string_view>

namespace zave {

// The conversion's constants, in single precision as the device's firmware expects.
inline constexpr float kVolumeGain = 0.4f;
inline constexpr float kVolumeOffset = 60.0f;

// 0 % -> 0; otherwise (v * gain + offset) * 2.55 in double, ties to even.
int32_t volumeToLevel(int32_t volume);
// 0 -> 0 %; otherwise ((b / 2.55) - offset) / gain, stored as float, ties to even.
int32_t levelToVolume(int32_t level);
// The live-simulation level for the text of a volume field: decimal with
// optional fraction and exponent; 0 or no number -> 0 before the clamp to 5..250.
int32_t simulationLevelFromText(std::string_view text);

}  // namespace zave
