#include "link/reply_ledger.h"

#include "link/frame.h"

namespace zave {

void ReplyLedger::frameSent(const std::string& frame, Time at) {
    // Another frame is sent only once nothing is owed. Should one be sent
    // anyway, the replies owed belong to no single frame any more: an empty
    // frame text matches no frame, so nothing is taken as an answer until
    // every one of them has come or been written off.
    if (owedSince_.empty()) frame_ = frame;
    else if (frame_ != frame) frame_.clear();
    owedSince_.push_back(at);
    lastSent_ = at;
}

void ReplyLedger::received(std::string_view bytes, Time at) {
    if (bytes.empty()) return;
    for (const char c : bytes) {
        if (owedSince_.empty()) ++unowedBytes_;
        // Never more paid than owed: a reply with nothing owed is counted
        // apart, as a sign that the replies and the frames are out of step.
        if (previous_ == '#' && c == '\r') {
            if (owedSince_.empty()) ++surpluses_;
            else owedSince_.pop_front();
        }
        previous_ = c;
    }
    unread_.append(bytes);
    lastHeard_ = at;
}

std::optional<ReplyLedger::Time> ReplyLedger::oldestOwedSent() const {
    if (owedSince_.empty()) return std::nullopt;
    return owedSince_.front();
}

std::optional<ReplyLedger::Time> ReplyLedger::lastActivity() const {
    if (!lastSent_) return lastHeard_;
    if (!lastHeard_) return lastSent_;
    return std::max(*lastSent_, *lastHeard_);
}

bool ReplyLedger::heardSinceOldestOwed() const {
    return lastHeard_ && !owedSince_.empty() && *lastHeard_ >= owedSince_.front();
}

std::optional<std::string> ReplyLedger::takeWholeReply() {
    const size_t end = unread_.find(kReplyTerminator);
    if (end == std::string::npos) return std::nullopt;
    std::string reply = unread_.substr(0, end + kReplyTerminator.size());
    unread_.erase(0, end + kReplyTerminator.size());
    return reply;
}

void ReplyLedger::dropWholeReplies() {
    const size_t end = unread_.rfind(kReplyTerminator);
    if (end != std::string::npos) unread_.erase(0, end + kReplyTerminator.size());
}

void ReplyLedger::dropUnread() {
    unread_.clear();
    previous_ = 0;
}

void ReplyLedger::writeOff() {
    owedSince_.clear();
    dropUnread();
}

void ReplyLedger::lostTrack() { dropUnread(); }

}  // namespace zave
