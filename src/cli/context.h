// What a zavectl run works with: its two output streams, the clock and the
// system's serial ports. main() gives the real ones; tests give their own.
#pragma once

#include <functional>
#include <memory>
#include <ostream>

#include "link/discovery.h"
#include "link/host.h"
#include "link/port_aliases.h"
#include "link/serial_port.h"

namespace zave::cli {

struct CliContext {
    std::ostream& out;   // results and the log texts
    std::ostream& err;   // usage errors, warnings, the progress bar
    Clock& clock;
    bool progressBar = false;  // err is a terminal: draw a bar while a write or read runs
    std::function<std::unique_ptr<SerialPort>()> makePort = makeSystemSerialPort;
    std::function<std::unique_ptr<PortCatalog>()> makeCatalog = makeSystemPortCatalog;
    // True once the operator asked to stop (Ctrl+C): a write or read ends
    // before its next frame, as with the window's "Стоп".
    std::function<bool()> interrupted = [] { return false; };
    // The settings file that may name ports (--port classroom-3).
    std::string portSettings = portSettingsPath();
};

}  // namespace zave::cli
