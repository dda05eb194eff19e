#include "cli/session.h"

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "device/clock.h"

namespace zave::cli {

std::optional<DeviceOptions> deviceOptions(const ParsedArgs& args, Console& console, std::string_view command,
                                           size_t operands, std::string_view what, const std::string& settingsFile) {
    if (!expectOperands(args, operands, operands, console, command, what)) return std::nullopt;
    DeviceOptions options;
    const std::string* port = args.value("--port");
    if (!port) {
        usageError(console, command, "не указан порт: --port COMn");
        return std::nullopt;
    }
    const PortChoice choice = choosePort(*port, loadPortAliases(settingsFile), settingsFile);
    if (!choice.error.empty()) {
        usageError(console, command, choice.error);
        return std::nullopt;
    }
    options.port = choice.port;
    if (const std::string* policy = args.value("--on-eeprom-error");
        policy && !parseEepromPolicy(*policy, options.policy)) {
        usageError(console, command, "--on-eeprom-error: ожидается retry, skip или abort, указано \"" + *policy + "\"");
        return std::nullopt;
    }
    return options;
}

DeviceSession::DeviceSession(CliContext& ctx, Console& console, const DeviceOptions& options)
    : ctx_(ctx),
      portName_(options.port),
      port_(ctx.makePort()),
      boxes_(console, options.policy),
      log_(console, ctx.clock),
      engine_(*port_, boxes_),
      link_(*port_, engine_, log_, boxes_, pump_),
      progress_(console, log_, ctx) {}

DeviceSession::~DeviceSession() { link_.shutdown(); }

ConnectOutcome DeviceSession::connect() {
    const ConnectOutcome outcome = link_.connectDevice(portName_);
    log_.flush();
    return outcome;
}

DeviceOperationContext DeviceSession::operationContext() { return {engine_, log_, boxes_, progress_}; }

bool DeviceSession::writeProgram(const ScheduleDocument& doc) {
    DeviceOperationContext ctx = operationContext();
    // Every day was checked before the port was opened.
    const bool ok = zave::writeProgram(ctx, link_.isOpen(), doc, true);
    log_.flush();
    return ok;
}

bool DeviceSession::readProgram(ScheduleDocument& doc) {
    DeviceOperationContext ctx = operationContext();
    const bool ok = zave::readProgram(ctx, link_.isOpen(), doc);
    log_.flush();
    return ok;
}

bool DeviceSession::syncClock() {
    const bool ok = syncDeviceClock(engine_, link_.isOpen(), ctx_.clock, log_);
    log_.flush();
    return ok;
}

int greetDevice(DeviceSession& session, Console& console) {
    const ConnectOutcome outcome = session.connect();
    if (outcome == ConnectOutcome::Unsupported)
        console.line("Тип устройства: " + std::to_string(session.replyData()[1]) + " (поддерживается " +
                     std::to_string(kSupportedDeviceType) + ")");
    return outcome == ConnectOutcome::Ready ? kExitOk : kExitDevice;
}

}  // namespace zave::cli
