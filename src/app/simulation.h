// The simulation without its widgets: which slot's volume is being edited,
// the level that goes to the device and the arguments of the simulation
// command sent on each status tick. The views forward the focus, the volume
// fields' texts and the two sound settings; nothing here reads a widget.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "link/frame.h"
#include "schedule/document.h"

class Simulation {
public:
    // The keyboard focus moved: to the volume field of `slot` (1..12), or to
    // any other control or none (std::nullopt).
    void volumeFocusChanged(std::optional<int> slot) { focusedSlot_ = slot; }
    // The text of the volume field of `slot` (1..12) changed, by typing or by a
    // redraw.
    void volumeTextChanged(int slot, std::string text);
    void setEnabled(bool on) { enabled_ = on; }
    void setSoundDisabled(bool disabled) { soundDisabled_ = disabled; }
    // The 0-based item of the sound-type list; -1 when none is selected.
    void setSoundTypeIndex(int index) { soundTypeIndex_ = index; }

    // Whether this tick sends a simulation command.
    bool due(bool portOpen) const { return portOpen && enabled_; }
    // One tick's command arguments. The level is computed anew from the
    // volume field being edited; with none being edited it keeps its last
    // value (0 until the first computation).
    zave::CommandParams nextArguments();
    int32_t level() const { return level_; }
    std::optional<int> focusedSlot() const { return focusedSlot_; }

private:
    std::array<std::string, zave::kSlotCount> volumeTexts_{};
    std::optional<int> focusedSlot_;
    bool enabled_ = false;
    bool soundDisabled_ = false;
    int soundTypeIndex_ = 0;
    int32_t level_ = 0;
};
