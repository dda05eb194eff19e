// A plan: the devices of a site and the calendars they follow. Each calendar
// puts a program file on every date: its default, or the one of the rule
// that decides the date (calendar.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "schedule/civil_date.h"

namespace zave {

enum class RuleKind { Date, Range, Weekday };

struct CalendarRule {
    RuleKind kind = RuleKind::Date;
    // Date: from == to. Range: both bounds. Weekday: bounds when given,
    // else the rule holds on that weekday of every date.
    std::optional<CivilDate> from;
    std::optional<CivilDate> to;
    int weekday = 0;         // Weekday: 1 = Monday .. 7 = Sunday
    std::string program;     // the program file as the plan names it
    std::string name;        // optional label
    int priority = 0;        // higher wins before anything else
    int number = 0;          // 1-based position among the calendar's rules
    int line = 0;            // line in the plan file, 0 when unknown
};

struct Calendar {
    std::string name;
    std::string defaultProgram;
    // The period the calendar is meant for (a school year); rules reaching
    // outside it are reported.
    std::optional<CivilDate> from;
    std::optional<CivilDate> to;
    std::vector<int> weekend{6, 7};  // days on which a single dated rule is suspicious
    std::vector<CalendarRule> rules;
};

struct PlanDevice {
    std::string name;
    std::string port;      // COMn, a device path or a port alias, as written
    std::string calendar;  // name of a calendar of the plan
    int line = 0;
};

inline constexpr int kDefaultClockDriftLimit = 60;  // seconds

struct Plan {
    std::vector<PlanDevice> devices;
    std::vector<Calendar> calendars;
    int clockDriftLimit = kDefaultClockDriftLimit;  // seconds; beyond it apply sets the clock
    std::string history;                            // as written; empty: beside the plan

    const Calendar* calendar(const std::string& name) const {
        for (const Calendar& c : calendars)
            if (c.name == name) return &c;
        return nullptr;
    }
};

}  // namespace zave
