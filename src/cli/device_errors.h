// Why a device command failed, said once on standard error with its reason
// and kept in the JSON report's "errors":
//   notFound      the port does not exist
//   busy          another program holds it ("holders" when the system says)
//   permission    no right to open it ("group" to join when known)
//   notATerminal  it opened but is no serial line
//   noReply       the device did not answer at all
//   refused       the device answered but did not accept (or a bad reply)
//   unsupported   another device type ("deviceType")
//   portLost      the port went away during the operation
//   interrupted   stopped by the operator
#pragma once

#include <optional>
#include <string>

#include "cli/console.h"
#include "link/connection.h"
#include "link/serial_port.h"

namespace zave::cli {

// After a connect that did not end Ready. `deviceType` is the status reply's type,
// or nothing when the status reply's data was replaced (an EEPROM error
// skipped): then the type is unknown.
void reportConnectFailure(Console& console, const std::string& port, ConnectOutcome outcome, const SerialPort& serial,
                          std::optional<int> deviceType, bool anyReply);

// After a write, read or clock setting that failed on an open link;
// `failure` says what ("запись программы не выполнена"), `lastAnswered`
// whether the device sent anything to the last frame.
void reportOperationFailure(Console& console, const std::string& port, std::string_view failure, bool portLost,
                            bool lastAnswered, bool interrupted);

}  // namespace zave::cli
