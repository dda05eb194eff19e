// A port for engine tests that answers every frame written to it with a
// scripted reply, and can be told to hang in write() or in waitForInput().
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace zave::testing {

// A number for the calling thread, unique over the whole test run (thread
// ids are reused once a thread has ended, these are not).
inline int threadSerial() {
    static std::atomic<int> next{1};
    thread_local const int serial = next++;
    return serial;
}

class ScriptedPort final : public SerialPort {
public:
    struct Call {
        std::string what;
        int thread;
    };

    bool open(const std::string&) override {
        std::lock_guard lock(m_);
        open_ = true;
        return true;
    }
    bool isOpen() const override {
        std::lock_guard lock(m_);
        record("isOpen");
        return open_;
    }
    void close() override {
        std::lock_guard lock(m_);
        open_ = false;
    }
    OpenFailure lastOpenFailure() const override { return OpenFailure::None; }
    OpenFailureDetail lastOpenDetail() const override { return {}; }

    size_t bytesWaiting() override {
        std::lock_guard lock(m_);
        record("bytesWaiting");
        return input_.size();
    }
    size_t readWaiting(char* buffer, size_t max) override {
        std::lock_guard lock(m_);
        record("readWaiting");
        const size_t n = std::min(max, input_.size());
        input_.copy(buffer, n);
        input_.erase(0, n);
        return n;
    }
    size_t write(const char* data, size_t size) override {
        std::unique_lock lock(m_);
        record("write");
        ++writesStarted_;
        cv_.wait(lock, [this] { return !holdWrites_; });
        frames_.emplace_back(data, size);
        input_ += reply_;
        cv_.notify_all();
        return size;
    }
    WaitResult waitForInput(Deadline deadline) override {
        std::unique_lock lock(m_);
        record("waitForInput");
        ++waits_;
        if (holdWaits_) {
            // A wait that ignores both the deadline and wake().
            cv_.wait(lock, [this] { return !holdWaits_; });
            return WaitResult::Timeout;
        }
        if (gone_) {
            open_ = false;
            return WaitResult::Gone;
        }
        const bool ready = cv_.wait_until(lock, deadline, [this] { return !input_.empty() || woken_; });
        if (woken_) {
            woken_ = false;
            return WaitResult::Woken;
        }
        return ready ? WaitResult::Input : WaitResult::Timeout;
    }
    void wake() override {
        std::lock_guard lock(m_);
        woken_ = true;
        cv_.notify_all();
    }

    // Script.
    void setReply(std::string reply) {
        std::lock_guard lock(m_);
        reply_ = std::move(reply);
    }
    void pushInput(const std::string& text) {
        std::lock_guard lock(m_);
        input_ += text;
        cv_.notify_all();
    }
    void holdWrites(bool hold) {
        std::lock_guard lock(m_);
        holdWrites_ = hold;
        cv_.notify_all();
    }
    void holdWaits(bool hold) {
        std::lock_guard lock(m_);
        holdWaits_ = hold;
        cv_.notify_all();
    }
    void vanishOnWait() {
        std::lock_guard lock(m_);
        gone_ = true;
    }
    // Waits (bounded) until `count` writes have completed.
    bool waitForFrames(size_t count) {
        std::unique_lock lock(m_);
        return cv_.wait_for(lock, std::chrono::seconds(5), [&] { return frames_.size() >= count; });
    }

    std::vector<std::string> frames() const {
        std::lock_guard lock(m_);
        return frames_;
    }
    int writesStarted() const {
        std::lock_guard lock(m_);
        return writesStarted_;
    }
    int waits() const {
        std::lock_guard lock(m_);
        return waits_;
    }
    std::vector<Call> calls() const {
        std::lock_guard lock(m_);
        return calls_;
    }
    int threadOf(const std::string& what) const {
        std::lock_guard lock(m_);
        for (const auto& c : calls_)
            if (c.what == what) return c.thread;
        return 0;
    }

private:
    void record(const char* what) const { calls_.push_back({what, threadSerial()}); }

    mutable std::mutex m_;
    std::condition_variable cv_;
    bool open_ = true;
    bool gone_ = false;
    bool woken_ = false;
    bool holdWrites_ = false;
    bool holdWaits_ = false;
    std::string reply_;
    std::string input_;
    std::vector<std::string> frames_;
    int writesStarted_ = 0;
    int waits_ = 0;
    mutable std::vector<Call> calls_;
};

}  // namespace zave::testing
