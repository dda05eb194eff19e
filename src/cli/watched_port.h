// The system's serial port with what zavectl wants to tell afterwards: why
// an open failed and whether the device sent anything at all.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "link/serial_port.h"

namespace zave::cli {

class WatchedPort final : public SerialPort {
public:
    explicit WatchedPort(std::unique_ptr<SerialPort> port) : port_(std::move(port)) {}

    bool open(const std::string& portName) override { return port_->open(portName); }
    bool isOpen() const override { return port_->isOpen(); }
    void close() override { port_->close(); }
    OpenFailure lastOpenFailure() const override { return port_->lastOpenFailure(); }
    OpenFailureDetail lastOpenDetail() const override { return port_->lastOpenDetail(); }
    size_t bytesWaiting() override { return port_->bytesWaiting(); }
    size_t readWaiting(char* buffer, size_t max) override {
        const size_t n = port_->readWaiting(buffer, max);
        bytesRead_ += n;
        readSinceWrite_ += n;
        return n;
    }
    size_t write(const char* data, size_t size) override {
        readSinceWrite_ = 0;
        return port_->write(data, size);
    }
    WaitResult waitForInput(Deadline deadline) override { return port_->waitForInput(deadline); }
    void wake() override { port_->wake(); }

    // Bytes the device sent since the port was made (read by the engine),
    // and since the last frame was sent: none means the last frame went
    // unanswered.
    size_t bytesRead() const { return bytesRead_; }
    size_t readSinceLastWrite() const { return readSinceWrite_; }

private:
    std::unique_ptr<SerialPort> port_;
    std::atomic<size_t> bytesRead_{0};  // counted by the exchange's reader
    std::atomic<size_t> readSinceWrite_{0};
};

}  // namespace zave::cli
