// The window's message boxes for its commands: no timer tick runs while the
// operator answers one (the device station's busy rule).
#pragma once

#include "device/device_station.h"
#include "link/host.h"

class HeldMessageBoxes final : public zave::MessageBoxes {
public:
    HeldMessageBoxes(zave::MessageBoxes& boxes, zave::DeviceStation& station) : boxes_(boxes), station_(station) {}
    zave::MessageAnswer show(std::string_view title, std::string_view text, zave::MessageIcon icon,
                             zave::MessageButtons buttons) override {
        const auto held = station_.hold();
        return boxes_.show(title, text, icon, buttons);
    }

private:
    zave::MessageBoxes& boxes_;
    zave::DeviceStation& station_;
};
