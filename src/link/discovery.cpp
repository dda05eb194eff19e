#include "link/discovery.h"

#include <algorithm>

namespace zave {

namespace {

// "<value name>  <port name>", keeping only what follows the last backslash
// (and, for device paths, the last slash).
std::string portEntry(const CatalogEntry& e) {
    std::string entry = e.valueName + "  " + e.portName;
#ifdef _WIN32
    const size_t cut = entry.find_last_of('\\');
#else
    const size_t cut = entry.find_last_of("\\/");
#endif
    if (cut != std::string::npos) entry.erase(0, cut + 1);
    return entry;
}

}  // namespace

bool isComPortName(std::string_view portName) {
    if (portName.size() < 3) return false;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return lower(portName[0]) == 'c' && lower(portName[1]) == 'o' && lower(portName[2]) == 'm';
}

void PortDiscovery::discoverPorts(bool linkPortOpen, PortCatalog& catalog, LogSink& log) {
    if (linkPortOpen) return;
    std::optional<std::vector<CatalogEntry>> listed = catalog.listPorts();
    if (!listed) return;

    std::vector<std::string> scan;
    scan.reserve(listed->size());
    for (const CatalogEntry& e : *listed) {
        if (!isComPortName(e.portName)) continue;
        std::string entry = portEntry(e);
        const bool isNew = !knownPorts_.empty() &&
                           std::find(knownPorts_.begin(), knownPorts_.end(), entry) == knownPorts_.end();
        if (isNew) {
            log.logLine("Обнаружено новое ", LogMode::Stamped);
            log.logLine("соединение " + entry.substr(0, entry.find(' ')), LogMode::Plain);
            log.logLine("Порт  : " + e.portName, LogMode::Plain);
            log.logLine("-----------------------------------", LogMode::Plain);
        }
        scan.push_back(std::move(entry));
    }
    knownPorts_ = std::move(scan);
}

}  // namespace zave
