// Who holds a serial port that would not open because it is in use.
#pragma once

#include <string>

namespace zave {

// The programs that have the device open, as "minicom (PID 4242)", joined
// by ", "; empty when the system does not say (other users' programs, no
// /proc, Windows). Our own process is left out.
std::string portHolders(const std::string& devicePath);

}  // namespace zave
