// Port names "COM1".."COM200" and, on POSIX, the device path behind each;
// device paths given as they are.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zave {

inline constexpr int kPortNameCount = 200;

// A device path rather than a COM name: on POSIX any text with a "/"
// ("/dev/ttyUSB0", "/dev/serial/by-id/usb-…"), on Windows one that starts
// with "\\.\" or "\\?\" ("\\.\COM12").
bool isDevicePath(std::string_view portName);

// "COM1" .. "COM200" in order.
std::vector<std::string> portSelectorNames();

// POSIX: the folder where links named like ports make them appear:
// $XDG_RUNTIME_DIR/zave/ports, or /tmp/zave-<uid>/ports.
std::string portLinkFolder();

// POSIX: the device path for a COM name. A link of that name in the
// port-link folder wins; otherwise COM1-32 are /dev/ttyS0-31, COM33-64
// /dev/ttyUSB0-31, COM65-96 /dev/ttyACM0-31; COM97-200 exist only as links.
// A device path is its own path, on every system.
std::optional<std::string> resolvePortPath(std::string_view portName);
std::optional<std::string> resolvePortPath(std::string_view portName, const std::string& linkFolder);

}  // namespace zave
