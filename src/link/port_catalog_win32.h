// The serial ports listed in a registry key laid out like the system's list
// HARDWARE\DEVICEMAP\SERIALCOMM: each value's name is the device
// ("\Device\Serial0"), its data the port name.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "link/discovery.h"

namespace zave {

// makeSystemPortCatalog() is this for the system's key under HKEY_LOCAL_MACHINE.
std::unique_ptr<PortCatalog> makeRegistryPortCatalog(HKEY root, std::string subKey);

}  // namespace zave
