// The link port on POSIX systems: a terminal device driven through termios.
// Internal; the rest of the program makes one with makeSystemSerialPort().
#pragma once

#include <atomic>
#include <mutex>

#include "link/open_line_posix.h"
#include "link/serial_port.h"

namespace zave::posix {

class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort();
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    bool open(const std::string& portName) override;
    bool isOpen() const override;
    void close() override;
    OpenFailure lastOpenFailure() const override { return failure_; }
    OpenFailureDetail lastOpenDetail() const override { return detail_; }

    size_t bytesWaiting() override;
    size_t readWaiting(char* buffer, size_t max) override;
    size_t write(const char* data, size_t size) override;
    // serial_port_wait_posix.cpp
    WaitResult waitForInput(Deadline deadline) override;
    void wake() override;

private:
    Line current() const {
        std::lock_guard lock(lineMutex_);
        return line_;
    }
    // Forgets wake-ups given before now.
    void drainWake();
    // Waits until the descriptor can take more output, the deadline passes
    // or the line is closed; false when no more should be written.
    static bool waitForRoom(OpenLine& line, Deadline deadline);

    mutable std::mutex lineMutex_;
    Line line_;  // guarded by lineMutex_
    std::atomic<bool> wakeFlag_{false};
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    OpenFailure failure_ = OpenFailure::None;
    OpenFailureDetail detail_;
};

}  // namespace zave::posix
