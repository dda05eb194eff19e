// The engine and the life of its line, against a scripted port: replies
// that answer no frame, a line another program may have left owing, and the
// paths where the ledger is written off or loses track.
#include <gtest/gtest.h>

#include <thread>

#include "support/scripted_engine.h"

namespace zave {
namespace {

using namespace std::chrono_literals;
using testing::ScriptedEngine;
using LineQuiet = testing::ScriptedEngineTest;

const CommandParams kSettings{0, 10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const char kStatusReply[] = "18051E0C01070C1A000024on#\r";
const ReplyData kStatusData{0, 24, 5, 30, 12, 1, 7, 12, 26, 0, 0};

TEST_F(LineQuiet, AnOperationIsConfirmedOnlyWhenNoReplyCameThatAnsweredNoFrame) {
    struct Case {
        const char* name;
        const char* reply;   // what the device sends for the frame
        const char* after;   // what comes on the line after the answer was taken
        bool surplusSeenAtOnce;
        bool confirmed;
        // How long this thread is kept from the check, well past the watch.
        std::chrono::milliseconds late = 0ms;
    } cases[] = {
        {"one reply", "on#\r", "", false, true},
        {"answered twice at once", "on#\ron#\r", "", true, false},
        {"answered twice, the copy after the answer", "on#\r", "on#\r", false, false},
        {"a stray end of a reply", "on#\r", "#\r", false, false},
        {"noise without an end", "on#\r", "x", false, false},
        {"one reply, checked late", "on#\r", "", false, true, 200ms},
        {"the copy waiting when the check comes late", "on#\r", "on#\r", false, false, 200ms},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedEngine row;
        row.engine.lineOpened(false);
        row.engine.beginOperation();
        row.port.setReply(c.reply);
        EXPECT_EQ(row.engine.sendCommand(WriteSettings, kSettings), ExchangeResult::Ok);
        EXPECT_EQ(row.engine.noSurplusSoFar(), !c.surplusSeenAtOnce);
        row.port.pushInput(c.after);
        std::this_thread::sleep_for(c.late);
        EXPECT_EQ(row.engine.answersConfirmed(), c.confirmed);
    }
}

// A status whose answer came at once, before the device could have begun
// one (a copy of an earlier reply already on its way), is watched for as
// long as this device takes to answer a query, not for the moment it took.
TEST_F(LineQuiet, AnAnswerThatCameAtOnceIsWatchedForTheDevicesUsualTime) {
    engine.lineOpened(false);
    port.setReply("");
    std::thread device([&] {
        // The device takes 150 ms to answer a query.
        port.waitForFrames(1);
        std::this_thread::sleep_for(150ms);
        port.pushInput(kStatusReply);
        // The next status: a copy of that reply comes at once, the device's
        // own answer in its usual time.
        port.waitForFrames(2);
        port.pushInput(kStatusReply);
        std::this_thread::sleep_for(100ms);
        port.pushInput(kStatusReply);
    });
    engine.beginOperation();
    EXPECT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
    EXPECT_TRUE(engine.answersConfirmed());
    engine.beginOperation();
    EXPECT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
    EXPECT_FALSE(engine.answersConfirmed());
    device.join();
}

// A device that has answered this line late is given its time before a frame
// goes out again; an answer that late is not held to a prompt device's steady
// timing, so a copy that comes well after it still fails the operation.
TEST_F(LineQuiet, ALateDeviceIsAskedOnceAndItsAnswerWatchedForTheQuietLimit) {
    for (const bool copy : {false, true}) {
        SCOPED_TRACE(copy ? "a copy 600 ms after the answer" : "one answer");
        ScriptedEngine row;
        row.engine.lineOpened(false);
        row.port.setReply("");
        std::thread device([&] {
            // 400 ms for every frame, one at a time; the first is sent again at 300 ms.
            for (size_t frame = 1; frame <= 3; ++frame) {
                if (!row.port.waitForFrames(frame)) return;
                std::this_thread::sleep_for(400ms);
                row.port.pushInput(kStatusReply);
            }
            if (!copy) return;
            std::this_thread::sleep_for(600ms);
            row.port.pushInput(kStatusReply);
        });
        EXPECT_EQ(exchangeAttempts([&] { return row.engine.sendQuery(Status, 0, 0); }), ExchangeResult::Ok);
        EXPECT_TRUE(row.engine.awaitClearLine());
        ASSERT_EQ(row.port.frames().size(), 2u);
        row.engine.beginOperation();
        EXPECT_EQ(row.engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
        EXPECT_EQ(row.port.frames().size(), 3u);
        EXPECT_EQ(row.engine.answersConfirmed(), !copy);
        device.join();
    }
}

TEST_F(LineQuiet, ALineLeftInUseIsListenedToBeforeTheFirstFrame) {
    engine.lineOpened(true);
    port.setReply("on#\r");
    // The dead program's frame is answered a little after the open.
    int writesWhenTheOldReplyCame = -1;
    std::thread device([&] {
        std::this_thread::sleep_for(100ms);
        writesWhenTheOldReplyCame = port.writesStarted();
        port.pushInput("of#\r");
    });
    EXPECT_EQ(engine.sendCommand(WriteSettings, kSettings), ExchangeResult::Ok);
    device.join();
    EXPECT_EQ(writesWhenTheOldReplyCame, 0);
    EXPECT_EQ(engine.lastReplyText(), "on#\r");
    EXPECT_EQ(port.frames().size(), 1u);
}

// After an exchange that had to be repeated, or a reply written off, the
// timing of the replies says nothing about what may still come: a reply
// that comes well after the operation's last answer still fails it.
TEST_F(LineQuiet, AfterARepeatOrAWriteOffTheWatchLastsTheQuietLimit) {
    struct Case {
        const char* name;
        const char* firstReply;  // to the first copy of the frame
        bool newOperationAfterTheFirstCopy;
        const char* lateReply;   // 400 ms after the operation's last answer
    } cases[] = {
        // A garbled reply pays its copy; a second reply to it comes late.
        {"repeated after a garbled reply", "xx#\r", false, "on#\r"},
        // The device falls silent on the first frame; once the line has been
        // quiet for the quiet limit that reply is written off, in the next
        // operation. Then it comes after all.
        {"a reply written off", "", true, "of#\r"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedEngine row;
        row.engine.lineOpened(false);
        row.engine.beginOperation();
        row.port.setReply(c.firstReply);
        EXPECT_EQ(row.engine.sendCommand(WriteSettings, kSettings), ExchangeResult::BadReply);
        if (c.newOperationAfterTheFirstCopy) {
            std::this_thread::sleep_for(2s);
            row.engine.beginOperation();
        }
        row.port.setReply("on#\r");
        EXPECT_EQ(row.engine.sendCommand(WriteSettings, kSettings), ExchangeResult::Ok);
        std::thread device([&] {
            std::this_thread::sleep_for(400ms);
            row.port.pushInput(c.lateReply);
        });
        EXPECT_FALSE(row.engine.answersConfirmed());
        device.join();
    }
}

// The frame of an exchange whose worker was given up may have gone out: its
// reply is waited for before another frame is sent.
TEST_F(LineQuiet, AFrameWhoseSenderWasGivenUpIsOwedItsReply) {
    port.setReply("");
    port.holdWrites(true);
    EXPECT_EQ(engine.sendCommand(WriteSettings, kSettings), ExchangeResult::NoReply);
    port.holdWrites(false);
    ASSERT_TRUE(port.waitForFrames(1));
    int writesWhenTheReplyCame = -1;
    std::thread device([&] {
        std::this_thread::sleep_for(150ms);
        writesWhenTheReplyCame = port.writesStarted();
        port.pushInput("of#\r");
    });
    port.setReply(kStatusReply);
    EXPECT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
    device.join();
    EXPECT_EQ(writesWhenTheReplyCame, 1);
    EXPECT_EQ(engine.replyData(), kStatusData);
}

// Replies out of step with the frames: the next frame waits until the line
// has been quiet long enough that no more of them can come.
TEST_F(LineQuiet, AfterRepliesOutOfStepTheNextFrameWaitsForAQuietLine) {
    struct Case {
        const char* name;
        const char* atTheCheck;  // on the line when the first operation is checked
        const char* whileIdle;   // on the line between the two operations
        const char* later;       // 100 ms after the second operation began
        bool firstConfirmed;
    } cases[] = {
        {"a whole reply while the line was idle", "", "on#\r", "on#\r", true},
        {"a reply still coming when the operation ended", "on", "", "#\r", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedEngine row;
        row.engine.lineOpened(false);
        row.engine.beginOperation();
        row.port.setReply("on#\r");
        EXPECT_EQ(row.engine.sendCommand(WriteSettings, kSettings), ExchangeResult::Ok);
        row.port.pushInput(c.atTheCheck);
        EXPECT_EQ(row.engine.answersConfirmed(), c.firstConfirmed);
        row.port.pushInput(c.whileIdle);
        int writesWhenMoreCame = -1;
        std::thread device([&] {
            std::this_thread::sleep_for(100ms);
            writesWhenMoreCame = row.port.writesStarted();
            row.port.pushInput(c.later);
            if (!row.port.waitForFrames(2)) return;
            row.port.pushInput("on#\r");
        });
        row.engine.beginOperation();
        row.port.setReply("");
        EXPECT_EQ(row.engine.sendCommand(WriteSettings, kSettings), ExchangeResult::Ok);
        device.join();
        EXPECT_EQ(writesWhenMoreCame, 1);
        EXPECT_EQ(row.port.frames().size(), 2u);
    }
}

// A device that has answered unasked once may do it again after any reply,
// too late for the operation to see; the line is handed on only once quiet,
// so that such a copy cannot answer the next user's first frame.
TEST_F(LineQuiet, ALineWhoseDeviceAnsweredUnaskedIsGivenUpOnlyOnceQuiet) {
    engine.lineOpened(false);
    port.setReply(kStatusReply);
    engine.beginOperation();
    EXPECT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
    port.pushInput(kStatusReply);
    EXPECT_FALSE(engine.answersConfirmed());
    engine.beginOperation();
    EXPECT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
    engine.answersConfirmed();
    std::thread device([&] {
        std::this_thread::sleep_for(300ms);
        port.pushInput(kStatusReply);
    });
    EXPECT_TRUE(engine.releaseLine());
    device.join();
    EXPECT_EQ(port.bytesWaiting(), 0u);
}

TEST_F(LineQuiet, ADeviceThatFellSilentAndThenBeginsALateReplyIsGivenItsTime) {
    // Nothing comes for a whole quiet limit, so the device counts as silent
    // and the next copy is asked at the usual pace. Then the first bytes of a
    // late reply come: the device is no longer silent, and the next attempt
    // waits for the rest instead of giving up at the first wait.
    for (const bool duringAnAttempt : {false, true}) {
        SCOPED_TRACE(duringAnAttempt ? "the bytes come during an attempt" : "the bytes come between attempts");
        ScriptedEngine row;
        row.engine.lineOpened(false);
        row.port.setReply("");
        EXPECT_EQ(row.engine.sendCommand(WriteSettings, kSettings), ExchangeResult::BadReply);
        std::this_thread::sleep_for(2s);
        std::thread device([&] {
            if (duringAnAttempt) {
                row.port.waitForFrames(2);
                std::this_thread::sleep_for(100ms);
                row.port.pushInput("o");
            }
            row.port.waitForFrames(3);
            std::this_thread::sleep_for(600ms);
            row.port.pushInput("n#\r");
        });
        EXPECT_EQ(row.engine.sendCommand(WriteSettings, kSettings), ExchangeResult::BadReply);
        if (!duringAnAttempt) row.port.pushInput("o");
        EXPECT_EQ(row.engine.sendCommand(WriteSettings, kSettings), ExchangeResult::Ok);
        device.join();
        EXPECT_EQ(row.port.frames().size(), 3u);
    }
}

TEST_F(LineQuiet, TextLeftUnreadByAWorkerGivenUpNeverJoinsTheNextReply) {
    port.holdWaits(true);
    EXPECT_EQ(engine.sendCommand(WriteSettings, kSettings), ExchangeResult::NoReply);
    // The start of a reply comes while the receiver given up is still stuck.
    port.pushInput("18051E");
    port.holdWaits(false);
    port.setReply(kStatusReply);
    EXPECT_EQ(exchangeAttempts([&] { return engine.sendQuery(Status, 0, 0); }), ExchangeResult::Ok);
    EXPECT_EQ(engine.lastReplyText(), kStatusReply);
    EXPECT_EQ(engine.replyData(), kStatusData);
}

TEST_F(LineQuiet, BeforeAClosePendingRepliesAreWaitedForAndThenTheLineIsClear) {
    // No answer within the limits: the reply stays owed.
    EXPECT_EQ(engine.sendCommand(WriteSettings, kSettings), ExchangeResult::BadReply);
    std::thread device([&] {
        std::this_thread::sleep_for(200ms);
        port.pushInput("on#\r");
    });
    EXPECT_TRUE(engine.awaitClearLine());
    device.join();
    // The late reply was the settings frame's, and nothing more is owed: a
    // different frame goes out at once and gets its own answer.
    port.setReply(kStatusReply);
    EXPECT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
    EXPECT_EQ(engine.replyData(), kStatusData);
}

TEST_F(LineQuiet, ADeviceThatTurnsLateIsAskedAgainAndItsExtraRepliesNeverCrossTheNextFrame) {
    engine.lineOpened(false);
    port.setReply(kStatusReply);
    ASSERT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);

    // From now on the device answers the settings frame late, once for
    // every copy sent; the copies after the first are refused, so that one
    // taken for the status query's answer would show.
    port.setReply("");
    std::thread device([&] {
        std::this_thread::sleep_for(750ms);
        port.pushInput("on#\r");
    });
    EXPECT_EQ(exchangeAttempts([&] { return engine.sendCommand(WriteSettings, kSettings); }), ExchangeResult::Ok);
    device.join();
    const size_t copies = port.frames().size() - 1;
    EXPECT_GE(copies, 2u);
    std::thread rest([&] {
        std::this_thread::sleep_for(200ms);
        for (size_t i = 1; i < copies; ++i) port.pushInput("of#\r");
    });
    port.setReply(kStatusReply);
    EXPECT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
    rest.join();
    EXPECT_EQ(engine.lastReplyText(), kStatusReply);
    EXPECT_EQ(engine.replyData(), kStatusData);
}

}  // namespace
}  // namespace zave
