// The simulation without its widgets: which slot's volume is being edited,
// the level that goes to the device and the arguments of the simulation
// command sent on each status tick. The view forwards the focus as it moves
// and, on each tick, what its controls hold; nothing here reads a widget.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "link/frame.h"

// What the sound controls hold at the tick, and the text of the volume field
// being edited (read only when a slot is being edited).
struct SimulationControls {
    bool soundDisabled = false;
    int soundTypeIndex = 0;  // 0-based item of the sound-type list; -1 when none
    std::string editedVolumeText;
};

class Simulation {
public:
    // The keyboard focus moved: to the volume field of `slot` (1..12), or to
    // any other control or none (std::nullopt).
    void volumeFocusChanged(std::optional<int> slot) { editedSlot_ = slot; }
    // The slot whose volume field is being edited, if any.
    std::optional<int> editedSlot() const { return editedSlot_; }

    // One tick's command arguments. The level is computed anew from the
    // volume field being edited; with none being edited it keeps its last
    // value (0 until the first computation).
    zave::CommandParams nextArguments(const SimulationControls& controls);
    int32_t level() const { return level_; }

private:
    std::optional<int> editedSlot_;
    int32_t level_ = 0;
};
