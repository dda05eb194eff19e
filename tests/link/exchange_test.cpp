// The exchange engine against a scripted port: what a real line cannot
// provoke, on every system. The same engine against the simulator through
// the real serial layer is in exchange_device_posix_test.cpp.
#include "device/eeprom_question_box.h"
#include "link/exchange.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "link/serial_port.h"
#include "support/fakes.h"

namespace zave {
namespace {

using namespace std::chrono_literals;
using testing::FakeMessageBoxes;

const CommandParams kSettings{0, 10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const CommandParams kZeros{};

// ---------------------------------------------------------------------------
// A port that answers every frame written to it with a scripted reply, and
// can be told to hang in write() or in waitForInput().

// A number for the calling thread, unique over the whole test run (thread
// ids are reused once a thread has ended, these are not).
int threadSerial() {
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
        return cv_.wait_for(lock, 5s, [&] { return frames_.size() >= count; });
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

const char kStatusReply[] = "18051E0C01070C1A000024on#\r";
const ReplyData kStatusData{0, 24, 5, 30, 12, 1, 7, 12, 26, 0, 0};

TEST(ExchangeReplies, TokensAndQueryLayoutDecideTheResult) {
    struct Case {
        const char* reply;
        ExchangeResult command;
        ExchangeResult query;
    } cases[] = {
        {"on#\r", ExchangeResult::Ok, ExchangeResult::BadReply},  // nothing before the 'o'
        {"of#\r", ExchangeResult::BadReply, ExchangeResult::BadReply},
        {"", ExchangeResult::BadReply, ExchangeResult::BadReply},
        {"garbage#\r", ExchangeResult::BadReply, ExchangeResult::BadReply},
        {"on#of#\r", ExchangeResult::Ok, ExchangeResult::BadReply},
        {kStatusReply, ExchangeResult::Ok, ExchangeResult::Ok},
        {"18051E0C\n01070C1A\r\n000024on#\r", ExchangeResult::Ok, ExchangeResult::Ok},
        {"18051E0C01070C1A00002on#\r", ExchangeResult::Ok, ExchangeResult::BadReply},
        {"18051E0C01070C1A0000240on#\r", ExchangeResult::Ok, ExchangeResult::BadReply},
        {"18051E0C01070C1A000025on#\r", ExchangeResult::Ok, ExchangeResult::BadReply},
        {"18051E0C01070C1A000024of#\r", ExchangeResult::BadReply, ExchangeResult::BadReply},
        // "on#" without the terminator: accepted once the receiver is stopped.
        {"18051E0C01070C1A000024on#", ExchangeResult::Ok, ExchangeResult::Ok},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::string(c.reply)));
        ScriptedPort port;
        FakeMessageBoxes boxes;
        zave::EepromQuestionBox eeprom{boxes};
        ExchangeEngine engine(port, eeprom);
        port.setReply(c.reply);
        EXPECT_EQ(engine.sendCommand(WriteSettings, kSettings), c.command);
        EXPECT_EQ(engine.lastReplyText(), c.reply);
        // Before the query, replyData holds a known earlier reply.
        port.setReply(kStatusReply);
        ASSERT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
        port.setReply(c.reply);
        EXPECT_EQ(engine.sendQuery(ReadSettings, 0, 0), c.query);
        EXPECT_EQ(engine.replyData(), kStatusData);  // the same data or unchanged
        EXPECT_TRUE(boxes.shown.empty());
        const auto frames = port.frames();
        ASSERT_EQ(frames.size(), 3u);
        EXPECT_EQ(frames[0], "07000A01" + std::string(18, '0') + "F9\r");
        EXPECT_EQ(frames[1], "80000028\r");
        EXPECT_EQ(frames[2], "8600002E\r");
    }
}

TEST(ExchangeReplies, StaleInputIsDroppedBeforeTheFrame) {
    ScriptedPort port;
    FakeMessageBoxes boxes;
    zave::EepromQuestionBox eeprom{boxes};
    ExchangeEngine engine(port, eeprom);
    port.pushInput("on#\r");  // left over from an earlier answer
    port.setReply(kStatusReply);
    EXPECT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
    EXPECT_EQ(engine.lastReplyText(), kStatusReply);
}

TEST(ExchangeReplies, ClosedPortGivesDisconnectAndWritesNothing) {
    ScriptedPort port;
    port.close();
    FakeMessageBoxes boxes;
    zave::EepromQuestionBox eeprom{boxes};
    ExchangeEngine engine(port, eeprom);
    port.setReply(kStatusReply);
    EXPECT_EQ(engine.sendCommand(SetClock, kZeros), ExchangeResult::Disconnect);
    EXPECT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::Disconnect);
    EXPECT_EQ(port.writesStarted(), 0);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(engine.replyData(), ReplyData{});
}

TEST(ExchangeWorkers, ReceiverSleepsInThePortWhileNothingComes) {
    // No answer: the receiver waits in waitForInput until the engine stops it
    // at the first limit. A receiver that polled in a loop would call it
    // thousands of times.
    ScriptedPort port;
    FakeMessageBoxes boxes;
    zave::EepromQuestionBox eeprom{boxes};
    ExchangeEngine engine(port, eeprom);
    EXPECT_EQ(engine.sendCommand(WriteSettings, kSettings), ExchangeResult::BadReply);
    EXPECT_GE(port.waits(), 1);
    EXPECT_LE(port.waits(), 20);
}

TEST(ExchangeWorkers, ReceiverEndsWhenTheDeviceVanishes) {
    ScriptedPort port;
    FakeMessageBoxes boxes;
    zave::EepromQuestionBox eeprom{boxes};
    ExchangeEngine engine(port, eeprom);
    port.vanishOnWait();
    EXPECT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::BadReply);
    EXPECT_EQ(port.waits(), 1);  // no polling of a port that is gone
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::Disconnect);
}

TEST(ExchangeWorkers, StuckSenderGivesNoReplyAndStaysAwayFromLaterExchanges) {
    ScriptedPort port;
    FakeMessageBoxes boxes;
    zave::EepromQuestionBox eeprom{boxes};
    ExchangeEngine engine(port, eeprom);
    port.setReply(kStatusReply);
    ASSERT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);

    port.setReply("on#\r");
    port.holdWrites(true);
    EXPECT_EQ(engine.sendCommand(WriteSettings, kSettings), ExchangeResult::NoReply);
    EXPECT_EQ(engine.replyData(), kStatusData);
    // The old write is still in the port: a new exchange keeps off the line.
    EXPECT_EQ(engine.sendQuery(ReadSettings, 0, 0), ExchangeResult::NoReply);
    EXPECT_EQ(port.writesStarted(), 2);

    // The stuck write completes late and its answer lands in the input queue.
    port.holdWrites(false);
    ASSERT_TRUE(port.waitForFrames(2));

    port.setReply("000A0100000000000000D2on#\r");
    EXPECT_EQ(engine.sendQuery(ReadSettings, 0, 0), ExchangeResult::Ok);
    EXPECT_EQ(engine.replyData()[1], 0);
    EXPECT_EQ(engine.replyData()[2], 10);
    EXPECT_EQ(engine.replyData()[3], 1);
    const auto frames = port.frames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[2], "8600002E\r");
    // The stuck sender made its two calls (is-open, write) and no more.
    std::vector<int> writers;
    for (const auto& c : port.calls())
        if (c.what == "write") writers.push_back(c.thread);
    ASSERT_EQ(writers.size(), 3u);
    int staleCalls = 0;
    for (const auto& c : port.calls())
        if (c.thread == writers[1]) ++staleCalls;
    EXPECT_EQ(staleCalls, 2);
}

TEST(ExchangeWorkers, ReceiverThatIgnoresTheStopIsLeftBehindHarmlessly) {
    ScriptedPort port;
    FakeMessageBoxes boxes;
    zave::EepromQuestionBox eeprom{boxes};
    ExchangeEngine engine(port, eeprom);
    port.holdWaits(true);
    EXPECT_EQ(engine.sendCommand(WriteSettings, kSettings), ExchangeResult::NoReply);
    const int staleReceiver = port.threadOf("waitForInput");
    ASSERT_NE(staleReceiver, 0);
    // Still stuck in the port: the next exchange does not start.
    EXPECT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::NoReply);
    EXPECT_EQ(port.writesStarted(), 1);

    const size_t callsBefore = port.calls().size();
    port.setReply(kStatusReply);
    port.holdWaits(false);
    // The abandoned receiver comes back from its wait; it must not read the
    // answer meant for the next exchange.
    EXPECT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
    EXPECT_EQ(engine.replyData(), kStatusData);
    const auto calls = port.calls();
    for (size_t i = callsBefore; i < calls.size(); ++i)
        EXPECT_NE(calls[i].thread, staleReceiver) << "stale receiver called " << calls[i].what;
}

// ---------------------------------------------------------------------------
// The retry rule.

TEST(ExchangeAttempts, RepeatsOnlyNoReplyAndBadReplyAtMostEightTimes) {
    using R = ExchangeResult;
    struct Case {
        std::vector<R> results;  // what the calls return, in order
        R expected;
        int calls;
    } cases[] = {
        {{R::Ok}, R::Ok, 1},
        {{R::Disconnect}, R::Disconnect, 1},
        {{R::BadReply, R::NoReply, R::Ok}, R::Ok, 3},
        {{R::NoReply, R::BadReply, R::Disconnect, R::Ok}, R::Disconnect, 3},
        {{R::BadReply, R::BadReply, R::BadReply, R::BadReply, R::BadReply, R::BadReply, R::BadReply, R::Ok},
         R::Ok, 8},
        {{R::NoReply, R::NoReply, R::NoReply, R::NoReply, R::NoReply, R::NoReply, R::NoReply, R::NoReply, R::Ok},
         R::NoReply, 8},
        {{R::BadReply, R::BadReply, R::BadReply, R::BadReply, R::BadReply, R::BadReply, R::BadReply,
          R::BadReply, R::Ok},
         R::BadReply, 8},
    };
    for (const auto& c : cases) {
        int calls = 0;
        const R result = exchangeAttempts([&] { return c.results[size_t(calls++)]; });
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(calls, c.calls);
    }
}

}  // namespace
}  // namespace zave
