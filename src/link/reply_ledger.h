// What the device still owes on the line.
//
// A reply carries no sign of the frame it answers; all it has is its end,
// "#\r". So the engine keeps count: every frame sent is owed one reply, and
// every "#\r" that comes pays off the oldest frame still owed. The engine
// sends a frame other than the one owed only once nothing is owed any more
// (or no reply can still come), so whatever is owed is owed for copies of one
// frame, and any whole reply that comes meanwhile answers that frame.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace zave {

class ReplyLedger {
public:
    using Time = std::chrono::steady_clock::time_point;

    // A frame went on the line at `at`: one more reply is owed for it. A
    // frame other than the one owed may only be sent while nothing is owed.
    void frameSent(const std::string& frame, Time at);
    // Bytes from the device, taken from the port at `at`.
    void received(std::string_view bytes, Time at);

    size_t owed() const { return owedSince_.size(); }
    // The frame the owed replies belong to (meaningless while none is owed).
    const std::string& owedFrame() const { return frame_; }
    // When the oldest frame still owed was sent.
    std::optional<Time> oldestOwedSent() const;
    // The last frame sent or byte received, whichever came later.
    std::optional<Time> lastActivity() const;
    // Whether any byte came after the oldest frame still owed was sent.
    bool heardSinceOldestOwed() const;

    // Received text that no exchange has taken yet.
    const std::string& unread() const { return unread_; }
    // The first whole reply of the unread text, through its "#\r"; taken out.
    std::optional<std::string> takeWholeReply();
    // Drops every whole reply still unread; a reply still coming stays.
    void dropWholeReplies();
    // An exchange used the unread text although it had no end yet; a "#\r"
    // that completes it still pays off its frame.
    void consumeUnread() { unread_.clear(); }
    // Nothing is owed, so the unread text answers nothing: dropped.
    void dropUnread();
    // The line has been quiet long enough that no owed reply can still come.
    void writeOff();
    // Replies that ended while nothing was owed: a device answering twice,
    // a stray terminator, a reply that came after it was written off. Each
    // one means some answer taken earlier may have been another frame's.
    size_t surpluses() const { return surpluses_; }
    // Bytes that came while nothing at all was owed (noise, or a reply that
    // answers no frame, counted as it comes).
    size_t unowedBytes() const { return unowedBytes_; }
    // A new line: nothing sent on an earlier one is owed on it.
    void reset() {
        const size_t surpluses = surpluses_, unowed = unowedBytes_;
        *this = ReplyLedger();
        surpluses_ = surpluses;
        unowedBytes_ = unowed;
    }

    // Bytes were read that this ledger never saw (by a worker that was left
    // behind): where the replies end is no longer known. Only ever leaves
    // more owed than is, never less.
    void lostTrack();

private:
    std::string frame_;
    std::deque<Time> owedSince_;
    std::string unread_;
    char previous_ = 0;  // the last byte received: a "#\r" may span two reads
    std::optional<Time> lastSent_;
    std::optional<Time> lastHeard_;
    size_t surpluses_ = 0;
    size_t unowedBytes_ = 0;
};

}  // namespace zave
