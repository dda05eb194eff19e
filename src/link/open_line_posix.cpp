#include "link/open_line_posix.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace zave::posix {

using std::chrono::steady_clock;

int millisecondsUntil(steady_clock::time_point deadline) {
    const auto now = steady_clock::now();
    if (deadline <= now) return 0;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return left > INT_MAX ? INT_MAX : int(left);
}

namespace {

bool setNonBlockingCloseOnExec(int fd) {
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl < 0 || ::fcntl(fd, F_SETFL, fl | O_NONBLOCK) < 0) return false;
    const int fdfl = ::fcntl(fd, F_GETFD);
    return fdfl >= 0 && ::fcntl(fd, F_SETFD, fdfl | FD_CLOEXEC) >= 0;
}

}  // namespace

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

void signalPipe(int writeEnd) {
    if (writeEnd < 0) return;
    const char one = 1;
    ssize_t n;
    do {
        n = ::write(writeEnd, &one, 1);
    } while (n < 0 && errno == EINTR);
    // A full pipe is readable already; nothing is lost.
}

void drainSignalPipe(int readEnd) {
    if (readEnd < 0) return;
    char sink[64];
    while (::read(readEnd, sink, sizeof sink) > 0) {
    }
}

OpenLine::OpenLine(int descriptor, bool exclusiveMode) : fd(descriptor), exclusive(exclusiveMode) {
    makeSignalPipe(closedRead, closedWrite);
}

OpenLine::~OpenLine() {
    ::close(fd);
    if (closedRead >= 0) ::close(closedRead);
    if (closedWrite >= 0) ::close(closedWrite);
}

void checkHangup(OpenLine& line) {
    struct pollfd p {line.fd, POLLIN, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) line.gone.store(true);
}

}  // namespace zave::posix
