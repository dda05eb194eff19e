// Fakes of the user-interface hooks, shared by the core tests.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "link/host.h"

namespace zave::testing {

struct ShownMessage {
    std::string title;
    std::string text;
    MessageIcon icon;
    MessageButtons buttons;
};

// Answers message boxes from a queue (Ok/Yes when the queue is empty) and
// records every box shown.
class FakeMessageBoxes : public MessageBoxes {
public:
    MessageAnswer show(std::string_view title, std::string_view text, MessageIcon icon,
                       MessageButtons buttons) override;
    std::deque<MessageAnswer> answers;
    std::vector<ShownMessage> shown;
};

// Keeps the log as lines, with stamps made from a fixed time.
class FakeLog : public LogSink {
public:
    void logLine(std::string_view text, LogMode mode) override;
    std::vector<std::string> lines;
    LocalTime stampTime{2026, 12, 7, 9, 5, 3, 1};
};

class FakeClock : public Clock {
public:
    LocalTime now() override { return time; }
    LocalTime time{2026, 12, 7, 9, 5, 3, 1};
};

class FakeEventPump : public EventPump {
public:
    void dropPendingEvents(int maxEvents) override { calls.push_back(maxEvents); }
    std::vector<int> calls;
};

}  // namespace zave::testing
