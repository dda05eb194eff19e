#include "support/devsim.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <unistd.h>

#include "support/devsim_spawn.h"

namespace zave::testing {

namespace {

#ifdef ZAVE_DEVSIM_PATH
constexpr const char* kDevSimPath = ZAVE_DEVSIM_PATH;
#else
constexpr const char* kDevSimPath = "";
#endif

bool isFrameLine(const std::string& line, std::string_view code) {
    if (line.rfind("rx ", 0) != 0) return false;
    return code.empty() || std::string_view(line).substr(3, code.size()) == code;
}

}  // namespace

DevSim::DevSim(std::vector<std::string> args) {
    char pattern[] = "/tmp/zave-devsim-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        error_ = std::string("mkdtemp: ") + std::strerror(errno);
        return;
    }
    runtimeDir_ = pattern;
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) {
        hadOldRuntime_ = true;
        oldRuntime_ = old;
    }
    ::setenv("XDG_RUNTIME_DIR", runtimeDir_.c_str(), 1);
    start(std::move(args));
}

DevSim::~DevSim() {
    endRun(SIGTERM);
    if (hadOldRuntime_) ::setenv("XDG_RUNTIME_DIR", oldRuntime_.c_str(), 1);
    else ::unsetenv("XDG_RUNTIME_DIR");
    if (!runtimeDir_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(runtimeDir_, ec);
    }
}

bool DevSim::start(std::vector<std::string> args) {
    {
        std::lock_guard lock(mutex_);
        lines_.clear();
        partial_.clear();
        announced_ = false;
        ended_ = false;
        announcedPort_.clear();
        announcedSlave_.clear();
    }
    portName_.clear();
    slavePath_.clear();
    error_.clear();
    if (kDevSimPath[0] == '\0') {
        error_ = "the simulator's path is not known to this build";
        return false;
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    pid_ = spawnDevSim(kDevSimPath, args, fds[1]);
    ::close(fds[1]);
    if (pid_ < 0) {
        ::close(fds[0]);
        error_ = std::string("cannot start ") + kDevSimPath;
        return false;
    }
    ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    {
        std::lock_guard lock(mutex_);
        traceFd_ = fds[0];
    }
    reader_ = std::thread([this] { readTrace(); });

    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(10), [this] { return announced_ || ended_; });
    if (!announced_) {
        lock.unlock();
        error_ = "the simulator did not announce its port";
        endRun(SIGKILL);
        return false;
    }
    portName_ = announcedPort_;
    slavePath_ = announcedSlave_;
    return true;
}

bool DevSim::drainLocked(bool mayClose) const {
    if (traceFd_ < 0) return false;
    bool open = true;
    bool added = false;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(traceFd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n <= 0) {
            open = false;
            break;
        }
        partial_.append(buffer, size_t(n));
        size_t eol;
        while ((eol = partial_.find('\n')) != std::string::npos) {
            std::string line = partial_.substr(0, eol);
            partial_.erase(0, eol + 1);
            if (!announced_ && line.rfind("port ", 0) == 0) {
                // "port <name> <slave path>"
                const size_t space = line.find(' ', 5);
                announcedPort_ = line.substr(5, space == std::string::npos ? std::string::npos : space - 5);
                if (space != std::string::npos) announcedSlave_ = line.substr(space + 1);
                announced_ = true;
            } else {
                lines_.push_back(std::move(line));
            }
            added = true;
        }
    }
    if (!open && mayClose) {
        ::close(traceFd_);
        traceFd_ = -1;
        ended_ = true;
        added = true;
    }
    if (added) changed_.notify_all();
    return open || !mayClose;
}

void DevSim::readTrace() {
    for (;;) {
        int fd;
        {
            std::lock_guard lock(mutex_);
            if (!drainLocked(true)) return;
            fd = traceFd_;
        }
        // Only this thread closes the descriptor, so it stays valid here.
        struct pollfd p {fd, POLLIN, 0};
        while (::poll(&p, 1, -1) < 0 && errno == EINTR) {
        }
    }
}

void DevSim::endRun(int sig) {
    if (pid_ > 0) endDevSim(pid_, sig);
    pid_ = -1;
    if (reader_.joinable()) reader_.join();
}

bool DevSim::running() const {
    std::lock_guard lock(mutex_);
    drainLocked();
    return announced_ && !ended_;
}

std::string DevSim::linkPath() const { return runtimeDir_ + "/zave/ports/" + portName_; }

std::vector<std::string> DevSim::traceLines() const {
    std::lock_guard lock(mutex_);
    drainLocked();
    return lines_;
}

int DevSim::receivedFrames(std::string_view code) const {
    std::lock_guard lock(mutex_);
    drainLocked();
    int count = 0;
    for (const auto& line : lines_)
        if (isFrameLine(line, code)) ++count;
    return count;
}

int DevSim::sentAnswers() const {
    std::lock_guard lock(mutex_);
    drainLocked();
    int count = 0;
    for (const auto& line : lines_)
        if (line.rfind("tx ", 0) == 0) ++count;
    return count;
}

bool DevSim::waitForReceived(int count, std::string_view code, std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
        int seen = 0;
        for (const auto& line : lines_)
            if (isFrameLine(line, code)) ++seen;
        return seen >= count;
    });
}

bool DevSim::waitForSent(int count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
        int seen = 0;
        for (const auto& line : lines_)
            if (line.rfind("tx ", 0) == 0) ++seen;
        return seen >= count;
    });
}

bool DevSim::waitForLine(const std::function<bool(const std::string&)>& match,
                         std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
        for (const auto& line : lines_)
            if (match(line)) return true;
        return false;
    });
}

bool DevSim::waitUntilAllAnswered(std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
        int frames = 0, ends = 0;
        for (const auto& line : lines_) {
            if (line.rfind("rx ", 0) == 0) ++frames;
            else if (line.rfind("tx ", 0) == 0 || line.rfind("tx-failed ", 0) == 0 || line == "dropped") ++ends;
        }
        return ends >= frames;
    });
}

void DevSim::kill() { endRun(SIGKILL); }

int DevSim::stop(int signal) {
    if (pid_ <= 0) return -1;
    const int status = endDevSim(pid_, signal);
    pid_ = -1;
    if (reader_.joinable()) reader_.join();
    return status;
}

bool DevSim::restart(std::vector<std::string> args) {
    stop();
    return start(std::move(args));
}

}  // namespace zave::testing
