// The device as both front ends reach it: one station owns the link port,
// the exchange engine, the link (connect, monitor, close), the discovery of
// new ports and the busy rule. The window and zavectl lend it their user-
// interface hooks and call its operations; neither wires the parts itself.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/program_ops.h"
#include "link/connection.h"
#include "link/discovery.h"
#include "link/eeprom_question.h"
#include "link/exchange.h"
#include "link/host.h"
#include "link/serial_port.h"
#include "schedule/document.h"

namespace zave {

// What a front end lends the station; every hook must outlive it.
struct StationHooks {
    MessageBoxes& boxes;
    EepromQuestions& eeprom;
    LogSink& log;
    EventPump& pump;
    ProgressUi& progress;
    Clock& clock;
};

class DeviceStation {
public:
    DeviceStation(std::unique_ptr<SerialPort> port, const StationHooks& hooks);
    // Closes an open port without a log line, as at the program's end.
    ~DeviceStation();
    DeviceStation(const DeviceStation&) = delete;
    DeviceStation& operator=(const DeviceStation&) = delete;

    bool isOpen() const;
    // The data of the last accepted status or table reply (index 1..10).
    const ReplyData& replyData() const;
    // How long ago that reply came.
    std::chrono::steady_clock::duration replyAge() const { return engine_.answerAge(); }

    // The busy rule: while a tick, a device operation or a command's question
    // holds the user-interface thread, a timer tick that arrives meanwhile
    // (in a message box's own loop, say) is dropped.
    bool busy() const { return busy_; }
    class Hold {
    public:
        explicit Hold(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
        ~Hold() { flag_ = was_; }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        bool& flag_;
        bool was_;
    };
    [[nodiscard]] Hold hold() { return Hold(busy_); }

    // "Установить связь" on the port named `portName`.
    ConnectOutcome connect(const std::string& portName);
    // "Разорвать связь".
    void closeLink();
    // One step of the link monitor (see DeviceLink::monitorLink).
    void monitorLink(const std::string& portSelectorText, const std::function<void(const ReplyData&)>& showDeviceDate);
    // One scan for new ports; nothing while busy or while the link port is open.
    void scanPorts(PortCatalog& catalog);
    const std::vector<std::string>& knownPorts() const { return discovery_.knownPorts(); }

    // The program write, read and the clock, each holding the station busy.
    bool writeProgram(const ScheduleDocument& doc, bool documentIsWritable);
    bool readProgram(ScheduleDocument& doc);
    // Only the frames that differ from what the device was read to hold.
    bool writeProgramChanges(const ScheduleDocument& doc, const ScheduleDocument& held);
    bool syncClock();
    // One frame without repeats (the simulation of the status tick).
    ExchangeResult sendCommand(int64_t code, const CommandParams& params);

    // Program end: closes an open port without a log line.
    void shutdown();

private:
    std::unique_ptr<SerialPort> port_;
    StationHooks hooks_;
    ExchangeEngine engine_;
    DeviceLink link_;
    PortDiscovery discovery_;
    bool busy_ = false;
};

}  // namespace zave
