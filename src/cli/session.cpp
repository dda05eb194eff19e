#include "cli/session.h"

#include "cli/commands.h"
#include "cli/device_errors.h"
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
      console_(console),
      port_(std::make_unique<WatchedPort>(ctx.makePort())),
      boxes_(console, options.policy),
      log_(console, ctx.clock),
      engine_(*port_, boxes_),
      link_(*port_, engine_, log_, boxes_, pump_),
      progress_(console, log_, ctx) {}

DeviceSession::~DeviceSession() { link_.shutdown(); }

ConnectOutcome DeviceSession::connect() {
    const ConnectOutcome outcome = link_.connectDevice(portName_);
    log_.flush(outcome != ConnectOutcome::Ready);
    reportConnectFailure(console_, portName_, outcome, *port_, deviceType(), port_->bytesRead() > 0);
    return outcome;
}

std::optional<int> DeviceSession::deviceType() const {
    // A skipped EEPROM error replaced the status reply's data by 255.
    if (boxes_.skippedReplies() > 0) return std::nullopt;
    return engine_.replyData()[1];
}

bool DeviceSession::finish(bool ok, std::string_view failure) {
    log_.flush(!ok);
    if (!ok)
        reportOperationFailure(console_, portName_, failure, !port_->isOpen(), port_->readSinceLastWrite() > 0,
                               progress_.stopped());
    return ok;
}

DeviceOperationContext DeviceSession::operationContext() { return {engine_, log_, boxes_, progress_}; }

bool DeviceSession::writeProgram(const ScheduleDocument& doc) {
    DeviceOperationContext ctx = operationContext();
    // Every day was checked before the port was opened.
    return finish(zave::writeProgram(ctx, link_.isOpen(), doc, true), "запись программы не выполнена");
}

bool DeviceSession::readProgram(ScheduleDocument& doc) {
    DeviceOperationContext ctx = operationContext();
    return finish(zave::readProgram(ctx, link_.isOpen(), doc), "чтение программы не выполнено");
}

bool DeviceSession::syncClock() {
    return finish(syncDeviceClock(engine_, link_.isOpen(), ctx_.clock, log_), "установка часов не выполнена");
}

int greetDevice(DeviceSession& session, Console& console) {
    console.report()["port"] = session.portName();
    const ConnectOutcome outcome = session.connect();
    if (outcome == ConnectOutcome::Ready || outcome == ConnectOutcome::Unsupported) {
        const std::optional<int> type = session.deviceType();
        console.report()["deviceType"] = type ? Json(*type) : Json(nullptr);
    }
    return outcome == ConnectOutcome::Ready ? kExitOk : kExitDevice;
}

}  // namespace zave::cli
