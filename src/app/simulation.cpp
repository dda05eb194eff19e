#include "app/simulation.h"

#include "device/volume.h"

zave::CommandParams Simulation::nextArguments(const SimulationControls& controls) {
    if (editedSlot_) level_ = zave::simulationLevelFromText(controls.editedVolumeText);
    return {level_, controls.soundDisabled ? 1 : 0, controls.soundTypeIndex + 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}
