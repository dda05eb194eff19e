// One request and reply with the device: a sender worker writes the frame
// while a receiver worker gathers the answer; the calling thread waits for
// both with fixed limits and then reads the answer's tokens.
//
// A device may answer later than the first limit. Its reply then still
// comes, and must not be taken for the answer to a later frame: the engine
// keeps a ledger of the replies still owed (reply_ledger.h). A repeat of the
// same frame may take a late reply to an earlier copy, which says the same;
// any other frame waits until the owed replies have come or the line has
// been quiet so long that none can still come.
#include "link/exchange.h"

#include <system_error>
#include <thread>

#include "link/exchange_workers.h"

namespace zave {

namespace {

using namespace std::chrono_literals;
using std::chrono::steady_clock;

// A bound against a line that never stops talking.
constexpr size_t kMaxInputAtOnce = 64 * 1024;

}  // namespace

ExchangeEngine::ExchangeEngine(SerialPort& port, EepromQuestions& eeprom) : port_(port), eeprom_(eeprom) {}

ExchangeEngine::~ExchangeEngine() {
    // A worker left behind makes no port call once abandoned, but may still
    // be inside one; the port must outlive that call. Every port call ends
    // within its own limit, a wait sooner when woken.
    for (auto& s : abandoned_) {
        for (WorkerEnd* w : {&s->sender, &s->receiver}) {
            while (w->inPortCall.load()) {
                port_.wake();
                if (w->waitFor(10ms)) break;
            }
        }
    }
}

// An exchange that did not end Ok leaves a frame whose reply may still come
// or may have come as another's: the operation's answers are in doubt.
ExchangeResult ExchangeEngine::sendCommand(int64_t code, const CommandParams& params) {
    const ExchangeResult r = exchange(commandFrame(code, params), false);
    if (r != ExchangeResult::Ok) inDoubt_ = true;
    return r;
}

ExchangeResult ExchangeEngine::sendQuery(int64_t code, int64_t p1, int64_t p2) {
    const ExchangeResult r = exchange(queryFrame(code, p1, p2), true);
    if (r != ExchangeResult::Ok) inDoubt_ = true;
    return r;
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

void ExchangeEngine::takeWaitingInput() {
    char buffer[256];
    size_t taken = 0;
    while (taken < kMaxInputAtOnce) {
        const size_t n = port_.readWaiting(buffer, sizeof buffer);
        if (n == 0) break;
        ledger_.received(std::string_view(buffer, n), steady_clock::now());
        silent_ = false;
        taken += n;
    }
}

void ExchangeEngine::writeOff() {
    // A device that said nothing at all since the oldest frame it owes was
    // sent is silent, not slow.
    silent_ = !ledger_.heardSinceOldestOwed();
    ledger_.writeOff();
    // Should a reply written off come after all, it is a surplus; until the
    // line has been quiet for the quiet limit again that cannot be ruled out.
    inDoubt_ = true;
}

ExchangeEngine::LineState ExchangeEngine::clearLineFor(const std::string& frame) {
    if (ledger_.surpluses() != surplusesSettled_ && !listenFirst_) {
        // A reply came that no frame was owed: the device and the ledger are
        // out of step, and more such replies may follow.
        listenFirst_ = true;
        listenFrom_ = steady_clock::now();
    }
    if (listenFirst_) {
        // Whatever was sent before (by the last program on this line, or
        // answered twice) may still be answered: listen until the line has
        // been quiet for the quiet limit and drop what came. A line that
        // never falls quiet sends nothing.
        const auto giveUp = steady_clock::now() + 4 * kQuietLimit;
        if (!waitQuiet(listenFrom_, kQuietLimit, giveUp)) return port_.isOpen() ? LineState::Busy : LineState::Gone;
        ledger_.reset();
        surplusesSettled_ = ledger_.surpluses();
        listenFirst_ = false;
        if (openListen_) {
            unaskedAtOpen_ = unasked();
            openListen_ = false;
        }
    }
    auto quietSince = [&] {
        const auto last = ledger_.lastActivity();
        return last ? steady_clock::now() - *last : steady_clock::duration::max();
    };
    if (ledger_.owed() > 0 && quietSince() >= kQuietLimit) writeOff();
    if (ledger_.owed() == 0) {
        ledger_.dropUnread();
        return LineState::Clear;
    }
    // Replies owed for copies of this very frame say what its own would.
    // (No frame is empty: an empty one asks for the line to be cleared.)
    if (!frame.empty() && ledger_.owedFrame() == frame) return LineState::Clear;

    // Hold the frame until the device has paid what it owes. A line that
    // never falls quiet and never ends its replies gets a limit.
    const auto giveUp = steady_clock::now() + kQuietLimit * static_cast<int64_t>(ledger_.owed() + 1);
    for (;;) {
        if (ledger_.owed() == 0) {
            ledger_.dropUnread();
            return LineState::Clear;
        }
        if (quietSince() >= kQuietLimit) {
            writeOff();
            return LineState::Clear;
        }
        const auto now = steady_clock::now();
        if (now >= giveUp) return LineState::Busy;
        const auto last = ledger_.lastActivity();
        const auto until = std::min(last ? *last + kQuietLimit : now, giveUp);
        if (port_.waitForInput(until) == WaitResult::Gone || !port_.isOpen()) return LineState::Gone;
        takeWaitingInput();
    }
}

steady_clock::time_point ExchangeEngine::answerDeadline(steady_clock::time_point start) const {
    auto deadline = start + kWorkerWait;
    // A device of this line that has answered later than the first wait gets
    // half as long again as its longest answer before the frame goes out a
    // second time: a copy sent sooner would be answered only after the reply
    // to the first, and that second reply would hold the next frame back.
    if (ledger_.owed() == 0 && !silent_ && lineLongestAnswer_ && *lineLongestAnswer_ > kWorkerWait)
        deadline = start + std::min<steady_clock::duration>(*lineLongestAnswer_ * 3 / 2, kQuietLimit);
    // A repeat: the reply to the oldest copy may come until the quiet limit
    // after it was sent, unless the device has just shown it is silent. A
    // device that has answered every frame of this line within the first
    // wait is asked again at the usual pace instead: should it have turned
    // slow, a reply to any copy still answers this frame, and the copies it
    // then owes are waited for before another frame is sent.
    if (ledger_.owed() > 0 && !silent_ && !promptLine()) {
        if (const auto oldest = ledger_.oldestOwedSent()) deadline = std::max(deadline, *oldest + kQuietLimit);
    }
    return deadline;
}

ExchangeResult ExchangeEngine::exchange(const std::string& frame, bool isQuery) {
    if (!port_.isOpen()) return ExchangeResult::Disconnect;
    // A worker of an earlier exchange that is still stuck in the port would
    // share the line with this one: this exchange does not happen.
    if (!settleAbandoned()) return ExchangeResult::NoReply;

    takeWaitingInput();
    switch (clearLineFor(frame)) {
    case LineState::Clear: break;
    case LineState::Gone: return ExchangeResult::Disconnect;
    case LineState::Busy: return ExchangeResult::NoReply;
    }

    const auto start = steady_clock::now();
    const auto deadline = answerDeadline(start);
    auto shared = std::make_shared<Shared>(port_, frame, ledger_.unread(), deadline + 2 * kWorkerWait);

    // A frame whose fate is unknown is counted as sent: owing one reply too
    // many only makes the next other frame wait, one too few would let a
    // reply answer the wrong frame.
    auto abandon = [&](std::thread& sender, std::thread& receiver) {
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
        inDoubt_ = true;
        ledger_.frameSent(frame, steady_clock::now());
        ledger_.lostTrack();
        replyText_.clear();
        return ExchangeResult::NoReply;
    };

    std::thread sender, receiver;
    try {
        sender = std::thread(transmitFrame, shared);
        runOnCallersCore(sender);
        receiver = std::thread(receiveReply, shared);
    } catch (const std::system_error&) {
        // No thread to be had: whatever started is abandoned like a worker
        // that did not end.
        if (sender.joinable()) shared->sender.waitFor(kWorkerWait);
        return abandon(sender, receiver);
    }

    const auto firstWait = deadline - steady_clock::now();
    bool received = shared->receiver.waitFor(std::max<steady_clock::duration>(firstWait, 0ms));
    if (!received) {
        shared->stopFlag.store(true);
        port_.wake();
        received = shared->receiver.waitFor(kWorkerWait);
    }
    if (!received) return abandon(sender, receiver);
    receiver.join();
    if (!shared->sender.waitFor(kWorkerWait)) return abandon(sender, receiver);
    sender.join();

    // The answer, if one came, belongs to the oldest copy of this frame still
    // owed, or else to this one.
    const auto answeredSent =
        ledger_.owed() > 0 ? ledger_.oldestOwedSent().value_or(shared->sentAt) : shared->sentAt;
    // The frame first, then what came: a reply that came in this exchange
    // may pay off this very frame.
    if (shared->written > 0) ledger_.frameSent(frame, shared->sentAt);
    const std::string_view fresh = std::string_view(shared->replyText).substr(shared->initialText.size());
    if (!fresh.empty()) {
        ledger_.received(fresh, shared->lastByteAt);
        silent_ = false;
    }
    // The first whole reply is the answer; later whole ones answered further
    // copies of this frame. Without a whole reply the text so far is looked
    // at; once its tokens have been acted on it is not looked at again.
    if (auto whole = ledger_.takeWholeReply()) {
        replyText_ = std::move(*whole);
        ledger_.dropWholeReplies();
        // A reply begun before this exchange started counts from its first
        // fresh byte: a later start only lengthens the watch at the end.
        answerTaken(answeredSent, shared->firstByteAt, shared->lastByteAt, isQuery);
    } else {
        replyText_ = ledger_.unread();
        const TokenCounts seen = countTokens(replyText_);
        if (seen.on + seen.os + seen.ol + seen.of > 0) {
            ledger_.consumeUnread();
            // Still the answer, though its end never came: a clock in it is
            // as old as its last byte.
            answerTaken(answeredSent, shared->firstByteAt, shared->lastByteAt, isQuery);
        }
    }

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
    auto ask = [&](EepromChip chip) {
        const EepromAnswer answer = eeprom_.askEepromFault({chip, isQuery});
        if (answer == EepromAnswer::Retry) return ExchangeResult::BadReply;
        // Only a query may skip the error; any other answer breaks the link.
        if (isQuery && answer == EepromAnswer::Skip) return ExchangeResult::SkipError;
        return ExchangeResult::Disconnect;
    };
    if (tokens.os > 0) result = ask(EepromChip::Microcontroller);
    if (tokens.ol > 0) result = ask(EepromChip::External);
    return result;
}

std::optional<ExchangeResult> exchangeAttempts(const std::function<ExchangeResult()>& exchange,
                                               const std::function<bool()>& stopRequested) {
    ExchangeResult result = ExchangeResult::NoReply;
    for (int call = 0; call < kMaxExchangeAttempts; ++call) {
        if (stopRequested && stopRequested()) return std::nullopt;
        result = exchange();
        if (result != ExchangeResult::NoReply && result != ExchangeResult::BadReply) break;
    }
    return result;
}

ExchangeResult exchangeAttempts(const std::function<ExchangeResult()>& exchange) {
    return *exchangeAttempts(exchange, nullptr);
}

}  // namespace zave
