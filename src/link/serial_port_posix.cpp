// The link port on POSIX systems: a terminal device driven through termios.
//
// The exchange engine uses one port from two threads at once (one writes
// while the other waits for input and reads), and a worker left behind by an
// exchange may still be inside a call when the port is closed. So every call
// holds a reference to the open descriptor (OpenLine) for as long as it runs,
// and the descriptor is closed only when the last reference goes: close()
// marks the line closed and wakes its waits, no read or write starts on it
// afterwards, and its number cannot pass to another file while a call could
// still use it. A device that vanishes under a worker only marks the line gone.
#include "link/serial_port.h"

#include <atomic>
#include <cerrno>
#include <memory>
#include <mutex>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "link/port_names.h"

namespace zave {

namespace {

using std::chrono::steady_clock;

constexpr auto kWritePerByte = std::chrono::milliseconds(100);
constexpr auto kWriteConstant = std::chrono::milliseconds(10);

// Milliseconds left to the deadline, rounded up so that a wait never ends
// early; 0 once it has passed.
int millisecondsUntil(steady_clock::time_point deadline) {
    const auto now = steady_clock::now();
    if (deadline <= now) return 0;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return left > INT_MAX ? INT_MAX : int(left);
}

// The path and the group that owns it, for the permission hint.
OpenFailureDetail permissionDetail(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {path, {}};
    long size = ::sysconf(_SC_GETGR_R_SIZE_MAX);
    if (size <= 0) size = 16384;
    std::vector<char> buffer(size_t(size), '\0');
    struct group entry {};
    struct group* found = nullptr;
    int rc;
    while ((rc = ::getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
           buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (rc != 0 || found == nullptr || found->gr_name == nullptr || found->gr_name[0] == '\0')
        return {path, std::to_string(st.st_gid)};
    return {path, found->gr_name};
}

OpenFailure failureOfOpen(int error) {
    switch (error) {
    case EACCES:
    case EPERM: return OpenFailure::PermissionDenied;
    case EBUSY: return OpenFailure::Busy;
    default: return OpenFailure::NotFound;  // ENOENT, ENXIO, ENODEV and anything that is no device
    }
}

bool setNonBlockingCloseOnExec(int fd) {
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl < 0 || ::fcntl(fd, F_SETFL, fl | O_NONBLOCK) < 0) return false;
    const int fdfl = ::fcntl(fd, F_GETFD);
    return fdfl >= 0 && ::fcntl(fd, F_SETFD, fdfl | FD_CLOEXEC) >= 0;
}

// A non-blocking pipe whose read end becomes readable when a byte is
// written to it; both ends stay -1 when none can be had.
void makeSignalPipe(int& readEnd, int& writeEnd) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    if (setNonBlockingCloseOnExec(fds[0]) && setNonBlockingCloseOnExec(fds[1])) {
        readEnd = fds[0];
        writeEnd = fds[1];
    } else {
        ::close(fds[0]);
        ::close(fds[1]);
    }
}

// Writes the one byte that makes a signal pipe readable.
void signalPipe(int writeEnd) {
    if (writeEnd < 0) return;
    const char one = 1;
    ssize_t n;
    do {
        n = ::write(writeEnd, &one, 1);
    } while (n < 0 && errno == EINTR);
    // A full pipe is readable already; nothing is lost.
}

// One open descriptor of the device and what its calls share.
struct OpenLine {
    OpenLine(int descriptor, bool exclusiveMode) : fd(descriptor), exclusive(exclusiveMode) {
        makeSignalPipe(closedRead, closedWrite);
    }
    ~OpenLine() {
        ::close(fd);
        if (closedRead >= 0) ::close(closedRead);
        if (closedWrite >= 0) ::close(closedWrite);
    }
    OpenLine(const OpenLine&) = delete;
    OpenLine& operator=(const OpenLine&) = delete;

    const int fd;
    const bool exclusive;
    // Readable once the line is closed; ends every wait on it.
    int closedRead = -1;
    int closedWrite = -1;
    // Held around every read, write and ioctl on fd, and by close() while it
    // marks the line closed: no such call runs after close() returned.
    std::mutex io;
    bool closed = false;  // guarded by io
    // The same, for waits that look without the lock.
    std::atomic<bool> closing{false};
    std::atomic<bool> gone{false};
};

using Line = std::shared_ptr<OpenLine>;

class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort() { makeSignalPipe(wakeRead_, wakeWrite_); }

    ~PosixSerialPort() override {
        close();
        if (wakeRead_ >= 0) ::close(wakeRead_);
        if (wakeWrite_ >= 0) ::close(wakeWrite_);
    }

    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    bool open(const std::string& portName) override {
        // One port slot: a port still held from before is released first.
        close();
        failure_ = OpenFailure::None;
        detail_ = {};

        const std::optional<std::string> path = resolvePortPath(portName);
        if (!path) {
            failure_ = OpenFailure::NotFound;
            return false;
        }

        int fd;
        do {
            fd = ::open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            const int error = errno;
            failure_ = failureOfOpen(error);
            if (failure_ == OpenFailure::PermissionDenied) detail_ = permissionDetail(*path);
            else detail_ = {*path, {}};
            return false;
        }

        // TIOCEXCL keeps later openers out, except those running as root;
        // the lock also stops a second zave, whoever runs it.
        const bool exclusive = ::ioctl(fd, TIOCEXCL) == 0;
        int locked;
        do {
            locked = ::flock(fd, LOCK_EX | LOCK_NB);
        } while (locked != 0 && errno == EINTR);
        if (locked != 0) {
            failure_ = OpenFailure::Busy;
            detail_ = {*path, {}};
            giveUpClaim(fd, exclusive);
            ::close(fd);
            return false;
        }

        if (!applySettings(fd)) {
            failure_ = OpenFailure::Settings;
            detail_ = {*path, {}};
            giveUpClaim(fd, exclusive);
            ::close(fd);
            return false;
        }

        // RTS inactive. A pseudo-terminal has no modem lines and refuses
        // this; that is no reason to refuse the port.
        int rts = TIOCM_RTS;
        (void)::ioctl(fd, TIOCMBIC, &rts);
        ::tcflush(fd, TCIFLUSH);

        drainWake();
        auto line = std::make_shared<OpenLine>(fd, exclusive);
        std::lock_guard lock(lineMutex_);
        line_ = std::move(line);
        return true;
    }

    bool isOpen() const override {
        const Line line = current();
        return line && !line->gone.load() && !line->closing.load();
    }

    void close() override {
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
            giveUpClaim(line->fd, line->exclusive);
        }
        signalPipe(line->closedWrite);
        // The descriptor itself is closed with the last reference.
    }

    OpenFailure lastOpenFailure() const override { return failure_; }
    OpenFailureDetail lastOpenDetail() const override { return detail_; }

    size_t bytesWaiting() override {
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

    size_t readWaiting(char* buffer, size_t max) override {
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

    size_t write(const char* data, size_t size) override {
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
            // The output queue is full: wait for room until the time-out or
            // until the line is closed.
            const int wait = millisecondsUntil(deadline);
            if (wait == 0) break;
            struct pollfd p[2] = {{line->fd, POLLOUT, 0}, {line->closedRead, POLLIN, 0}};
            const int rc = ::poll(p, line->closedRead >= 0 ? 2 : 1, line->closedRead >= 0 ? wait : std::min(wait, 10));
            if (rc < 0) {
                if (errno == EINTR) continue;
                line->gone.store(true);
                break;
            }
            if (line->closing.load()) break;
            if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
                line->gone.store(true);
                break;
            }
        }
        return written;
    }

    WaitResult waitForInput(Deadline deadline) override {
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

    void wake() override {
        if (wakeWrite_ < 0) wakeFlag_.store(true);
        else signalPipe(wakeWrite_);
    }

private:
    static bool applySettings(int fd) {
        struct termios tio {};
        if (::tcgetattr(fd, &tio) != 0) return false;
        ::cfmakeraw(&tio);
        if (::cfsetispeed(&tio, B9600) != 0 || ::cfsetospeed(&tio, B9600) != 0) return false;
        tio.c_cflag &= ~tcflag_t(CSIZE | PARENB | CSTOPB | CRTSCTS);
        tio.c_cflag |= CS8 | CLOCAL | CREAD;
        tio.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        int rc;
        do {
            rc = ::tcsetattr(fd, TCSANOW, &tio);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) return false;
        // tcsetattr succeeds when any part of the change was made; make sure
        // the line really runs with the settings the device needs.
        struct termios check {};
        if (::tcgetattr(fd, &check) != 0) return false;
        return ::cfgetospeed(&check) == B9600 && ::cfgetispeed(&check) == B9600 &&
               (check.c_cflag & CSIZE) == CS8 && (check.c_cflag & (PARENB | CSTOPB | CRTSCTS)) == 0;
    }

    // The exclusive mode belongs to the device, not to this descriptor, and
    // the lock to the open file: both are given up so that the next opener
    // is not refused.
    static void giveUpClaim(int fd, bool exclusive) {
        if (exclusive) (void)::ioctl(fd, TIOCNXCL);
        (void)::flock(fd, LOCK_UN);
    }

    Line current() const {
        std::lock_guard lock(lineMutex_);
        return line_;
    }

    static void checkHangup(OpenLine& line) {
        struct pollfd p {line.fd, POLLIN, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) line.gone.store(true);
    }

    void drainWake() {
        wakeFlag_.store(false);
        if (wakeRead_ < 0) return;
        char sink[64];
        while (::read(wakeRead_, sink, sizeof sink) > 0) {
        }
    }

    mutable std::mutex lineMutex_;
    Line line_;  // guarded by lineMutex_
    std::atomic<bool> wakeFlag_{false};
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    OpenFailure failure_ = OpenFailure::None;
    OpenFailureDetail detail_;
};

}  // namespace

std::unique_ptr<SerialPort> makeSystemSerialPort() { return std::make_unique<PosixSerialPort>(); }

}  // namespace zave
