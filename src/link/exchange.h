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
    // Text the receiver gathered in the last exchange.
    const std::string& lastReplyText() const { return replyText_; }

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
