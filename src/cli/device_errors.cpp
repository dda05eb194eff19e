#include "cli/device_errors.h"

#include "link/port_holder.h"

namespace zave::cli {

namespace {

void reportOpenFailure(Console& console, const std::string& port, const SerialPort& serial) {
    const OpenFailureDetail detail = serial.lastOpenDetail();
    const std::string& path = detail.path;
    const std::string where = path.empty() || path == port ? port : port + " (" + path + ")";
    switch (serial.lastOpenFailure()) {
    case OpenFailure::Busy: {
        const std::string holders = path.empty() ? std::string() : portHolders(path);
        Json data{{"port", port}, {"path", path}};
        if (!holders.empty()) data["holders"] = holders;
        console.error("busy", where + ": порт занят другой программой" + (holders.empty() ? "" : ": " + holders), data);
        return;
    }
    case OpenFailure::PermissionDenied: {
        const std::string& group = detail.group;
        Json data{{"port", port}, {"path", path}};
        if (!group.empty()) data["group"] = group;
        console.error("permission",
                      where + ": нет прав на порт" +
                          (group.empty() ? std::string()
                                         : "; вступите в группу " + group + " (sudo usermod -aG " + group +
                                               " $USER) и войдите в систему заново"),
                      data);
        return;
    }
    case OpenFailure::Settings:
        console.error("notATerminal", where + ": не последовательный порт (линия не настраивается)",
                      Json{{"port", port}, {"path", path}});
        return;
    case OpenFailure::NotFound:
    case OpenFailure::None: break;
    }
    console.error("notFound", where + ": порт не найден", Json{{"port", port}, {"path", path}});
}

}  // namespace

void reportConnectFailure(Console& console, const std::string& port, ConnectOutcome outcome, const SerialPort& serial,
                          std::optional<int> deviceType, bool anyReply) {
    switch (outcome) {
    case ConnectOutcome::Ready: return;
    case ConnectOutcome::OpenFailed: reportOpenFailure(console, port, serial); return;
    case ConnectOutcome::NoAnswer:
        if (anyReply)
            console.error("refused", port + ": устройство отвечает, но не принимает запрос состояния",
                          Json{{"port", port}});
        else
            console.error("noReply", port + ": устройство не отвечает", Json{{"port", port}});
        return;
    case ConnectOutcome::Unsupported:
        if (!deviceType) {
            console.error("unsupported",
                          port + ": тип устройства неизвестен: ответ на запрос состояния пришёл с ошибкой EEPROM, "
                                 "ошибка пропущена и данные ответа заменены значением 255",
                          Json{{"port", port}, {"deviceType", nullptr}});
            return;
        }
        console.error("unsupported",
                      port + ": тип устройства " + std::to_string(*deviceType) + " не поддерживается (поддерживается " +
                          std::to_string(kSupportedDeviceType) + ")",
                      Json{{"port", port}, {"deviceType", *deviceType}});
        return;
    }
}

void reportOperationFailure(Console& console, const std::string& port, std::string_view failure, bool portLost,
                            bool lastAnswered, bool interrupted) {
    const std::string what = port + ": " + std::string(failure);
    if (interrupted) console.error("interrupted", what + ": прервано оператором", Json{{"port", port}});
    else if (portLost) console.error("portLost", what + ": порт пропал", Json{{"port", port}});
    else if (!lastAnswered) console.error("noReply", what + ": устройство не отвечает", Json{{"port", port}});
    else console.error("refused", what + ": устройство не приняло команду", Json{{"port", port}});
}

}  // namespace zave::cli
