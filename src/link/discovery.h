// Watching the system's list of serial ports and announcing new ones.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/host.h"

namespace zave {

struct CatalogEntry {
    std::string valueName;  // Windows: registry value name ("\Device\Serial0"); POSIX: device path
    std::string portName;   // "COM1"
};

class PortCatalog {
public:
    virtual ~PortCatalog() = default;
    // The ports the system lists, in its order; nothing when the list cannot be had.
    virtual std::optional<std::vector<CatalogEntry>> listPorts() = 0;
};

// Windows: the registry key HARDWARE\DEVICEMAP\SERIALCOMM. POSIX: every COM
// name whose resolved device exists and is a real serial port.
std::unique_ptr<PortCatalog> makeSystemPortCatalog();

// The port names that count as serial ports: the first three letters "com"
// in any letter case.
bool isComPortName(std::string_view portName);

class PortDiscovery {
public:
    // One scan; does nothing while the link port is open.
    void discoverPorts(bool linkPortOpen, PortCatalog& catalog, LogSink& log);
    const std::vector<std::string>& knownPorts() const { return knownPorts_; }

private:
    std::vector<std::string> knownPorts_;
};

}  // namespace zave
