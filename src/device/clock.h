// The device clock: setting it and showing both dates.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "link/exchange.h"
#include "link/host.h"
#include "link/serial_port.h"

namespace zave {

// "Пн." .. "Вс." for 1..7; empty text otherwise.
std::string weekdayAbbreviation(int weekday);
// Abbreviation followed by " %dd.%mm.%yyyy  %hh:%ii:%ss".
std::string formatClockText(int weekday, const LocalTime& t);
// The computer-date field: weekday from the system's day of week (0 -> 7).
std::string computerDateText(const LocalTime& t);
// The device-date field for a status reply, or nothing when a field is out of range.
std::optional<std::string> deviceDateText(const ReplyData& reply);
// The device's clock from a status reply as a calendar time (weekday as the
// device sent it, 1 = Monday, in dayOfWeek); nothing when a field is out of
// range or the values name no calendar date.
std::optional<LocalTime> deviceClockTime(const ReplyData& reply);
// Seconds from `from` to `to`, both read as calendar times (day of week ignored).
int64_t secondsBetween(const LocalTime& from, const LocalTime& to);
// The device's clock minus the computer's, in seconds, for a status reply
// that came `replyAge` before `computerNow`: the time spent since, making
// sure of the reply, is not the device's drift.
int64_t clockDrift(const LocalTime& computerNow, const LocalTime& device, std::chrono::steady_clock::duration replyAge);
// p1..p7 of SetClock, p8..p12 zero.
CommandParams clockRecord(const LocalTime& t);

// Reads the clock once and sends it under the retry rule; logs the outcome.
// True when the device accepted it.
bool syncDeviceClock(ExchangeEngine& engine, const SerialPort& line, Clock& clock, LogSink& log);

}  // namespace zave
