#include "link/connection.h"

#include "link/line_record.h"

namespace zave {

namespace {

constexpr std::string_view kLinkBroken = "Связь разорвана";

}  // namespace

DeviceLink::DeviceLink(SerialPort& port, ExchangeEngine& engine, LogSink& log, MessageBoxes& boxes, EventPump& pump)
    : port_(port), engine_(engine), log_(log), boxes_(boxes), pump_(pump) {}

bool DeviceLink::isOpen() const { return port_.isOpen(); }

namespace {

// The status query under the retry rule, its answer confirmed as the
// device's own: a reply the device sent twice, or a stray end of a reply,
// would otherwise pass for the status, and show a clock from the past or
// another table's bytes as the device's. The line is first cleared of what
// is owed, so that what that brings is not held against this status. An
// answer that cannot be confirmed is asked for once more, once the line has
// fallen quiet; a second one gives BadReply. A port that no longer reads as
// open after an exchange has gone (adapter unplugged, device closed): that
// ends the repeats at once as Disconnect instead of spending all eight.
ExchangeResult statusQuery(SerialPort& port, ExchangeEngine& engine) {
    constexpr int kUnconfirmedLimit = 2;
    int unconfirmed = 0;
    bool begin = true;
    ExchangeResult result = ExchangeResult::NoReply;
    for (int call = 0; call < kMaxExchangeAttempts; ++call) {
        if (begin) {
            engine.awaitClearLine();
            engine.beginOperation();
            begin = false;
        }
        result = engine.sendQuery(Status, 0, 0);
        if (result == ExchangeResult::Ok && !engine.answersConfirmed()) {
            result = ExchangeResult::BadReply;
            if (++unconfirmed == kUnconfirmedLimit && port.isOpen()) return result;
            begin = true;
        }
        if (result != ExchangeResult::Ok && !port.isOpen()) return ExchangeResult::Disconnect;
        if (result != ExchangeResult::NoReply && result != ExchangeResult::BadReply) return result;
    }
    return result;
}

#ifndef _WIN32
// The hint for a port the operator may not open.
std::string permissionHint(const OpenFailureDetail& detail) {
    std::string text = "Нет доступа к порту";
    if (!detail.path.empty()) text += " " + detail.path;
    if (!detail.group.empty())
        text += ": добавьте пользователя в группу " + detail.group + " и войдите в систему заново";
    else
        text += ": проверьте права доступа к устройству";
    return text;
}
#endif

}  // namespace

ConnectOutcome DeviceLink::connectDevice(const std::string& portName) {
    log_.logLine(" ", LogMode::Clear);
    log_.logLine("Ждите!!!", LogMode::Plain);
    pump_.dropPendingEvents(10);
    established_ = false;
    closePort();
    const bool opened = port_.open(portName);
    log_.logLine(" ", LogMode::Clear);

    if (!opened) {
        log_.logLine(" Ошибка отрытия " + portName, LogMode::Stamped);
#ifndef _WIN32
        if (port_.lastOpenFailure() == OpenFailure::PermissionDenied)
            log_.logLine(permissionHint(port_.lastOpenDetail()), LogMode::Plain);
#endif
        return ConnectOutcome::OpenFailed;
    }

    log_.logLine(portName + " Порт открыт", LogMode::Stamped);
    // A program that left its mark on this line did not close it cleanly and
    // may have left the device owing replies; the engine listens first. The
    // mark now stands for this program until its own clean close.
    openName_ = portName;
    engine_.lineOpened(LineRecord::leftInUse(portName));
    LineRecord::markInUse(portName);
    const ExchangeResult r = statusQuery(port_, engine_);
    if (r != ExchangeResult::Ok) {
        log_.logLine("Устройство не отвечает", LogMode::Plain);
        log_.logLine(kLinkBroken, LogMode::Plain);
        closePort();
        return ConnectOutcome::NoAnswer;
    }
    if (statusReply(engine_.replyData()).deviceType == kSupportedDeviceType) {
        log_.logLine("Устройство готово", LogMode::Plain);
        established_ = true;
        return ConnectOutcome::Ready;
    }
    log_.logLine("Данное уст. не поддерживается", LogMode::Plain);
    log_.logLine(kLinkBroken, LogMode::Plain);
    closePort();
    return ConnectOutcome::Unsupported;
}

void DeviceLink::closeLink() {
    if (!port_.isOpen()) return;
    log_.logLine(" Порт закрыт", LogMode::Stamped);
    closePort();
}

void DeviceLink::closePort() {
    established_ = false;
    // The line is given up only with nothing owed on it: replies still owed
    // (or, from a device that has answered twice, any it may yet repeat) are
    // waited for (or the quiet limit), so that the next user of the line,
    // this program or another, finds it quiet. Only then is the mark removed;
    // a line that went or never fell quiet keeps it, and its next user
    // listens first.
    const bool clean = port_.isOpen() && engine_.releaseLine();
    port_.close();
    if (clean && !openName_.empty()) LineRecord::clear(openName_);
    openName_.clear();
}

void DeviceLink::monitorLink(const std::string& portSelectorText,
                             const std::function<void(const ReplyData&)>& showDeviceDate) {
    // A link whose port vanished since the last step still gets its step:
    // the query then ends in Disconnect and the operator is told.
    if (!established_ && !port_.isOpen()) return;
    switch (statusQuery(port_, engine_)) {
    case ExchangeResult::Ok:
        if (showDeviceDate) showDeviceDate(engine_.replyData());
        break;
    case ExchangeResult::Disconnect:
        log_.logLine(" Авария, закрыт  " + portSelectorText, LogMode::Stamped);
        boxes_.show("Ошибка", "Самопроизвольно закрылся порт", MessageIcon::Error, MessageButtons::Ok);
        closePort();
        break;
    case ExchangeResult::BadReply:
        boxes_.show("Ошибка", "Устройство не отвечает.", MessageIcon::Error, MessageButtons::Ok);
        if (boxes_.show("Внимание!", "Устройство не отвечает\nРазорвать связь?", MessageIcon::Error,
                        MessageButtons::YesNo) == MessageAnswer::Yes) {
            log_.logLine(" Устройство не отвечает. Закрыт  " + portSelectorText, LogMode::Stamped);
            closePort();
        }
        break;
    case ExchangeResult::NoReply:
    default:
        // NoReply, and anything the engine should never return.
        log_.logLine(" Авария, закрыт  " + portSelectorText, LogMode::Stamped);
        boxes_.show("Ошибка", "При обмене возникла ошибка.\nПорт принудительно закрыт.", MessageIcon::Error,
                    MessageButtons::Ok);
        closePort();
        break;
    }
}

void DeviceLink::shutdown() { closePort(); }

}  // namespace zave
