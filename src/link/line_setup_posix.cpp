// Opening a serial device on POSIX systems: the exclusive claim and the
// termios settings the device needs (9600 baud, 8N1, no flow control).
#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "link/open_line_posix.h"

namespace zave::posix {

namespace {

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

bool applySettings(int fd) {
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
// the lock to the open file: both are given up.
void giveUpClaim(int fd, bool exclusive) {
    if (exclusive) (void)::ioctl(fd, TIOCNXCL);
    (void)::flock(fd, LOCK_UN);
}

}  // namespace

Line openLineDevice(const std::string& path, OpenFailure& failure, OpenFailureDetail& detail) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        failure = failureOfOpen(errno);
        detail = failure == OpenFailure::PermissionDenied ? permissionDetail(path) : OpenFailureDetail{path, {}};
        return nullptr;
    }

    // TIOCEXCL keeps later openers out, except those running as root;
    // the lock also stops a second zave, whoever runs it.
    const bool exclusive = ::ioctl(fd, TIOCEXCL) == 0;
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0 || !applySettings(fd)) {
        failure = locked != 0 ? OpenFailure::Busy : OpenFailure::Settings;
        detail = {path, {}};
        giveUpClaim(fd, exclusive);
        ::close(fd);
        return nullptr;
    }

    // RTS inactive. A pseudo-terminal has no modem lines and refuses
    // this; that is no reason to refuse the port.
    int rts = TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIC, &rts);
    ::tcflush(fd, TCIFLUSH);
    return std::make_shared<OpenLine>(fd, exclusive);
}

void releaseLineClaim(const OpenLine& line) { giveUpClaim(line.fd, line.exclusive); }

}  // namespace zave::posix
