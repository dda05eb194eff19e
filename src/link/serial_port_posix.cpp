// The link port on POSIX systems: opening and closing the line, and its
// reads and writes, each holding the open line for as long as it runs (see
// open_line_posix.h for why).
#include "link/serial_port_posix.h"

#include <cerrno>
#include <sys/ioctl.h>
#include <unistd.h>

#include "link/port_names.h"

namespace zave {

namespace posix {

namespace {

using std::chrono::steady_clock;

constexpr auto kWritePerByte = std::chrono::milliseconds(100);
constexpr auto kWriteConstant = std::chrono::milliseconds(10);

}  // namespace

PosixSerialPort::PosixSerialPort() { makeSignalPipe(wakeRead_, wakeWrite_); }

PosixSerialPort::~PosixSerialPort() {
    close();
    if (wakeRead_ >= 0) ::close(wakeRead_);
    if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

bool PosixSerialPort::open(const std::string& portName) {
    // One port slot: a port still held from before is released first.
    close();
    failure_ = OpenFailure::None;
    detail_ = {};

    const std::optional<std::string> path = resolvePortPath(portName);
    if (!path) {
        failure_ = OpenFailure::NotFound;
        return false;
    }
    Line line = openLineDevice(*path, failure_, detail_);
    if (!line) return false;

    drainWake();
    std::lock_guard lock(lineMutex_);
    line_ = std::move(line);
    return true;
}

bool PosixSerialPort::isOpen() const {
    const Line line = current();
    return line && !line->gone.load() && !line->closing.load();
}

void PosixSerialPort::close() {
    Line line;
    {
        std::lock_guard lock(lineMutex_);
        line = std::move(line_);
    }
    if (!line) return;
    {
        // Waits for a read or write in progress; none starts afterwards.
        std::lock_guard io(line->io);
        line->closed = true;
        line->closing.store(true);
        // The port is free for the next opener at once, even while a
        // call still holds the descriptor.
        releaseLineClaim(*line);
    }
    signalPipe(line->closedWrite);
    // The descriptor itself is closed with the last reference.
}

size_t PosixSerialPort::bytesWaiting() {
    const Line line = current();
    if (!line) return 0;
    std::lock_guard io(line->io);
    if (line->closed || line->gone.load()) return 0;
    int count = 0;
    int rc;
    do {
        rc = ::ioctl(line->fd, FIONREAD, &count);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        line->gone.store(true);
        return 0;
    }
    return count > 0 ? size_t(count) : 0;
}

size_t PosixSerialPort::readWaiting(char* buffer, size_t max) {
    if (max == 0 || buffer == nullptr) return 0;
    const Line line = current();
    if (!line) return 0;
    std::lock_guard io(line->io);
    if (line->closed || line->gone.load()) return 0;
    for (;;) {
        const ssize_t n = ::read(line->fd, buffer, max);
        if (n > 0) return size_t(n);
        if (n == 0) {
            // With VMIN and VTIME at zero an empty queue also reads as
            // 0, so look whether the line has hung up.
            checkHangup(*line);
            return 0;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) line->gone.store(true);
        return 0;
    }
}

size_t PosixSerialPort::write(const char* data, size_t size) {
    if (size == 0 || data == nullptr) return 0;
    const Line line = current();
    if (!line) return 0;
    const auto deadline = steady_clock::now() + kWritePerByte * size + kWriteConstant;
    size_t written = 0;
    while (written < size) {
        ssize_t n;
        int error = 0;
        {
            std::lock_guard io(line->io);
            if (line->closed || line->gone.load()) break;
            n = ::write(line->fd, data + written, size - written);
            if (n < 0) error = errno;
        }
        if (n > 0) {
            written += size_t(n);
            continue;
        }
        if (n < 0 && error == EINTR) continue;
        if (n < 0 && error != EAGAIN && error != EWOULDBLOCK) {
            line->gone.store(true);
            break;
        }
        // The output queue is full.
        if (!waitForRoom(*line, deadline)) break;
    }
    return written;
}

}  // namespace posix

std::unique_ptr<SerialPort> makeSystemSerialPort() { return std::make_unique<posix::PosixSerialPort>(); }

}  // namespace zave
