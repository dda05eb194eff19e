// ports: the serial ports the system lists.
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "link/discovery.h"

namespace zave::cli {

int runPorts(const ParsedArgs& args, CliContext& ctx, Console& console) {
    if (!expectOperands(args, 0, 0, console, "ports", "")) return kExitUsage;
    const std::unique_ptr<PortCatalog> catalog = ctx.makeCatalog();
    const std::optional<std::vector<CatalogEntry>> listed = catalog->listPorts();
    Json ports = Json::array();
    if (!listed) {
        console.error("noPortList", "список последовательных портов системы недоступен");
        console.report()["ports"] = std::move(ports);
        return kExitDevice;
    }
    for (const CatalogEntry& entry : *listed) {
        // The same ports the window's discovery counts.
        if (!isComPortName(entry.portName)) continue;
#ifdef _WIN32
        console.line(entry.portName);
#else
        console.line(entry.portName + "  " + entry.valueName);
#endif
        ports.push_back(Json{{"name", entry.portName}, {"device", entry.valueName}});
    }
    if (ports.empty()) console.line("Последовательные порты не найдены");
    console.report()["ports"] = std::move(ports);
    return kExitOk;
}

}  // namespace zave::cli
