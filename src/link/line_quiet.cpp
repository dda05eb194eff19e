// The exchange engine and the life of its line: what may still come on a
// line that was just opened, what is owed when it is about to be closed, and
// whether the answers of one operation can be trusted.
//
// Why this is sound. A reply carries no sign of the frame it answers, so the
// only thing that ties a reply to its frame is order: the ledger counts the
// replies owed, and a frame other than the one owed is sent only once
// nothing is owed (exchange.cpp). That count can go wrong in three ways, and
// each is closed here:
//
//  - Across a close and an open. The count lives in one engine of one
//    program; the device does not care. So a line is never given up while
//    something is owed on it: DeviceLink calls awaitClearLine() before every
//    close, which waits until the replies came or the line has been quiet
//    for the quiet limit (after which, by the device's own timing, nothing
//    more can come). A program that cannot do that (killed, crashed) leaves
//    its mark beside the line (line_record.h); whoever opens a marked line
//    listens until it has been quiet for the quiet limit before sending
//    anything. A clean line costs nothing at open.
//
//  - More replies than frames: a device answering twice, a stray "#\r", noise,
//    or a reply that comes after it was written off. Such a reply is taken for
//    the answer to whatever frame is owed at the time, and every later answer
//    is then one behind; nothing in the text shows it. But the surplus shows in
//    the end: the device's true answer to the last frame is still to come when
//    nothing is owed any more, and the ledger counts every reply that ends
//    while nothing is owed. So an operation (a status query too: a copy of an
//    earlier status or table reply would show as the device's clock) is only
//    reported done after answersConfirmed(): the line is watched past the time
//    in which the device, answering as it did so far, would have begun a reply
//    still owed, and the operation fails if any byte came meanwhile or any
//    surplus was counted since it began. The first byte is enough: a device
//    that still owes a reply begins it within its usual time after the last one
//    ended, so the watch need not last a whole reply more. After a repeat, a
//    write-off, a worker given up or an answer later than the first wait, the
//    timing of the replies is no guide, and the watch lasts the quiet limit.
//
//  - A reply after the quiet limit: counted as a surplus like the others.
//
//  - A device that has once answered unasked may do so after any later
//    reply, too late for the operation to see: releaseLine(), which
//    DeviceLink calls before every close, then gives the line up only once
//    it has been quiet for the quiet limit.
//
// What it costs: nothing at open unless the last user died; at close, the
// replies still owed (only after late replies), or the quiet limit after a
// device that answered unasked; at the end of an operation or a status, the
// device's longest time to the first byte of an answer once more (a frame on
// the wire and one character back: some 31 ms for a command, 11 ms for a query
// at 9600 baud), or the quiet limit when any exchange of the operation had to
// be repeated or was answered only after the first wait.
#include <algorithm>

#include "link/exchange.h"
#include "link/exchange_workers.h"

namespace zave {

namespace {

using namespace std::chrono_literals;
using std::chrono::steady_clock;

// Allowance for the scheduling of this process and of the line's driver.
constexpr auto kConfirmMargin = 5ms;

}  // namespace

void ExchangeEngine::lineOpened(bool othersMayBeOwed) {
    ledger_.reset();
    silent_ = false;
    listenFirst_ = othersMayBeOwed;
    listenFrom_ = steady_clock::now();
    surplusesSettled_ = ledger_.surpluses();
    openListen_ = othersMayBeOwed;
    unaskedAtOpen_ = unasked();
    // A new line may lead to another device: its timing is learnt afresh.
    for (int kind : {0, 1}) kindLongestReplyStart_[kind] = earlierLongestReplyStart_[kind] = {};
    lineLongestAnswer_.reset();
    lastAnswerAt_ = {};
    inDoubt_ = false;
}

bool ExchangeEngine::waitQuiet(steady_clock::time_point from, steady_clock::duration quiet,
                               steady_clock::time_point giveUp) {
    for (;;) {
        takeWaitingInput();
        const auto last = ledger_.lastActivity();
        const auto until = std::max(from, last ? *last : from) + quiet;
        const auto now = steady_clock::now();
        if (now >= until) return true;
        if (now >= giveUp) return false;
        if (port_.waitForInput(std::min(until, giveUp)) == WaitResult::Gone || !port_.isOpen()) return false;
    }
}

bool ExchangeEngine::awaitClearLine() {
    if (!port_.isOpen()) return false;
    if (!settleAbandoned()) return false;
    takeWaitingInput();
    return clearLineFor(std::string()) == LineState::Clear;
}

bool ExchangeEngine::releaseLine() {
    if (!awaitClearLine()) return false;
    if (unasked() == unaskedAtOpen_) return true;
    // A device that answers twice sends its copy some time after the reply
    // it repeats; left on the line, the copy would answer the next user's
    // first frame. Counted from the last frame or byte: a line quiet that
    // long already costs nothing.
    return waitQuiet(steady_clock::time_point{}, kQuietLimit, steady_clock::now() + 4 * kQuietLimit);
}

ExchangeResult ExchangeEngine::awaitOwedAnswer() {
    if (!port_.isOpen()) return ExchangeResult::Disconnect;
    if (!settleAbandoned()) return ExchangeResult::NoReply;
    takeWaitingInput();
    if (ledger_.owed() == 0) return ExchangeResult::BadReply;
    const auto sent = ledger_.oldestOwedSent().value_or(steady_clock::now());
    for (;;) {
        if (auto whole = ledger_.takeWholeReply()) {
            replyText_ = std::move(*whole);
            ledger_.dropWholeReplies();
            const auto now = steady_clock::now();
            answerTaken(sent, now, now, false);
            // Only a plain acceptance is taken here; a refusal or an EEPROM
            // token makes the caller send the frame again, and the exchange
            // then deals with it.
            const TokenCounts tokens = countTokens(replyText_);
            return tokens.on > 0 && tokens.os == 0 && tokens.ol == 0 ? ExchangeResult::Ok : ExchangeResult::BadReply;
        }
        const auto last = ledger_.lastActivity().value_or(sent);
        if (steady_clock::now() >= last + kQuietLimit) {
            writeOff();
            return ExchangeResult::BadReply;
        }
        if (port_.waitForInput(last + kQuietLimit) == WaitResult::Gone || !port_.isOpen())
            return ExchangeResult::Disconnect;
        takeWaitingInput();
    }
}

void ExchangeEngine::answerTaken(steady_clock::time_point sentAt, steady_clock::time_point began,
                                 steady_clock::time_point ended, bool query) {
    if (ended == steady_clock::time_point{} || ended < sentAt) ended = steady_clock::now();
    if (began == steady_clock::time_point{} || began < sentAt || began > ended) began = ended;
    kindLongestReplyStart_[query] = std::max(kindLongestReplyStart_[query], began - sentAt);
    // An answer later than the first wait is watched for as a repeat's is:
    // a device that slow is not held to the steady timing of a prompt one.
    if (ended - sentAt > kWorkerWait) inDoubt_ = true;
    ++answersThisOperation_;
    lastAnswerToQuery_ = query;
    lineLongestAnswer_ = std::max(lineLongestAnswer_.value_or(ended - sentAt), ended - sentAt);
    lastAnswerAt_ = ended;
}

void ExchangeEngine::beginOperation() {
    surplusesBefore_ = ledger_.surpluses();
    unowedBefore_ = ledger_.unowedBytes();
    inDoubt_ = false;
    // The device's timing within this operation is what its watch needs,
    // and within the last one that had answers of the same kind.
    answersThisOperation_ = 0;
    for (int kind : {0, 1}) {
        if (kindLongestReplyStart_[kind] != steady_clock::duration{})
            earlierLongestReplyStart_[kind] = kindLongestReplyStart_[kind];
        kindLongestReplyStart_[kind] = {};
    }
}

bool ExchangeEngine::promptLine() const {
    return lineLongestAnswer_ && *lineLongestAnswer_ <= kWorkerWait;
}

bool ExchangeEngine::answersConfirmed() {
    // Replies still owed for copies of the last frame are the
    // device's own; they are waited for, not counted against the operation.
    if (!awaitClearLine()) return false;
    const auto now = steady_clock::now();
    if (inDoubt_) {
        if (!waitQuiet(now, kQuietLimit, now + 4 * kQuietLimit)) return false;
    } else {
        // Every exchange was answered at its first attempt. A reply the
        // ledger does not know of would then be the next in the row of
        // replies the device is sending (every answer so far taken one too
        // early), and the device has never taken longer than its longest
        // time to the first byte of an answer to begin the next reply of a
        // row.
        // What is waiting is taken in after the watch has ended too: this
        // thread may come here only after it ended, with the reply waiting.
        // An operation of many answers has its own timing; one of a single
        // answer may owe it to that answer alone.
        const auto longest = std::max(kindLongestReplyStart_[0], kindLongestReplyStart_[1]);
        const auto usual = answersThisOperation_ > 1
                               ? longest
                               : std::max(longest, earlierLongestReplyStart_[lastAnswerToQuery_]);
        const auto until = lastAnswerAt_ + usual + kConfirmMargin;
        for (;;) {
            takeWaitingInput();
            if (!ledger_.unread().empty() || steady_clock::now() >= until) break;
            if (port_.waitForInput(until) == WaitResult::Gone || !port_.isOpen()) return false;
        }
    }
    // Nothing is owed: any byte that came is a reply to no frame.
    const bool confirmed = noSurplusSoFar() && ledger_.unread().empty();
    if (!confirmed && !listenFirst_) {
        // More may be on its way: the next frame waits for a quiet line.
        listenFirst_ = true;
        listenFrom_ = steady_clock::now();
    }
    return confirmed;
}

}  // namespace zave
