// Waiting on the POSIX link port: for input, for room to write, and the
// wake-up that ends a wait from another thread. Every wait blocks in poll(),
// on the line itself, on the port's wake pipe and on the line's closed pipe,
// so a close or a wake ends it at once.
#include <cerrno>
#include <poll.h>
#include <unistd.h>

#include "link/serial_port_posix.h"

namespace zave::posix {

using std::chrono::steady_clock;

bool PosixSerialPort::waitForRoom(OpenLine& line, Deadline deadline) {
    for (;;) {
        const int wait = millisecondsUntil(deadline);
        if (wait == 0) return false;
        struct pollfd p[2] = {{line.fd, POLLOUT, 0}, {line.closedRead, POLLIN, 0}};
        const int rc =
            ::poll(p, line.closedRead >= 0 ? 2 : 1, line.closedRead >= 0 ? wait : std::min(wait, 10));
        if (rc < 0) {
            if (errno == EINTR) continue;
            line.gone.store(true);
            return false;
        }
        if (line.closing.load()) return false;
        if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            line.gone.store(true);
            return false;
        }
        return true;
    }
}

WaitResult PosixSerialPort::waitForInput(Deadline deadline) {
    const Line line = current();
    for (;;) {
        if (!line || line->closing.load() || line->gone.load()) return WaitResult::Gone;
        if (wakeRead_ < 0 && wakeFlag_.exchange(false)) return WaitResult::Woken;

        int wait = millisecondsUntil(deadline);
        // Without its pipes the flags are looked at between short waits.
        if ((wakeRead_ < 0 || line->closedRead < 0) && wait > 10) wait = 10;
        struct pollfd p[3] = {{line->fd, POLLIN, 0}, {wakeRead_, POLLIN, 0}, {line->closedRead, POLLIN, 0}};
        const int rc = ::poll(p, 3, wait);
        if (rc < 0) {
            if (errno == EINTR) continue;
            line->gone.store(true);
            return WaitResult::Gone;
        }
        if (p[2].revents & POLLIN) return WaitResult::Gone;
        if (p[1].revents & POLLIN) {
            drainWake();
            return WaitResult::Woken;
        }
        if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            line->gone.store(true);
            return WaitResult::Gone;
        }
        if (p[0].revents & POLLIN) return WaitResult::Input;
        if (steady_clock::now() >= deadline) return WaitResult::Timeout;
    }
}

void PosixSerialPort::wake() {
    if (wakeWrite_ < 0) wakeFlag_.store(true);
    else signalPipe(wakeWrite_);
}

void PosixSerialPort::drainWake() {
    wakeFlag_.store(false);
    drainSignalPipe(wakeRead_);
}

}  // namespace zave::posix
