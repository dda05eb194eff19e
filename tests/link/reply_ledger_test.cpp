// The count of replies the device still owes, fed by hand.
#include "link/reply_ledger.h"

#include <gtest/gtest.h>

#include <vector>

namespace zave {
namespace {

using namespace std::chrono_literals;
using Time = ReplyLedger::Time;

const std::string kStatus = "80000028\r";
const std::string kSettings = "8600002E\r";
const Time t0 = Time{} + 1000s;

TEST(ReplyLedger, EveryEndOfAReplyPaysOffTheOldestFrame) {
    struct Case {
        const char* name;
        int framesSent;
        std::vector<std::string> reads;  // what came, read by read
        size_t owed;
        std::string unread;
    } cases[] = {
        {"nothing came", 2, {}, 2, ""},
        {"one whole reply", 2, {"on#\r"}, 1, "on#\r"},
        {"two replies in one read", 2, {"on#\ron#\r"}, 0, "on#\ron#\r"},
        {"the end split over two reads", 1, {"18051E0C01070C1A000024on#", "\r"}, 0,
         "18051E0C01070C1A000024on#\r"},
        {"a reply in pieces", 1, {"1805", "1E0C01070C1A00", "0024on", "#", "\r"}, 0, "18051E0C01070C1A000024on#\r"},
        {"a carriage return alone ends nothing", 1, {"on", "\r"}, 1, "on\r"},
        {"a mark alone ends nothing", 1, {"on#"}, 1, "on#"},
        {"more ends than frames owe nothing", 1, {"on#\rof#\rol#\r"}, 0, "on#\rof#\rol#\r"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReplyLedger ledger;
        for (int i = 0; i < c.framesSent; ++i) ledger.frameSent(kStatus, t0 + i * 300ms);
        Time at = t0 + 1s;
        for (const auto& r : c.reads) ledger.received(r, at += 1ms);
        EXPECT_EQ(ledger.owed(), c.owed);
        EXPECT_EQ(ledger.unread(), c.unread);
    }
}

TEST(ReplyLedger, WholeRepliesAreTakenOneByOneAndAReplyStillComingStays) {
    ReplyLedger ledger;
    for (int i = 0; i < 3; ++i) ledger.frameSent(kStatus, t0 + i * 300ms);
    ledger.received("AAon#\rBBon#\rCC", t0 + 1s);
    EXPECT_EQ(ledger.owed(), 1u);
    EXPECT_EQ(ledger.takeWholeReply(), "AAon#\r");
    ledger.dropWholeReplies();
    EXPECT_EQ(ledger.unread(), "CC");
    EXPECT_EQ(ledger.takeWholeReply(), std::nullopt);
    ledger.received("on#\r", t0 + 2s);
    EXPECT_EQ(ledger.owed(), 0u);
    EXPECT_EQ(ledger.takeWholeReply(), "CCon#\r");
    EXPECT_EQ(ledger.unread(), "");
}

TEST(ReplyLedger, UsedTextStillPaysWhenItsEndComesDroppedTextDoesNot) {
    {
        // An answer taken without its end: the end that follows is its own.
        ReplyLedger ledger;
        ledger.frameSent(kStatus, t0);
        ledger.frameSent(kStatus, t0 + 300ms);
        ledger.received("on#", t0 + 400ms);
        ledger.consumeUnread();
        ledger.received("\r", t0 + 500ms);
        EXPECT_EQ(ledger.owed(), 1u);
        EXPECT_EQ(ledger.unread(), "\r");
    }
    {
        // Text dropped while nothing was owed: its end pays for nothing later.
        ReplyLedger ledger;
        ledger.received("xx#", t0);
        ledger.dropUnread();
        ledger.frameSent(kStatus, t0 + 100ms);
        ledger.received("\r", t0 + 200ms);
        EXPECT_EQ(ledger.owed(), 1u);
    }
    {
        // Bytes lost to a worker left behind: never fewer owed than are.
        ReplyLedger ledger;
        ledger.frameSent(kStatus, t0);
        ledger.received("on#", t0 + 10ms);
        ledger.lostTrack();
        ledger.received("\r", t0 + 20ms);
        EXPECT_EQ(ledger.owed(), 1u);
    }
}

TEST(ReplyLedger, OwedFrameTimesAndWriteOff) {
    ReplyLedger ledger;
    EXPECT_EQ(ledger.lastActivity(), std::nullopt);
    EXPECT_EQ(ledger.oldestOwedSent(), std::nullopt);
    ledger.frameSent(kStatus, t0);
    ledger.frameSent(kStatus, t0 + 300ms);
    EXPECT_EQ(ledger.owedFrame(), kStatus);
    EXPECT_EQ(ledger.oldestOwedSent(), t0);
    EXPECT_EQ(ledger.lastActivity(), t0 + 300ms);
    EXPECT_FALSE(ledger.heardSinceOldestOwed());
    ledger.received("on#\r", t0 + 700ms);
    EXPECT_EQ(ledger.oldestOwedSent(), t0 + 300ms);
    EXPECT_EQ(ledger.lastActivity(), t0 + 700ms);
    EXPECT_TRUE(ledger.heardSinceOldestOwed());
    ledger.received("on#", t0 + 800ms);
    ledger.writeOff();
    EXPECT_EQ(ledger.owed(), 0u);
    EXPECT_EQ(ledger.unread(), "");
    // What remains of a written-off reply pays for nothing sent later.
    ledger.frameSent(kSettings, t0 + 3s);
    ledger.received("\r", t0 + 3100ms);
    EXPECT_EQ(ledger.owed(), 1u);
    EXPECT_EQ(ledger.owedFrame(), kSettings);
}

TEST(ReplyLedger, AnotherFrameWhileRepliesAreOwedMatchesNoFrame) {
    ReplyLedger ledger;
    ledger.frameSent(kStatus, t0);
    ledger.frameSent(kSettings, t0 + 300ms);
    EXPECT_EQ(ledger.owed(), 2u);
    EXPECT_NE(ledger.owedFrame(), kStatus);
    EXPECT_NE(ledger.owedFrame(), kSettings);
    ledger.received("on#\ron#\r", t0 + 1s);
    EXPECT_EQ(ledger.owed(), 0u);
    ledger.frameSent(kSettings, t0 + 2s);
    EXPECT_EQ(ledger.owedFrame(), kSettings);
}

}  // namespace
}  // namespace zave

namespace zave {
namespace {

TEST(ReplyLedger, HeardCountsFromTheVeryMomentTheOldestOwedFrameWasSent) {
    using namespace std::chrono_literals;
    const auto sent = std::chrono::steady_clock::time_point{} + 10s;
    struct Case {
        std::chrono::milliseconds heard;  // relative to the frame
        bool heardSince;
    } cases[] = {{-1ms, false}, {0ms, true}, {1ms, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.heard.count());
        ReplyLedger ledger;
        ledger.received("1", sent + c.heard);
        ledger.frameSent("80000028\r", sent);
        ledger.received("", sent + c.heard);  // nothing at all changes nothing
        EXPECT_EQ(ledger.heardSinceOldestOwed(), c.heardSince);
    }
}

TEST(ReplyLedger, RepliesWithNothingOwedAreCountedAndPayNothingLater) {
    ReplyLedger ledger;
    const auto t = std::chrono::steady_clock::now();
    ledger.received("on#\r", t);  // nothing was sent
    EXPECT_EQ(ledger.surpluses(), 1u);
    ledger.frameSent("80000028\r", t);
    ledger.received("#", t);
    ledger.received("\r#\r", t);  // one end pays the frame, the next is over
    EXPECT_EQ(ledger.owed(), 0u);
    EXPECT_EQ(ledger.surpluses(), 2u);
    ledger.reset();  // a new line keeps the count
    EXPECT_EQ(ledger.surpluses(), 2u);
}

}  // namespace
}  // namespace zave
