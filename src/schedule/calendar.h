// Which program a calendar puts on a date, and the week a device holds.
//
// Among the rules that cover a date the winner is, in this order: the one
// with the higher priority; the more specific kind (a date before a weekday
// rule before a range); the shorter span (a week of holidays inside a term);
// the later one in the plan. No rule: the calendar's default.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "schedule/document.h"
#include "schedule/plan.h"

namespace zave {

bool ruleCovers(const CalendarRule& rule, const CivilDate& date);
// Days the rule's span covers (a weekday rule without bounds: unbounded).
int64_t ruleSpanDays(const CalendarRule& rule);
// True when a beats b where both cover a date.
bool ruleBeats(const CalendarRule& a, const CalendarRule& b);

struct DayChoice {
    CivilDate date;
    std::string program;
    const CalendarRule* rule = nullptr;  // nullptr: the calendar's default
};

DayChoice programForDate(const Calendar& calendar, const CivilDate& date);

// "по умолчанию" or "правило 3 «Каникулы»: 2026-12-28 … 2027-01-10".
std::string ruleText(const CalendarRule* rule);

// The program files a calendar names (default first), each once.
std::vector<std::string> calendarPrograms(const Calendar& calendar);

// The program behind a name in the plan; nullptr when it could not be had.
using ProgramLookup = std::function<const ScheduleDocument*(const std::string& program)>;

struct ComposedWeek {
    ScheduleDocument doc;
    std::array<DayChoice, kDayCount> days;  // index weekday - 1: the date each day of the week comes from
    DayChoice settings;                      // today's: the sound settings come from it
    std::vector<std::string> missing;        // programs the lookup did not give; doc is then incomplete
};

// For each weekday the slots of the program that the calendar puts on that
// weekday's next date, today included; the sound settings from today's
// program; the day shown is today's weekday.
ComposedWeek composeWeek(const Calendar& calendar, const CivilDate& today, const ProgramLookup& lookup);

}  // namespace zave
