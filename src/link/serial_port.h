// The link port: one serial port at 9600 baud, 8N1, no flow control, RTS
// inactive, opened exclusively.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace zave {

enum class OpenFailure { None, NotFound, PermissionDenied, Busy, Settings };

// What the operator may need to know about a failed open: the device path
// and, when rights are missing, the group that owns the device (empty when
// unknown). Both empty when unknown.
struct OpenFailureDetail {
    std::string path;
    std::string group;
    friend bool operator==(const OpenFailureDetail&, const OpenFailureDetail&) = default;
};

enum class WaitResult { Input, Timeout, Woken, Gone };

class SerialPort {
public:
    using Deadline = std::chrono::steady_clock::time_point;
    virtual ~SerialPort() = default;

    // Opens the named port ("COM7") with the fixed settings; closes nothing.
    virtual bool open(const std::string& portName) = 0;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;
    // Why the last open failed, and the path and group for the permission hint.
    virtual OpenFailure lastOpenFailure() const = 0;
    virtual OpenFailureDetail lastOpenDetail() const = 0;

    // Bytes waiting in the input queue; a vanished device reads as 0 and
    // leaves the port not open.
    virtual size_t bytesWaiting() = 0;
    // Reads at most `max` of the bytes already waiting; never waits.
    virtual size_t readWaiting(char* buffer, size_t max) = 0;
    // Writes the buffer within the write time-out (100 ms a byte + 10 ms).
    virtual size_t write(const char* data, size_t size) = 0;
    // Blocks in the operating system until input is waiting, the deadline
    // passes, wake() is called or the device vanishes.
    virtual WaitResult waitForInput(Deadline deadline) = 0;
    // Ends a waitForInput in progress (or the next one) at once; thread-safe.
    virtual void wake() = 0;
};

std::unique_ptr<SerialPort> makeSystemSerialPort();

}  // namespace zave
