// One conversation with the device for a zavectl command: the console's
// hooks lent to the device station, and the greeting of the window's
// "Установить связь".
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cli/args.h"
#include "cli/console.h"
#include "cli/context.h"
#include "cli/watched_port.h"
#include "device/device_station.h"

namespace zave::cli {

struct DeviceOptions {
    std::string port;   // what the port layer opens
    std::string alias;  // the settings file's name given for it, if any
    EepromPolicy policy = EepromPolicy::Abort;
};

// The operand count, --port (a COM name, a device path or a name from the
// settings file) and --on-eeprom-error of a device command; nothing (usage
// error printed) when wrong.
std::optional<DeviceOptions> deviceOptions(const ParsedArgs& args, Console& console, std::string_view command,
                                           size_t operands, std::string_view what, const std::string& settingsFile);

class DeviceSession {
public:
    DeviceSession(CliContext& ctx, Console& console, const DeviceOptions& options);
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // Opens the port and greets the device; the log lines are printed.
    ConnectOutcome connect();
    const ReplyData& replyData() const { return station_.replyData(); }
    std::chrono::steady_clock::duration replyAge() const { return station_.replyAge(); }
    // The type the device gave after connect(); nothing when its reply's data
    // was replaced because an EEPROM error was skipped.
    std::optional<int> deviceType() const;

    // Each tells its failure's reason (device_errors.h) before it returns false.
    bool writeProgram(const ScheduleDocument& doc);
    // Reads into doc (which the caller starts from a reset document).
    bool readProgram(ScheduleDocument& doc);
    // Only the frames that differ from `held`, what the device was read to hold.
    bool writeProgramChanges(const ScheduleDocument& doc, const ScheduleDocument& held);
    bool syncClock();

    const std::string& portName() const { return portName_; }
    const std::string& alias() const { return alias_; }
    const WatchedPort& port() const { return *port_; }

    CliEepromAnswers& eeprom() { return eeprom_; }
    CliLog& log() { return log_; }

private:
    class NoEvents final : public EventPump {
    public:
        void dropPendingEvents(int) override {}
    };
    // The log printed, and on failure the reason told.
    bool finish(bool ok, std::string_view failure);

    std::string portName_;
    std::string alias_;
    std::string label_;  // the port as messages name it: the alias given, else the port
    Console& console_;
    WatchedPort* port_ = nullptr;  // owned by the station
    CliBoxes boxes_;
    CliEepromAnswers eeprom_;
    CliLog log_;
    NoEvents pump_;
    CliProgress progress_;
    // Last: its end closes the port without a log line, as at the window's end.
    DeviceStation station_;
};

// Connects; when the device is not ready, says why (the port's failure, no
// reply, another device type). kExitOk when the device is ready, else the
// status to end with.
int greetDevice(DeviceSession& session, Console& console);

}  // namespace zave::cli
