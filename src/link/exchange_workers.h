// The two workers of one exchange and what they share with the engine.
// Internal to the exchange engine.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "link/exchange.h"

namespace zave {

// The longest a device takes to begin a reply, counted from the later of the
// frame and the end of its previous reply, and the longest pause inside a
// reply. A line quiet for the quiet limit after the last frame or byte will
// bring no more replies to frames already sent.
inline constexpr auto kLongestDeviceDelay = std::chrono::milliseconds(1500);
inline constexpr auto kQuietLimit = kLongestDeviceDelay + std::chrono::milliseconds(400);

// Each wait of the engine for a worker of one exchange.
inline constexpr auto kWorkerWait = std::chrono::milliseconds(300);

// The end of one worker, signalled to the waiting engine.
struct WorkerEnd {
    std::mutex mutex;
    std::condition_variable cv;
    bool ended = false;
    // Set while the worker is inside a port call (see Shared::portCall).
    std::atomic<bool> inPortCall{false};

    void signal() {
        {
            std::lock_guard lock(mutex);
            ended = true;
        }
        cv.notify_all();
    }
    bool waitFor(std::chrono::steady_clock::duration limit) {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, limit, [this] { return ended; });
    }
};

struct ExchangeEngine::Shared {
    Shared(SerialPort& p, std::string f, std::string unread, std::chrono::steady_clock::time_point limit)
        : port(p), frame(std::move(f)), initialText(std::move(unread)), giveUp(limit) {}

    SerialPort& port;
    // Written before the workers start, then only read.
    const std::string frame;
    // The unread start of a reply that may end in this exchange.
    const std::string initialText;
    // The receiver gives up on its own at this time even if never stopped,
    // so that no worker outlives its exchange by much.
    const std::chrono::steady_clock::time_point giveUp;
    // Written by the receiver only; read by the engine after the receiver
    // ended: initialText and what followed it, and when the first and the
    // last byte after initialText came.
    std::string replyText;
    std::chrono::steady_clock::time_point firstByteAt{};
    std::chrono::steady_clock::time_point lastByteAt{};
    // Written by the sender only; read by the engine after the sender ended.
    size_t written = 0;
    std::chrono::steady_clock::time_point sentAt{};
    std::atomic<bool> stopFlag{false};
    // Set by the engine when it gives up on this exchange: from then on its
    // workers make no port call.
    std::atomic<bool> abandoned{false};
    WorkerEnd sender;
    WorkerEnd receiver;

    // Runs one port call unless the exchange was abandoned. The worker marks
    // itself inside the call before it looks at `abandoned`; the engine sets
    // `abandoned` before it looks at the mark. So either the worker sees the
    // exchange abandoned and backs off, or the engine sees the worker in a
    // port call and keeps later exchanges away from the port until it ends.
    template <typename Call>
    bool portCall(WorkerEnd& self, Call&& call) {
        self.inPortCall.store(true);
        if (abandoned.load()) {
            self.inPortCall.store(false);
            return false;
        }
        call();
        self.inPortCall.store(false);
        return true;
    }
};

// Writes the frame if the port is open; records how much went out and when.
void transmitFrame(std::shared_ptr<ExchangeEngine::Shared> s);
// Gathers input after the unread text until a reply ends ("#\r"), the stop
// flag is set or the receiver's own limit passes.
void receiveReply(std::shared_ptr<ExchangeEngine::Shared> s);
// Moves a new worker onto the core of the calling thread.
void runOnCallersCore(std::thread& worker);

}  // namespace zave
