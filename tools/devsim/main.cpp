// zave-devsim: a stand-in for the announcer on a pseudo-terminal. It makes a
// port link (named like a COM port) in the port-link folder, so that the
// configuration tool opens it like a real serial port, answers the protocol
// and prints a trace of every frame on stdout.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/signalfd.h>
#endif

#include "device_model.h"
#include "link/port_names.h"

namespace {

using zave::devsim::Answer;
using zave::devsim::BadClock;
using zave::devsim::DeviceModel;
using zave::devsim::Faults;

const char kUsage[] =
    "Usage: zave-devsim [options]\n"
    "Simulates the announcer on a pseudo-terminal reachable as a COM port.\n"
    "The first line printed is \"port <name> <device path>\"; then one trace line\n"
    "per frame received (\"rx <frame>\") and per answer sent (\"tx <answer>\"),\n"
    "plus \"sim ...\", \"clock ...\", \"hour a..b\", \"settings ...\" for accepted commands.\n"
    "\n"
    "  --port COMn          port name of the link (default COM200)\n"
    "  --type N             device type in status replies (default 24)\n"
    "  --state FILE         load tables, settings and clock from FILE; save after every change\n"
    "  --delay-ms N         wait N ms before answering a frame\n"
    "  --pace BAUD          send and take characters no faster than the line (10 bits a character)\n"
    "Faults (may be combined):\n"
    "  --silent             never answer\n"
    "  --mute-after N       answer the first N frames only\n"
    "  --fail-first N       answer \"of#\" to the first N arrivals of a frame in a row\n"
    "  --eeprom KIND[:CODES] report a damaged EEPROM: KIND os, ol or both. Commands are\n"
    "                       answered \"os#\", \"ol#\" or \"os#ol#\" instead of \"on#\"; queries\n"
    "                       carry their data and checksum followed by the same tokens.\n"
    "                       CODES: comma-separated hex codes it applies to (default all).\n"
    "                       A command so answered stores nothing.\n"
    "  --eeprom-accept      put \"on#\" before the EEPROM tokens\n"
    "  --eeprom-times N     report the EEPROM fault for the first N matching frames only\n"
    "  --no-terminator      leave out the final carriage return of every answer\n"
    "  --bad-checksum       query replies carry a wrong checksum\n"
    "  --bad-clock MODE     status replies carry a bad date: hour (hour 24), april\n"
    "                       (31 April), alternate (hour 24, then 31 April, by turns), both\n"
    "  --help               this text\n"
    "Bad frames (length, hex digits, checksum, unknown code, values out of range) get \"of#\".\n"
    "SIGINT or SIGTERM ends the simulator and removes its port link.\n";

// SIGINT and SIGTERM end the simulator. On Linux they stay blocked and are
// taken from a signalfd, so no handler runs at all; elsewhere a handler
// writes to a pipe. Either way gStopFd becomes readable.
volatile sig_atomic_t gStop = 0;
int gStopFd = -1;
#ifndef __linux__
int gSignalPipe[2] = {-1, -1};

void onSignal(int) {
    gStop = 1;
    const int saved = errno;
    const char one = 1;
    (void)!::write(gSignalPipe[1], &one, 1);
    errno = saved;
}
#endif

void setUpStopSignals() {
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
#ifdef __linux__
    ::sigprocmask(SIG_BLOCK, &stops, nullptr);
    gStopFd = ::signalfd(-1, &stops, SFD_NONBLOCK | SFD_CLOEXEC);
    if (gStopFd < 0) {
        std::fprintf(stderr, "zave-devsim: signalfd: %s\n", std::strerror(errno));
        std::exit(2);
    }
#else
    if (::pipe(gSignalPipe) != 0) {
        std::fprintf(stderr, "zave-devsim: pipe: %s\n", std::strerror(errno));
        std::exit(2);
    }
    for (int fd : gSignalPipe) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    gStopFd = gSignalPipe[0];
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no restart: sleeps and polls return at once
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigprocmask(SIG_UNBLOCK, &stops, nullptr);  // whatever the starter had blocked
#endif
}

// True once a stop signal came; looks without waiting.
bool stopRequested() {
    if (gStop) return true;
    struct pollfd p {gStopFd, POLLIN, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) gStop = 1;
    return gStop != 0;
}

struct Options {
    std::string port = "COM200";
    int type = 24;
    std::string stateFile;
    long delayMs = 0;
    long pace = 0;
    Faults faults;
};

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "zave-devsim: %s\n", message.c_str());
    std::exit(2);
}

long parseNumber(const std::string& option, const std::string& text, long lo, long hi) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < lo || v > hi)
        fail(option + ": expected a number " + std::to_string(lo) + ".." + std::to_string(hi) + ", got \"" + text +
             "\"");
    return v;
}

bool validPortName(const std::string& name) {
    for (const auto& n : zave::portSelectorNames())
        if (n == name) return true;
    return false;
}

Options parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        const size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            hasValue = true;
        }
        auto next = [&]() -> std::string {
            if (hasValue) return value;
            if (i + 1 >= argc) fail(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg == "--port") {
            o.port = next();
            if (!validPortName(o.port)) fail("--port: expected COM1..COM200, got \"" + o.port + "\"");
        } else if (arg == "--type") {
            o.type = int(parseNumber(arg, next(), 0, 255));
        } else if (arg == "--state") {
            o.stateFile = next();
        } else if (arg == "--delay-ms") {
            o.delayMs = parseNumber(arg, next(), 0, 600000);
        } else if (arg == "--pace") {
            o.pace = parseNumber(arg, next(), 1, 4000000);
        } else if (arg == "--silent") {
            o.faults.silent = true;
        } else if (arg == "--mute-after") {
            o.faults.muteAfter = parseNumber(arg, next(), 0, LONG_MAX);
        } else if (arg == "--fail-first") {
            o.faults.failFirst = parseNumber(arg, next(), 0, LONG_MAX);
        } else if (arg == "--eeprom") {
            const std::string v = next();
            const size_t colon = v.find(':');
            const std::string kind = v.substr(0, colon);
            if (kind == "os") o.faults.eepromOs = true;
            else if (kind == "ol") o.faults.eepromOl = true;
            else if (kind == "both") o.faults.eepromOs = o.faults.eepromOl = true;
            else fail("--eeprom: expected os, ol or both, got \"" + kind + "\"");
            if (colon != std::string::npos) {
                std::string list = v.substr(colon + 1);
                size_t start = 0;
                while (start <= list.size()) {
                    const size_t comma = std::min(list.find(',', start), list.size());
                    const std::string code = list.substr(start, comma - start);
                    char* end = nullptr;
                    const long c = std::strtol(code.c_str(), &end, 16);
                    if (code.empty() || *end != '\0' || c < 0 || c > 255)
                        fail("--eeprom: bad hex code \"" + code + "\"");
                    o.faults.eepromCodes.insert(int(c));
                    start = comma + 1;
                }
            }
        } else if (arg == "--eeprom-accept") {
            o.faults.eepromAccept = true;
        } else if (arg == "--eeprom-times") {
            o.faults.eepromTimes = parseNumber(arg, next(), 0, LONG_MAX);
        } else if (arg == "--no-terminator") {
            o.faults.noTerminator = true;
        } else if (arg == "--bad-checksum") {
            o.faults.badChecksum = true;
        } else if (arg == "--bad-clock") {
            const std::string v = next();
            if (v == "hour") o.faults.badClock = BadClock::Hour;
            else if (v == "april") o.faults.badClock = BadClock::April;
            else if (v == "alternate") o.faults.badClock = BadClock::Alternate;
            else if (v == "both") o.faults.badClock = BadClock::Both;
            else fail("--bad-clock: expected hour, april, alternate or both, got \"" + v + "\"");
        } else {
            fail("unknown option \"" + arg + "\" (see --help)");
        }
    }
    return o;
}

// Printable form of a frame or an answer for the trace.
std::string printable(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c < 0x20 || c >= 0x7F || c == '\\') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else out += char(c);
    }
    return out;
}

void traceLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool makeRaw(int fd) {
    struct termios tio {};
    if (::tcgetattr(fd, &tio) != 0) return false;
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

bool mkdirs(const std::string& path) {
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty()) continue;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

using Clock = struct timespec;

Clock now() {
    Clock t {};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return t;
}

Clock addNs(Clock t, long long ns) {
    long long total = (long long)t.tv_nsec + ns;
    t.tv_sec += time_t(total / 1000000000LL);
    t.tv_nsec = long(total % 1000000000LL);
    if (t.tv_nsec < 0) {
        t.tv_nsec += 1000000000L;
        t.tv_sec -= 1;
    }
    return t;
}

bool before(const Clock& a, const Clock& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// Sleeps to an absolute time; false when a stop signal came meanwhile. Long
// waits are cut into slices so that a stop is seen soon.
bool sleepUntil(const Clock& deadline) {
    for (;;) {
        if (stopRequested()) return false;
        Clock slice = addNs(now(), 20000000LL);
        const bool last = !before(slice, deadline);
        if (last) slice = deadline;
        while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &slice, nullptr) == EINTR) {
            if (stopRequested()) return false;
        }
        if (last) return !stopRequested();
    }
}

// Writes all of text to the master, waiting up to a second for room.
bool writeAll(int fd, const char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
        struct pollfd p {fd, POLLOUT, 0};
        if (::poll(&p, 1, 1000) <= 0) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    DeviceModel device(options.type, options.faults);
    std::string error;
    if (!options.stateFile.empty() && !device.load(options.stateFile, error)) fail(error);

    setUpStopSignals();
    std::signal(SIGPIPE, SIG_IGN);

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        fail(std::string("pseudo-terminal: ") + std::strerror(errno));
    char slaveName[PATH_MAX];
    if (::ptsname_r(master, slaveName, sizeof slaveName) != 0) fail("ptsname failed");
    const std::string slavePath = slaveName;
    // One descriptor on the slave stays open, so the line does not hang up
    // each time the tool closes its port.
    const int slave = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) fail(slavePath + ": " + std::strerror(errno));
    if (!makeRaw(slave) || !makeRaw(master)) fail("cannot make the line raw");
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);

    const std::string folder = zave::portLinkFolder();
    if (!mkdirs(folder)) fail(folder + ": cannot create the port-link folder");
    const std::string link = folder + "/" + options.port;
    const std::string tempLink = link + ".new." + std::to_string(::getpid());
    ::unlink(tempLink.c_str());
    if (::symlink(slavePath.c_str(), tempLink.c_str()) != 0 || ::rename(tempLink.c_str(), link.c_str()) != 0) {
        ::unlink(tempLink.c_str());
        fail(link + ": cannot create the port link: " + std::strerror(errno));
    }

    traceLine("port " + options.port + " " + slavePath);

    const long long charNs = options.pace > 0 ? 10LL * 1000000000LL / options.pace : 0;
    Clock inputFreeAt = now();  // when the line has delivered the last character taken
    std::string frame;
    bool overflow = false;
    constexpr size_t kMaxFrame = 64;
    int status = 0;

    while (!gStop) {
        struct pollfd p[2] = {{master, POLLIN, 0}, {gStopFd, POLLIN, 0}};
        // The signal pipe wakes the poll at once; the time-out only bounds
        // the wait for a signal whose handler ran late (some runtimes defer
        // handlers to their next call).
        const int rc = ::poll(p, 2, 100);
        if (stopRequested()) break;
        if (rc < 0) {
            if (errno == EINTR) continue;
            status = 1;
            break;
        }
        if (!(p[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;

        char buffer[512];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EIO)) {
            // EIO: nobody holds the slave; cannot happen while this process
            // keeps its own descriptor, but never spin on it.
            if (errno == EIO) {
                struct timespec pause {0, 10000000};
                ::nanosleep(&pause, nullptr);
            }
            continue;
        }
        if (n <= 0) {
            status = 1;
            break;
        }
        const Clock readAt = now();
        for (ssize_t i = 0; i < n && !gStop; ++i) {
            const char c = buffer[i];
            Clock arrival = readAt;
            if (charNs > 0) {
                arrival = addNs(before(readAt, inputFreeAt) ? inputFreeAt : readAt, charNs);
                inputFreeAt = arrival;
            }
            if (c != '\r') {
                if (frame.size() < kMaxFrame) frame += c;
                else overflow = true;
                continue;
            }
            const std::string received = overflow ? std::string() : frame;
            traceLine("rx " + printable(frame) + (overflow ? "..." : ""));
            frame.clear();
            overflow = false;

            Answer answer = device.handleFrame(received);
            for (const auto& line : answer.trace) traceLine(line);
            if (answer.stateChanged && !options.stateFile.empty() && !device.save(options.stateFile, error))
                std::fprintf(stderr, "zave-devsim: %s\n", error.c_str());
            if (!answer.send) continue;

            // Not before the frame's last character would have arrived.
            if (charNs > 0 && !sleepUntil(arrival)) break;
            if (options.delayMs > 0 && !sleepUntil(addNs(now(), options.delayMs * 1000000LL))) break;
            bool sent = true;
            if (charNs > 0) {
                const Clock start = now();
                for (size_t k = 0; k < answer.reply.size() && sent; ++k) {
                    if (!sleepUntil(addNs(start, charNs * (long long)(k + 1)))) {
                        sent = false;
                        break;
                    }
                    sent = writeAll(master, &answer.reply[k], 1);
                }
            } else {
                sent = writeAll(master, answer.reply.data(), answer.reply.size());
            }
            if (gStop) break;
            std::string shown = answer.reply;
            if (!shown.empty() && shown.back() == '\r') shown.pop_back();
            traceLine((sent ? "tx " : "tx-failed ") + printable(shown));
        }
    }

    // Remove the link only while it is still ours.
    char target[PATH_MAX];
    const ssize_t len = ::readlink(link.c_str(), target, sizeof target - 1);
    if (len > 0 && std::string(target, size_t(len)) == slavePath) ::unlink(link.c_str());
    ::close(slave);
    ::close(master);
    return status;
}
