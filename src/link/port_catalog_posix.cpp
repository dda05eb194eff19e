// The serial ports of a POSIX system: every COM name whose device exists
// and is a real serial port. Discovery asks once a second while no port is
// open, so the probe stays light and leaves ports in use alone: the kernel's
// device tables are read first, and a device is opened only when they say
// nothing about it, never exclusively.
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/serial.h>
#endif

#include "link/discovery.h"
#include "link/port_names.h"

namespace zave {

namespace {

enum class Verdict { Yes, No, Unknown };

// "ttyS<digits>": the 8250 nodes that exist whether or not a UART is there.
bool isFixedUartNode(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() < 5 || name.compare(0, 4, "ttyS") != 0) return false;
    for (size_t i = 4; i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return true;
}

#ifdef __linux__
// What sysfs says about the character device: whether it is a terminal and,
// for ports of the serial core, whether a UART was found.
Verdict sysfsVerdict(dev_t device, bool fixedUartNode) {
    const std::string dir =
        "/sys/dev/char/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    char target[PATH_MAX];
    const ssize_t n = ::readlink((dir + "/subsystem").c_str(), target, sizeof target - 1);
    if (n <= 0) return Verdict::Unknown;
    target[n] = '\0';
    const char* base = std::strrchr(target, '/');
    base = base == nullptr ? target : base + 1;
    if (std::strcmp(base, "tty") != 0) return Verdict::No;

    const int fd = ::open((dir + "/type").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fixedUartNode ? Verdict::Unknown : Verdict::Yes;
    char text[32] = {};
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (got <= 0) return fixedUartNode ? Verdict::Unknown : Verdict::Yes;
    return std::atoi(text) != 0 ? Verdict::Yes : Verdict::No;  // 0 is PORT_UNKNOWN
}
#endif

// Opens the device briefly to look at it.
bool probeByOpening(const std::string& path, bool fixedUartNode) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // Held exclusively by someone else, or not ours to open: it exists,
        // and stat already said it is a character device.
        return errno == EBUSY || errno == EACCES || errno == EPERM;
    }
    bool serial = ::isatty(fd) == 1;
#ifdef __linux__
    if (serial && fixedUartNode) {
        struct serial_struct info {};
        serial = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    }
#endif
    ::close(fd);
    return serial;
}

bool isSerialPort(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    const bool fixedUartNode = isFixedUartNode(path);
#ifdef __linux__
    switch (sysfsVerdict(st.st_rdev, fixedUartNode)) {
    case Verdict::Yes: return true;
    case Verdict::No: return false;
    case Verdict::Unknown: break;
    }
#endif
    return probeByOpening(path, fixedUartNode);
}

class PosixPortCatalog final : public PortCatalog {
public:
    std::optional<std::vector<CatalogEntry>> listPorts() override {
        const std::string folder = portLinkFolder();
        std::vector<CatalogEntry> ports;
        for (const std::string& name : portSelectorNames()) {
            const std::optional<std::string> path = resolvePortPath(name, folder);
            if (path && isSerialPort(*path)) ports.push_back({*path, name});
        }
        return ports;
    }
};

}  // namespace

std::unique_ptr<PortCatalog> makeSystemPortCatalog() { return std::make_unique<PosixPortCatalog>(); }

}  // namespace zave
