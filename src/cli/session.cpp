#include "cli/session.h"

#include "cli/commands.h"
#include "cli/exit_codes.h"

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
    : portName_(options.port),
      boxes_(console),
      eeprom_(console, options.policy),
      log_(console, ctx.clock),
      progress_(console, log_, ctx),
      station_(ctx.makePort(), {boxes_, eeprom_, log_, pump_, progress_, ctx.clock}) {}

ConnectOutcome DeviceSession::connect() {
    const ConnectOutcome outcome = station_.connect(portName_);
    log_.flush();
    return outcome;
}

bool DeviceSession::writeProgram(const ScheduleDocument& doc) {
    // Every day was checked before the port was opened.
    const bool ok = station_.writeProgram(doc, true);
    log_.flush();
    return ok;
}

bool DeviceSession::writeProgramChanges(const ScheduleDocument& doc, const ScheduleDocument& held) {
    const bool ok = station_.writeProgramChanges(doc, held);
    log_.flush();
    return ok;
}

bool DeviceSession::readProgram(ScheduleDocument& doc) {
    const bool ok = station_.readProgram(doc);
    log_.flush();
    return ok;
}

bool DeviceSession::syncClock() {
    const bool ok = station_.syncClock();
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
