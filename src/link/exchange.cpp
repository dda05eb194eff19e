// One request and reply with the device: a sender worker writes the frame
// while a receiver worker gathers the answer; the calling thread waits for
// both with fixed limits and then reads the answer's tokens.
#include "link/exchange.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#endif

namespace zave {

namespace {

using namespace std::chrono_literals;
using std::chrono::steady_clock;

constexpr auto kWorkerWait = 300ms;
// A receiver that is never told to stop still gives up on its own, so that
// no worker outlives its exchange by much whatever happens to the engine.
constexpr auto kReceiverLimit = 2s;
// The longest single wait for input: the receiver looks at the stop flag at
// least this often even if a wake-up were lost.
constexpr auto kReceiverSlice = 100ms;
// Bounds against a line that never stops talking.
constexpr size_t kMaxReplyText = 64 * 1024;
constexpr size_t kMaxStaleInput = 64 * 1024;

constexpr std::string_view kDialogTitle = "Внимание!";
constexpr std::string_view kCommandOsText =
    "Повреждена EEPROM микроконтроллера\nДля повтора операции нажмите “ДА”\nДля разрыва связи нажмите “НЕТ”\n";
constexpr std::string_view kCommandOlText =
    "Повреждена EEPROM внешняя\nДля повтора операции нажмите “ДА”\nДля разрыва связи нажмите “НЕТ”\n";
constexpr std::string_view kQueryOsText =
    "Повреждена EEPROM микроконтроллера\nПовтор операции, нажмите “ДА”\nПропустить ошибку, нажмите “НЕТ”\n"
    "Разрыв связи, нажмите “ОТМЕНА”\n";
constexpr std::string_view kQueryOlText =
    "Повреждена EEPROM внешняя\nПовтор операции, нажмите “ДА”\nПропустить ошибку, нажмите “НЕТ”\n"
    "Разрыв связи, нажмите “ОТМЕНА”\n";

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

}  // namespace

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
    bool waitFor(steady_clock::duration limit) {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, limit, [this] { return ended; });
    }
};

struct ExchangeEngine::Shared {
    Shared(SerialPort& p, std::string f) : port(p), frame(std::move(f)) {}

    SerialPort& port;
    // Written before the workers start, then only read.
    const std::string frame;
    // Written by the receiver only; read by the engine after the receiver ended.
    std::string replyText;
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

namespace {

void transmitFrame(std::shared_ptr<ExchangeEngine::Shared> s) {
    bool open = false;
    if (s->portCall(s->sender, [&] { open = s->port.isOpen(); }) && open)
        s->portCall(s->sender, [&] { s->port.write(s->frame.data(), s->frame.size()); });
    s->sender.signal();
}

void receiveReply(std::shared_ptr<ExchangeEngine::Shared> s) {
    const auto giveUp = steady_clock::now() + kReceiverLimit;
    std::string text;
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
    s->receiver.signal();
}

}  // namespace

ExchangeEngine::ExchangeEngine(SerialPort& port, MessageBoxes& boxes) : port_(port), boxes_(boxes) {}

ExchangeEngine::~ExchangeEngine() {
    // A worker left behind may still be inside a call on the port, which
    // usually outlives the engine only briefly; give such a call the longest
    // write time-out a frame can have before the port may go away.
    const auto until = steady_clock::now() + 3s;
    for (auto& s : abandoned_) {
        for (WorkerEnd* w : {&s->sender, &s->receiver}) {
            while (w->inPortCall.load() && steady_clock::now() < until) {
                if (w->waitFor(10ms)) break;
            }
        }
    }
}

ExchangeResult ExchangeEngine::sendCommand(int64_t code, const CommandParams& params) {
    return exchange(commandFrame(code, params), false);
}

ExchangeResult ExchangeEngine::sendQuery(int64_t code, int64_t p1, int64_t p2) {
    return exchange(queryFrame(code, p1, p2), true);
}

bool ExchangeEngine::settleAbandoned() {
    const auto until = steady_clock::now() + kWorkerWait;
    bool clear = true;
    for (auto it = abandoned_.begin(); it != abandoned_.end();) {
        Shared& s = **it;
        bool busy = false;
        for (WorkerEnd* w : {&s.sender, &s.receiver}) {
            if (!w->inPortCall.load()) continue;
            const auto left = until - steady_clock::now();
            if (!w->waitFor(left > steady_clock::duration::zero() ? left : steady_clock::duration::zero()) &&
                w->inPortCall.load())
                busy = true;
        }
        if (busy) {
            clear = false;
            ++it;
            continue;
        }
        // Both workers are out of the port for good; keep the record only
        // while one of them still runs (it holds its own reference anyway).
        it = abandoned_.erase(it);
    }
    return clear;
}

ExchangeResult ExchangeEngine::exchange(const std::string& frame, bool isQuery) {
    if (!port_.isOpen()) return ExchangeResult::Disconnect;
    // A worker of an earlier exchange that is still stuck in the port would
    // share the line with this one: this exchange does not happen.
    if (!settleAbandoned()) return ExchangeResult::NoReply;

    // Stale input from before this frame is dropped.
    {
        char sink[256];
        size_t dropped = 0;
        while (dropped < kMaxStaleInput) {
            const size_t n = port_.readWaiting(sink, sizeof sink);
            if (n == 0) break;
            dropped += n;
        }
    }

    auto shared = std::make_shared<Shared>(port_, frame);
    std::thread sender, receiver;
    try {
        sender = std::thread(transmitFrame, shared);
        runOnCallersCore(sender);
        receiver = std::thread(receiveReply, shared);
    } catch (const std::system_error&) {
        // No thread to be had: whatever started is abandoned like a worker
        // that did not end.
        shared->abandoned.store(true);
        shared->stopFlag.store(true);
        port_.wake();
        if (sender.joinable()) {
            if (shared->sender.waitFor(kWorkerWait)) sender.join();
            else sender.detach();
        }
        abandoned_.push_back(shared);
        return ExchangeResult::NoReply;
    }

    auto abandon = [&] {
        shared->abandoned.store(true);
        shared->stopFlag.store(true);
        port_.wake();
        for (auto* pair : {&sender, &receiver}) {
            WorkerEnd& end = pair == &sender ? shared->sender : shared->receiver;
            std::thread& t = *pair;
            if (!t.joinable()) continue;
            bool ended;
            {
                std::lock_guard lock(end.mutex);
                ended = end.ended;
            }
            if (ended) t.join();
            else t.detach();
        }
        abandoned_.push_back(shared);
        replyText_.clear();
        return ExchangeResult::NoReply;
    };

    bool received = shared->receiver.waitFor(kWorkerWait);
    if (!received) {
        shared->stopFlag.store(true);
        port_.wake();
        received = shared->receiver.waitFor(kWorkerWait);
    }
    if (!received) return abandon();
    receiver.join();
    if (!shared->sender.waitFor(kWorkerWait)) return abandon();
    sender.join();

    replyText_ = std::move(shared->replyText);
    const TokenCounts tokens = countTokens(replyText_);
    ExchangeResult result = ExchangeResult::Ok;
    if (tokens.on == 0 && tokens.os == 0 && tokens.ol == 0 && tokens.of == 0) result = ExchangeResult::BadReply;
    if (tokens.on == 0) result = ExchangeResult::BadReply;
    result = answerEepromDialogs(tokens, isQuery, result);
    if (!isQuery) return result;

    if (result == ExchangeResult::SkipError) {
        for (size_t i = 1; i <= 10; ++i) replyData_[i] = 255;
        return ExchangeResult::Ok;
    }
    if (result != ExchangeResult::Ok) return result;
    const auto data = decodeQueryReply(replyText_);
    if (!data) return ExchangeResult::BadReply;
    for (size_t i = 1; i <= 10; ++i) replyData_[i] = (*data)[i - 1];
    return ExchangeResult::Ok;
}

ExchangeResult ExchangeEngine::answerEepromDialogs(const TokenCounts& tokens, bool isQuery,
                                                   ExchangeResult result) {
    auto ask = [&](std::string_view text) {
        const MessageAnswer answer = boxes_.show(kDialogTitle, text, MessageIcon::Error,
                                                 isQuery ? MessageButtons::YesNoCancel : MessageButtons::YesNo);
        if (answer == MessageAnswer::Yes) return ExchangeResult::BadReply;
        // Only a query may skip the error; any other way out of the box breaks the link.
        if (isQuery && answer == MessageAnswer::No) return ExchangeResult::SkipError;
        return ExchangeResult::Disconnect;
    };
    if (tokens.os > 0) result = ask(isQuery ? kQueryOsText : kCommandOsText);
    if (tokens.ol > 0) result = ask(isQuery ? kQueryOlText : kCommandOlText);
    return result;
}

ExchangeResult exchangeAttempts(const std::function<ExchangeResult()>& exchange) {
    ExchangeResult result = ExchangeResult::NoReply;
    for (int call = 0; call < kMaxExchangeAttempts; ++call) {
        result = exchange();
        if (result != ExchangeResult::NoReply && result != ExchangeResult::BadReply) break;
    }
    return result;
}

}  // namespace zave
