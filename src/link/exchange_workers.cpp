#include "link/exchange_workers.h"

#include "link/frame.h"
#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#endif

namespace zave {

namespace {

using namespace std::chrono_literals;
using std::chrono::steady_clock;

// The longest single wait for input: the receiver looks at the stop flag at
// least this often even if a wake-up were lost.
constexpr auto kReceiverSlice = 100ms;
// A bound against a line that never stops talking.
constexpr size_t kMaxReplyText = 64 * 1024;

}  // namespace

void transmitFrame(std::shared_ptr<ExchangeEngine::Shared> s) {
    bool open = false;
    if (s->portCall(s->sender, [&] { open = s->port.isOpen(); }) && open) {
        s->portCall(s->sender, [&] { s->written = s->port.write(s->frame.data(), s->frame.size()); });
        s->sentAt = steady_clock::now();
    }
    s->sender.signal();
}

void receiveReply(std::shared_ptr<ExchangeEngine::Shared> s) {
    const auto giveUp = s->giveUp;
    std::string text = s->initialText;
    steady_clock::time_point firstByteAt{}, lastByteAt{};
    char buffer[256];
    for (;;) {
        // Everything that is waiting, in as many reads as it takes.
        bool usable = true;
        for (;;) {
            size_t n = 0;
            if (!s->portCall(s->receiver, [&] { n = s->port.readWaiting(buffer, sizeof buffer); })) {
                usable = false;
                break;
            }
            if (n == 0) break;
            text.append(buffer, n);
            lastByteAt = steady_clock::now();
            if (firstByteAt == steady_clock::time_point{}) firstByteAt = lastByteAt;
            if (text.size() >= kMaxReplyText) break;
        }
        if (!usable || text.size() >= kMaxReplyText) break;
        if (text.find(kReplyTerminator) != std::string::npos || s->stopFlag.load()) break;
        const auto now = steady_clock::now();
        if (now >= giveUp) break;

        // Sleep in the operating system until input, the stop (the engine
        // wakes the port) or the end of the slice.
        WaitResult wait = WaitResult::Timeout;
        const auto until = std::min(now + kReceiverSlice, giveUp);
        if (!s->portCall(s->receiver, [&] { wait = s->port.waitForInput(until); })) break;
        // A vanished device leaves the port not open: nothing more can come.
        if (wait == WaitResult::Gone) break;
    }
    s->replyText = std::move(text);
    s->firstByteAt = firstByteAt;
    s->lastByteAt = lastByteAt;
    s->receiver.signal();
}

// The sender should write as soon as it exists. A new thread on Linux is often
// queued on another core behind a task that keeps its time slice, which on a
// busy machine holds the frame back by a few milliseconds; the core of the
// calling thread, which is about to block waiting, is free for it at once.
void runOnCallersCore(std::thread& worker) {
#if defined(__linux__)
    const int cpu = ::sched_getcpu();
    if (cpu < 0 || cpu >= CPU_SETSIZE) return;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    (void)::pthread_setaffinity_np(worker.native_handle(), sizeof set, &set);
#else
    (void)worker;
#endif
}

}  // namespace zave
