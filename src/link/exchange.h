// One request and reply with the device over the link port.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/eeprom_question.h"
#include "link/frame.h"
#include "link/host.h"
#include "link/reply_ledger.h"
#include "link/serial_port.h"

namespace zave {

enum class ExchangeResult : uint8_t { Ok = 0, Disconnect = 1, NoReply = 2, BadReply = 3, SkipError = 6 };

inline constexpr int kMaxExchangeAttempts = 8;

class ExchangeEngine {
public:
    ExchangeEngine(SerialPort& port, EepromQuestions& eeprom);
    ~ExchangeEngine();
    ExchangeEngine(const ExchangeEngine&) = delete;
    ExchangeEngine& operator=(const ExchangeEngine&) = delete;

    ExchangeResult sendCommand(int64_t code, const CommandParams& params);
    ExchangeResult sendQuery(int64_t code, int64_t p1, int64_t p2);

    // Data of the last accepted query reply (index 1..10); unchanged by any failure.
    const ReplyData& replyData() const { return replyData_; }
    // How long ago the last answer taken ended: a status reply's clock is at
    // least that old when it is looked at (zero while none was taken).
    std::chrono::steady_clock::duration answerAge() const {
        return lastAnswerAt_ == std::chrono::steady_clock::time_point{} ? std::chrono::steady_clock::duration{}
                                                                       : std::chrono::steady_clock::now() - lastAnswerAt_;
    }
    // Text the receiver gathered in the last exchange.
    const std::string& lastReplyText() const { return replyText_; }

    // The line's own life (line_quiet.cpp); both front ends reach these
    // through DeviceLink, which opens and closes the port.
    //
    // The port was just opened. Nothing sent on an earlier line is owed on
    // this one; when `othersMayBeOwed` (the last program on it did not close
    // it cleanly) nothing is sent until the line has been quiet for the quiet
    // limit, counted from now.
    void lineOpened(bool othersMayBeOwed);
    // Waits, sending nothing, until every reply owed has come or the line has
    // been quiet so long that none can still come; what came is dropped.
    // False when the port went or the line never fell quiet.
    bool awaitClearLine();
    // The line is about to be given up. As awaitClearLine(); and when the
    // device has answered more than it was asked since the line was opened,
    // it may do so again after any reply, so the line is given up only once
    // it has been quiet for the quiet limit. False when that did not happen.
    bool releaseLine();
    // Waits for the reply still owed to the last frame, sending nothing, and
    // evaluates it as that frame's answer (for a command whose copies must
    // not be sent again). BadReply when none is owed or none came.
    ExchangeResult awaitOwedAnswer();
    // One operation (a write, a read, a clock sync) begins: surpluses and
    // doubts are counted from here.
    void beginOperation();
    // Whether the answers taken since beginOperation were the device's
    // answers to their frames: waits until no reply that the device might
    // still owe, unknown to the ledger, can still come, and finds none came.
    bool answersConfirmed();
    // False once a reply came since beginOperation that no frame was owed:
    // the operation cannot end well, and need not go on.
    bool noSurplusSoFar() const {
        return ledger_.surpluses() == surplusesBefore_ && ledger_.unowedBytes() == unowedBefore_;
    }

    // Shared by the engine and the two workers of one exchange; lives on the
    // heap so that a worker left behind never touches freed memory.
    struct Shared;

private:
    enum class LineState { Clear, Gone, Busy };

    ExchangeResult exchange(const std::string& frame, bool isQuery);
    ExchangeResult answerEepromDialogs(const TokenCounts& tokens, bool isQuery, ExchangeResult result);
    // False while a worker left behind by an earlier exchange is still inside
    // a port call (after waiting a little for it).
    bool settleAbandoned();
    // Reads whatever is waiting in the port into the ledger.
    void takeWaitingInput();
    // Makes the line ready for `frame`: replies owed for another frame are
    // waited for, or written off once the line has been quiet long enough.
    LineState clearLineFor(const std::string& frame);
    void writeOff();
    // Until when the line may be read as the answer to `frame`, sent now.
    std::chrono::steady_clock::time_point answerDeadline(std::chrono::steady_clock::time_point start) const;

    SerialPort& port_;
    EepromQuestions& eeprom_;
    ReplyData replyData_{};
    std::string replyText_;
    ReplyLedger ledger_;
    // The device let replies it owed go unanswered for the whole quiet limit:
    // repeats of the next frame get no longer wait than the first.
    bool silent_ = false;
    // Waits until the line has been quiet for `quiet`, counted from `from`
    // or the last byte heard, whichever is later; every byte is taken into
    // the ledger. False when the port went or `giveUp` came first.
    bool waitQuiet(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::duration quiet,
                   std::chrono::steady_clock::time_point giveUp);
    // Whether the device of this line has answered, and always within the
    // first wait of an exchange.
    bool promptLine() const;
    // An answer was taken for a frame (a query or a command) sent at
    // `sentAt`; its first byte came at `began`, its last at `ended`.
    void answerTaken(std::chrono::steady_clock::time_point sentAt, std::chrono::steady_clock::time_point began,
                     std::chrono::steady_clock::time_point ended, bool query);

    // Replies unknown to the ledger may still come (the last program on this
    // line died, or a surplus showed): before the next frame, listen until
    // the line has been quiet for the quiet limit since `listenFrom_`.
    bool listenFirst_ = false;
    std::chrono::steady_clock::time_point listenFrom_{};
    // Surpluses the line has already been made quiet after.
    size_t surplusesSettled_ = 0;
    // Replies and bytes the device sent unasked before this program's first
    // frame on the line (answers to the last program's frames, heard while
    // listening first); any beyond them are this device's own surpluses.
    size_t unaskedAtOpen_ = 0;
    bool openListen_ = false;
    size_t unasked() const { return ledger_.surpluses() + ledger_.unowedBytes(); }
    // The longest a command [0] or a query [1] of this operation waited for
    // the first byte of its answer, and the same in the last operation that
    // had answers of that kind: an operation of one answer that came at once
    // (a reply sent twice, already on its way) must not take that for the
    // device's time. And when the last answer ended.
    int answersThisOperation_ = 0;
    std::chrono::steady_clock::duration kindLongestReplyStart_[2]{};
    std::chrono::steady_clock::duration earlierLongestReplyStart_[2]{};
    bool lastAnswerToQuery_ = false;
    std::chrono::steady_clock::time_point lastAnswerAt_{};
    // The longest any answer of this line took; none while none came.
    std::optional<std::chrono::steady_clock::duration> lineLongestAnswer_;
    // Surpluses counted before the operation began, and whether the line
    // lost count of its replies since (a write-off, a worker given up).
    size_t surplusesBefore_ = 0;
    size_t unowedBefore_ = 0;
    bool inDoubt_ = false;
    // Exchanges whose workers did not end in time.
    std::vector<std::shared_ptr<Shared>> abandoned_;
};

// The retry rule: calls `exchange` again while it gives NoReply or BadReply,
// at most kMaxExchangeAttempts calls in all; returns the last result.
// `stopRequested`, when given, is asked before every call: a yes ends the
// repeats at once with nothing.
std::optional<ExchangeResult> exchangeAttempts(const std::function<ExchangeResult()>& exchange,
                                               const std::function<bool()>& stopRequested);
ExchangeResult exchangeAttempts(const std::function<ExchangeResult()>& exchange);

}  // namespace zave
