#include "cli/session.h"

#include "cli/commands.h"
#include "cli/device_errors.h"
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
    options.alias = choice.alias;
    if (const std::string* policy = args.value("--on-eeprom-error");
        policy && !parseEepromPolicy(*policy, options.policy)) {
        usageError(console, command, "--on-eeprom-error: ожидается retry, skip или abort, указано \"" + *policy + "\"");
        return std::nullopt;
    }
    return options;
}

namespace {

// The port wrapped so that the session can tell afterwards what it saw; the
// station owns it, `watcher` points at it.
std::unique_ptr<SerialPort> watched(std::unique_ptr<SerialPort> port, WatchedPort*& watcher) {
    auto wrapped = std::make_unique<WatchedPort>(std::move(port));
    watcher = wrapped.get();
    return wrapped;
}

}  // namespace

DeviceSession::DeviceSession(CliContext& ctx, Console& console, const DeviceOptions& options)
    : portName_(options.port),
      alias_(options.alias),
      label_(options.alias.empty() ? options.port : options.alias),
      console_(console),
      boxes_(console),
      eeprom_(console, options.policy),
      log_(console, ctx.clock),
      progress_(console, log_, ctx),
      station_(watched(ctx.makePort(), port_), {boxes_, eeprom_, log_, pump_, progress_, ctx.clock}) {}

ConnectOutcome DeviceSession::connect() {
    const ConnectOutcome outcome = station_.connect(portName_);
    log_.flush(outcome != ConnectOutcome::Ready);
    reportConnectFailure(console_, label_, outcome, *port_, deviceType(), port_->bytesRead() > 0);
    return outcome;
}

std::optional<int> DeviceSession::deviceType() const {
    // A skipped EEPROM error replaced the status reply's data by 255.
    if (eeprom_.skippedReplies() > 0) return std::nullopt;
    return statusReply(station_.replyData()).deviceType;
}

bool DeviceSession::finish(bool ok, std::string_view failure) {
    log_.flush(!ok);
    if (!ok)
        reportOperationFailure(console_, label_, failure, !port_->isOpen(), port_->readSinceLastWrite() > 0,
                               progress_.stopped());
    return ok;
}

bool DeviceSession::writeProgram(const ScheduleDocument& doc) {
    // Every day was checked before the port was opened.
    return finish(station_.writeProgram(doc, true), "запись программы не выполнена");
}

bool DeviceSession::writeProgramChanges(const ScheduleDocument& doc, const ScheduleDocument& held) {
    const bool ok = station_.writeProgramChanges(doc, held);
    log_.flush();
    return ok;
}

bool DeviceSession::readProgram(ScheduleDocument& doc) {
    return finish(station_.readProgram(doc), "чтение программы не выполнено");
}

bool DeviceSession::syncClock() {
    return finish(station_.syncClock(), "установка часов не выполнена");
}

int greetDevice(DeviceSession& session, Console& console) {
    console.report()["port"] = session.portName();
    if (!session.alias().empty()) console.report()["alias"] = session.alias();
    const ConnectOutcome outcome = session.connect();
    if (outcome == ConnectOutcome::Ready || outcome == ConnectOutcome::Unsupported) {
        const std::optional<int> type = session.deviceType();
        console.report()["deviceType"] = type ? Json(*type) : Json(nullptr);
    }
    return outcome == ConnectOutcome::Ready ? kExitOk : kExitDevice;
}

}  // namespace zave::cli
