// The window's message boxes and file dialogs for its commands: no timer
// tick runs while the operator answers one (the device station's busy rule).
#pragma once

#include "app/file_dialogs.h"
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

class HeldFileDialogs final : public FileDialogs {
public:
    HeldFileDialogs(FileDialogs& dialogs, zave::DeviceStation& station) : dialogs_(dialogs), station_(station) {}
    std::optional<QString> openFile() override {
        const auto held = station_.hold();
        return dialogs_.openFile();
    }
    std::optional<QString> saveFile() override {
        const auto held = station_.hold();
        return dialogs_.saveFile();
    }

private:
    FileDialogs& dialogs_;
    zave::DeviceStation& station_;
};
