// The exchange engine against a scripted port: what a real line cannot
// provoke, on every system. The same engine against the simulator through
// the real serial layer is in exchange_device_posix_test.cpp.
#include <gtest/gtest.h>

#include "support/scripted_engine.h"

namespace zave {
namespace {

using testing::ScriptedEngine;
using ExchangeReplies = testing::ScriptedEngineTest;
using ExchangeWorkers = testing::ScriptedEngineTest;

const CommandParams kSettings{0, 10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const CommandParams kZeros{};

const char kStatusReply[] = "18051E0C01070C1A000024on#\r";
const ReplyData kStatusData{0, 24, 5, 30, 12, 1, 7, 12, 26, 0, 0};

TEST_F(ExchangeReplies, TokensAndQueryLayoutDecideTheResult) {
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
        ScriptedEngine row;
        row.port.setReply(c.reply);
        EXPECT_EQ(row.engine.sendCommand(WriteSettings, kSettings), c.command);
        EXPECT_EQ(row.engine.lastReplyText(), c.reply);
        // Before the query, replyData holds a known earlier reply.
        row.port.setReply(kStatusReply);
        ASSERT_EQ(row.engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
        row.port.setReply(c.reply);
        EXPECT_EQ(row.engine.sendQuery(ReadSettings, 0, 0), c.query);
        EXPECT_EQ(row.engine.replyData(), kStatusData);  // the same data or unchanged
        EXPECT_TRUE(row.boxes.shown.empty());
        const auto frames = row.port.frames();
        ASSERT_EQ(frames.size(), 3u);
        EXPECT_EQ(frames[0], "07000A01" + std::string(18, '0') + "F9\r");
        EXPECT_EQ(frames[1], "80000028\r");
        EXPECT_EQ(frames[2], "8600002E\r");
    }
}

TEST_F(ExchangeReplies, StaleInputIsDroppedBeforeTheFrame) {
    port.pushInput("on#\r");  // left over from an earlier answer
    port.setReply(kStatusReply);
    EXPECT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
    EXPECT_EQ(engine.lastReplyText(), kStatusReply);
}

TEST_F(ExchangeReplies, ClosedPortGivesDisconnectAndWritesNothing) {
    port.close();
    port.setReply(kStatusReply);
    EXPECT_EQ(engine.sendCommand(SetClock, kZeros), ExchangeResult::Disconnect);
    EXPECT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::Disconnect);
    EXPECT_EQ(port.writesStarted(), 0);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(engine.replyData(), ReplyData{});
}

TEST_F(ExchangeWorkers, ReceiverSleepsInThePortWhileNothingComes) {
    // No answer: the receiver waits in waitForInput until the engine stops it
    // at the first limit. A receiver that polled in a loop would call it
    // thousands of times.
    EXPECT_EQ(engine.sendCommand(WriteSettings, kSettings), ExchangeResult::BadReply);
    EXPECT_GE(port.waits(), 1);
    EXPECT_LE(port.waits(), 20);
}

TEST_F(ExchangeWorkers, ReceiverEndsWhenTheDeviceVanishes) {
    port.vanishOnWait();
    EXPECT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::BadReply);
    EXPECT_EQ(port.waits(), 1);  // no polling of a port that is gone
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::Disconnect);
}

TEST_F(ExchangeWorkers, StuckSenderGivesNoReplyAndStaysAwayFromLaterExchanges) {
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

TEST_F(ExchangeWorkers, ReceiverThatIgnoresTheStopIsLeftBehindHarmlessly) {
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
