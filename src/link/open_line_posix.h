// One open descriptor of a serial device on POSIX systems, and the small
// pieces its calls share. Internal to the POSIX link port.
//
// The exchange engine uses one port from two threads at once (one writes
// while the other waits for input and reads), and a worker left behind by an
// exchange may still be inside a call when the port is closed. So every call
// holds a reference to the OpenLine for as long as it runs, and the
// descriptor is closed only when the last reference goes: closing marks the
// line closed and wakes its waits, no read or write starts on it afterwards,
// and its number cannot pass to another file while a call could still use
// it. A device that vanishes under a worker only marks the line gone.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "link/serial_port.h"

namespace zave::posix {

// Milliseconds left to the deadline, rounded up so that a wait never ends
// early; 0 once it has passed.
int millisecondsUntil(std::chrono::steady_clock::time_point deadline);

// A non-blocking pipe whose read end becomes readable when a byte is
// written to it; both ends stay -1 when none can be had.
void makeSignalPipe(int& readEnd, int& writeEnd);
// Writes the one byte that makes a signal pipe readable.
void signalPipe(int writeEnd);
// Reads a signal pipe empty.
void drainSignalPipe(int readEnd);

struct OpenLine {
    OpenLine(int descriptor, bool exclusiveMode);
    ~OpenLine();
    OpenLine(const OpenLine&) = delete;
    OpenLine& operator=(const OpenLine&) = delete;

    const int fd;
    const bool exclusive;
    // Readable once the line is closed; ends every wait on it.
    int closedRead = -1;
    int closedWrite = -1;
    // Held around every read, write and ioctl on fd, and by closing while it
    // marks the line closed: no such call runs after the close returned.
    std::mutex io;
    bool closed = false;  // guarded by io
    // The same, for waits that look without the lock.
    std::atomic<bool> closing{false};
    std::atomic<bool> gone{false};
};

using Line = std::shared_ptr<OpenLine>;

// Marks the line gone when it has hung up; never waits.
void checkHangup(OpenLine& line);

// Opening: the device at `path` claimed exclusively and set to 9600 8N1
// without flow control, RTS inactive, input flushed. Null on failure, with
// the reason and the detail the operator may need.
Line openLineDevice(const std::string& path, OpenFailure& failure, OpenFailureDetail& detail);
// Gives up the claim on the device so that the next opener is not refused,
// even while a call still holds the descriptor.
void releaseLineClaim(const OpenLine& line);

}  // namespace zave::posix
