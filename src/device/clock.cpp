#include "device/clock.h"

#include <array>

#include "link/datemask.h"

namespace zave {

namespace {

constexpr std::array<std::string_view, 7> kWeekdayAbbreviations = {"Пн.", "Вт.", "Ср.", "Чт.",
                                                                   "Пт.", "Сб.", "Вс."};
constexpr std::string_view kClockMask = " %dd.%mm.%yyyy  %hh:%ii:%ss";
// What the date part shows for values that pass the range checks but name no calendar date.
constexpr std::string_view kNoDateText = " 00.00.0000  00:00:00";

bool isLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int64_t year, int month) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && isLeapYear(year)) return 29;
    return kDays[static_cast<size_t>(month - 1)];
}

// The system's day of week (0 = Sunday .. 6 = Saturday) as 1 = Monday .. 7 = Sunday.
int weekdayFromSystem(int dayOfWeek) { return dayOfWeek == 0 ? 7 : dayOfWeek; }

}  // namespace

std::string weekdayAbbreviation(int weekday) {
    if (weekday < 1 || weekday > 7) return {};
    return std::string(kWeekdayAbbreviations[static_cast<size_t>(weekday - 1)]);
}

std::string formatClockText(int weekday, const LocalTime& t) {
    return weekdayAbbreviation(weekday) + formatDateMask(kClockMask, t);
}

std::string computerDateText(const LocalTime& t) { return formatClockText(weekdayFromSystem(t.dayOfWeek), t); }

namespace {

// The clock record of a status reply when every field is in range (the
// year byte is not looked at); dayOfWeek holds the device's weekday 1..7.
std::optional<LocalTime> clockRecordInRange(const ReplyData& reply) {
    const auto [deviceType, second, minute, hour, weekday, day, month, year] = statusReply(reply);
    if (second < 0 || second > 59 || minute < 0 || minute > 59 || hour < 0 || hour > 23 || weekday < 1 ||
        weekday > 7 || day < 1 || day > 31 || month < 1 || month > 12)
        return std::nullopt;
    LocalTime t;
    t.year = 2000 + static_cast<int64_t>(year);
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    t.dayOfWeek = weekday;
    return t;
}

// Days from 1 January 1970 to the date (proleptic Gregorian calendar).
int64_t daysFromCivil(int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int64_t secondsOf(const LocalTime& t) {
    return daysFromCivil(t.year, t.month, t.day) * 86400 + int64_t{t.hour} * 3600 + int64_t{t.minute} * 60 + t.second;
}

}  // namespace

std::optional<std::string> deviceDateText(const ReplyData& reply) {
    const std::optional<LocalTime> t = clockRecordInRange(reply);
    if (!t) return std::nullopt;
    if (t->day > daysInMonth(t->year, t->month)) return weekdayAbbreviation(t->dayOfWeek) + std::string(kNoDateText);
    return formatClockText(t->dayOfWeek, *t);
}

std::optional<LocalTime> deviceClockTime(const ReplyData& reply) {
    const std::optional<LocalTime> t = clockRecordInRange(reply);
    if (!t || t->day > daysInMonth(t->year, t->month)) return std::nullopt;
    return t;
}

int64_t secondsBetween(const LocalTime& from, const LocalTime& to) { return secondsOf(to) - secondsOf(from); }

int64_t clockDrift(const LocalTime& computerNow, const LocalTime& device, std::chrono::steady_clock::duration replyAge) {
    const auto age = std::chrono::round<std::chrono::seconds>(std::max(replyAge, std::chrono::steady_clock::duration{}));
    return secondsBetween(computerNow, device) + age.count();
}

CommandParams clockRecord(const LocalTime& t) {
    CommandParams p{};
    p[0] = t.second;
    p[1] = t.minute;
    p[2] = t.hour;
    p[3] = weekdayFromSystem(t.dayOfWeek);
    p[4] = t.day;
    p[5] = t.month;
    p[6] = t.year >= 2000 ? t.year - 2000 : 0;
    return p;
}

bool syncDeviceClock(ExchangeEngine& engine, const SerialPort& line, Clock& clock, LogSink& log) {
    if (!line.isOpen()) return false;
    engine.beginOperation();
    // The clock is read only once the line is free, so that no wait for
    // replies owed from before stands between the reading and the frame.
    ExchangeResult r = ExchangeResult::Disconnect;
    if (engine.awaitClearLine()) {
        r = exchangeAttempts([&] {
            const ExchangeResult sent = engine.sendCommand(SetClock, clockRecord(clock.now()));
            if (sent != ExchangeResult::NoReply && sent != ExchangeResult::BadReply) return sent;
            // A late device still takes the frame and sets the time it carries
            // when the frame arrives. A copy sent now would arrive later and set
            // the same, older, time again: the late answer is waited for
            // instead. Only a refusal or no answer at all reads the clock anew.
            const ExchangeResult late = engine.awaitOwedAnswer();
            return late == ExchangeResult::Ok || late == ExchangeResult::Disconnect ? late : sent;
        });
    }
    if (r == ExchangeResult::Ok && !engine.answersConfirmed()) r = ExchangeResult::BadReply;
    log.logLine(r == ExchangeResult::Ok ? " Время синхронизировано" : " Команда не выполнена", LogMode::Stamped);
    return r == ExchangeResult::Ok;
}

}  // namespace zave
