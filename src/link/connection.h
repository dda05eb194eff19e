// Connect, disconnect and the link monitor.
#pragma once

#include <functional>
#include <string>

#include "link/exchange.h"
#include "link/host.h"
#include "link/serial_port.h"

namespace zave {

inline constexpr int kSupportedDeviceType = 24;

// How a connect ended; the log already says it in the operator's words.
enum class ConnectOutcome {
    Ready,        // the device answered with the supported type; the link is open
    OpenFailed,   // the port did not open
    NoAnswer,     // no accepted status reply under the retry rule; the port is closed
    Unsupported,  // another device type (the status reply's type); the port is closed
};

class DeviceLink {
public:
    DeviceLink(SerialPort& port, ExchangeEngine& engine, LogSink& log, MessageBoxes& boxes, EventPump& pump);

    bool isOpen() const;
    // portName: the current text of the port selector.
    ConnectOutcome connectDevice(const std::string& portName);
    void closeLink();
    // One monitor step; `portSelectorText` names the port in log lines;
    // `showDeviceDate` receives replyData of an accepted status reply.
    void monitorLink(const std::string& portSelectorText,
                     const std::function<void(const ReplyData&)>& showDeviceDate);
    // Program end: closes an open port without a log line.
    void shutdown();

private:
    void closePort();
    SerialPort& port_;
    ExchangeEngine& engine_;
    LogSink& log_;
    MessageBoxes& boxes_;
    EventPump& pump_;
    // A greeting succeeded and no close followed. The port itself may have
    // gone meanwhile (adapter unplugged); the next monitor step reports that.
    bool established_ = false;
    // The port this link opened, for its mark (line_record.h).
    std::string openName_;
};

}  // namespace zave
