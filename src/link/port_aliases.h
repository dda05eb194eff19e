// Names for ports, from a settings file, so that a script (or cron, which
// sets no runtime folder) names the port as the operator knows it:
//
//   # ~/.config/zave/zavectl.toml
//   [ports]
//   classroom-3 = "/dev/serial/by-id/usb-FTDI_FT232R_A1B2C3-if00-port0"
//   hall = "COM4"
//
// and how a port given on a command line becomes the name the port layer
// opens: a COM name, a device path or one of those names.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zave {

// The settings file: $XDG_CONFIG_HOME/zave/zavectl.toml, else
// $HOME/.config/zave/zavectl.toml on POSIX; %APPDATA%\zave\zavectl.toml on
// Windows. Empty when none of those variables is set.
std::string portSettingsPath();

struct PortAliases {
    std::map<std::string, std::string, std::less<>> ports;  // name -> COM name or device path
    bool fileFound = false;
    std::string error;  // the file exists but could not be read or is not valid (Russian)
};

// Reads the [ports] table of the settings file. A missing file is no error
// (no names); a file that cannot be read, is no valid TOML or names a port
// with something other than a text gives `error` and no names.
PortAliases loadPortAliases(const std::string& path);

struct PortChoice {
    std::string port;   // what SerialPort::open takes: "COM7" or a device path
    std::string alias;  // the settings file's name that led there, if any
    std::string error;  // why the text names no port (Russian); port is empty then
};

// "com7" (any letter case) is COM7 when it is one of COM1..COM200; a device
// path is taken as it is; any other text must be a name in `aliases`, whose
// value must itself be a COM name or a device path.
PortChoice choosePort(std::string_view text, const PortAliases& aliases, const std::string& settingsPath);

// "COM7" for "com7" when it is one of COM1..COM200.
std::optional<std::string> comPortName(std::string_view text);

}  // namespace zave
