// What the benchmarks share: a log and front-end stand-ins that cost
// nothing, and one simulator run whose trace is drained in the background.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "link/host.h"
#include "support/devsim_spawn.h"

namespace zave_bench {

using Clock = std::chrono::steady_clock;

class QuietLog : public zave::LogSink {
public:
    void logLine(std::string_view text, zave::LogMode) override { last = text; }
    std::string last;
};

// Counts the boxes; answers Ok where that is the only button, else No.
class NoBoxes : public zave::MessageBoxes {
public:
    zave::MessageAnswer show(std::string_view, std::string_view, zave::MessageIcon, zave::MessageButtons b) override {
        ++shown;
        return b == zave::MessageButtons::Ok ? zave::MessageAnswer::Ok : zave::MessageAnswer::No;
    }
    int shown = 0;
};

class NoPump : public zave::EventPump {
public:
    void dropPendingEvents(int) override {}
};

class NoProgress : public zave::ProgressUi {
public:
    void openProgressWindow() override {}
    void closeProgressWindow() override {}
    void setProgress(int) override {}
    bool stopRequested() override { return false; }
};

// zave-devsim on COM200 with the given options, for the object's lifetime.
class Sim {
public:
    explicit Sim(const std::vector<std::string>& args) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        pid_ = zave::testing::spawnDevSim(ZAVE_DEVSIM_PATH, args, fds[1]);
        ::close(fds[1]);
        fd_ = fds[0];
        std::string first;
        for (char ch; pid_ > 0 && first.find('\n') == std::string::npos;) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0 || ::read(fd_, &ch, 1) != 1) break;
            first += ch;
        }
        ok_ = first.rfind("port COM200", 0) == 0;
        drain_ = std::thread([fd = fd_] {
            char buf[4096];
            while (::read(fd, buf, sizeof buf) > 0) {
            }
        });
    }
    ~Sim() {
        if (pid_ > 0) zave::testing::endDevSim(pid_, SIGTERM);
        if (drain_.joinable()) drain_.join();
        if (fd_ >= 0) ::close(fd_);
    }
    Sim(const Sim&) = delete;
    Sim& operator=(const Sim&) = delete;
    bool ok() const { return ok_; }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    bool ok_ = false;
    std::thread drain_;
};

}  // namespace zave_bench
