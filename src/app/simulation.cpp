#include "app/simulation.h"

#include <utility>

#include "device/volume.h"

void Simulation::volumeTextChanged(int slot, std::string text) {
    if (slot >= 1 && slot <= zave::kSlotCount) volumeTexts_[static_cast<size_t>(slot - 1)] = std::move(text);
}

zave::CommandParams Simulation::nextArguments() {
    if (focusedSlot_ && *focusedSlot_ >= 1 && *focusedSlot_ <= zave::kSlotCount)
        level_ = zave::simulationLevelFromText(volumeTexts_[static_cast<size_t>(*focusedSlot_ - 1)]);
    return {level_, soundDisabled_ ? 1 : 0, soundTypeIndex_ + 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}
