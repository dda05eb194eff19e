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

#include <random>

#include "device_model.h"
#include "link/port_names.h"
#include "options.h"

namespace {

using zave::devsim::Answer;
using zave::devsim::DeviceModel;
using zave::devsim::fail;
using zave::devsim::Options;

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

// Sends an answer: paced a character at a time when charNs is set, and in
// the pieces the options ask for with a pause after each but the last.
// False when the line or a stop signal cut it short.
bool sendAnswer(int master, const std::string& reply, long long charNs, const Options& options) {
    const size_t pieces = std::min(size_t(options.splitPieces), std::max<size_t>(reply.size(), 1));
    size_t from = 0;
    for (size_t piece = 1; piece <= pieces; ++piece) {
        const size_t to = reply.size() * piece / pieces;
        if (charNs > 0) {
            const Clock start = now();
            for (size_t k = from; k < to; ++k) {
                if (!sleepUntil(addNs(start, charNs * (long long)(k - from + 1)))) return false;
                if (!writeAll(master, &reply[k], 1)) return false;
            }
        } else if (to > from && !writeAll(master, reply.data() + from, to - from)) {
            return false;
        }
        from = to;
        if (piece < pieces && options.splitPauseMs > 0 &&
            !sleepUntil(addNs(now(), options.splitPauseMs * 1000000LL)))
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = zave::devsim::parseOptions(argc, argv);
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
    long framesReceived = 0;
    long answersSent = 0;
    std::mt19937_64 draws(options.seed);
    auto delayFor = [&](long frameNumber) -> long {
        if (options.delayFrames >= 0 && frameNumber > options.delayFrames) return 0;
        if (options.delayMaxMs <= options.delayMinMs) return options.delayMinMs;
        return std::uniform_int_distribution<long>(options.delayMinMs, options.delayMaxMs)(draws);
    };

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
            ++framesReceived;
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
            const long delayMs = delayFor(framesReceived);
            if (delayMs > 0 && !sleepUntil(addNs(now(), delayMs * 1000000LL))) break;
            const bool sent = sendAnswer(master, answer.reply, charNs, options);
            if (gStop) break;
            std::string shown = answer.reply;
            if (!shown.empty() && shown.back() == '\r') shown.pop_back();
            traceLine((sent ? "tx " : "tx-failed ") + printable(shown));
            ++answersSent;
            // Surplus replies: the same answer once more, and a stray end of
            // a reply, each after its pause.
            if (sent && options.twiceAfterMs >= 0) {
                if (!sleepUntil(addNs(now(), options.twiceAfterMs * 1000000LL))) break;
                if (sendAnswer(master, answer.reply, charNs, options)) traceLine("twice " + printable(shown));
            }
            if (sent && options.strayEvery > 0 && answersSent % options.strayEvery == 0) {
                if (!sleepUntil(addNs(now(), options.strayAfterMs * 1000000LL))) break;
                if (sendAnswer(master, "#\r", charNs, options)) traceLine("stray");
            }
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
