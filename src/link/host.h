// What the core needs from the user interface, as small interfaces that the
// Qt layer implements and tests fake.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zave {

enum class MessageIcon { Warning, Error, Information };
enum class MessageButtons { Ok, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Yes, No, Cancel };

// Modal message boxes.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual MessageAnswer show(std::string_view title, std::string_view text, MessageIcon icon,
                               MessageButtons buttons) = 0;
};

enum class LogMode { Plain = 0, Clear = 1, Stamped = 2 };

// The exchange log (logView).
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void logLine(std::string_view text, LogMode mode) = 0;
};

// Local calendar time as the computer's clock gives it.
struct LocalTime {
    int64_t year = 2000;
    int month = 1;      // 1..12
    int day = 1;        // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int dayOfWeek = 6;  // the system's own day of week: 0 = Sunday .. 6 = Saturday
    friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime now() = 0;
};

// The computer's local time (64-bit: dates after 2038 work).
LocalTime systemLocalTime();

class SystemClock final : public Clock {
public:
    LocalTime now() override { return systemLocalTime(); }
};

// Window events that arrive while the core holds the user-interface thread.
class EventPump {
public:
    virtual ~EventPump() = default;
    // Takes up to maxEvents pending events without waiting and drops them,
    // letting the windows repaint.
    virtual void dropPendingEvents(int maxEvents) = 0;
};

}  // namespace zave
