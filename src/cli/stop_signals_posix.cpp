#include "cli/stop_signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace zave::cli {

namespace {

std::mutex gNoticeMutex;
std::string gNotice;  // guarded by gNoticeMutex

void writeAll(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

// The signals are blocked in every thread and taken here, by sigwait, as an
// ordinary thread: it may lock and print. Then the signal is raised again
// with its default action, which ends the process by it.
void waitForStop(sigset_t set) {
    int signal = 0;
    while (::sigwait(&set, &signal) != 0) {
    }
    std::string notice;
    {
        std::lock_guard lock(gNoticeMutex);
        notice = gNotice;
    }
    // A fresh line, in case the progress bar or half a line stands there.
    writeAll("\nzavectl: " + (notice.empty() ? std::string("прервано") : notice) + "\n");
    ::signal(signal, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);  // not reached
}

}  // namespace

void installStopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread(waitForStop, set).detach();
}

void setStopNotice(const std::string& text) {
    std::lock_guard lock(gNoticeMutex);
    gNotice = text;
}

}  // namespace zave::cli
