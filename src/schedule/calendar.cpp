#include "schedule/calendar.h"

#include <algorithm>
#include <limits>

namespace zave {

namespace {

int kindRank(RuleKind kind) {
    switch (kind) {
    case RuleKind::Date: return 2;
    case RuleKind::Weekday: return 1;
    case RuleKind::Range: break;
    }
    return 0;
}

}  // namespace

bool ruleCovers(const CalendarRule& rule, const CivilDate& date) {
    if (rule.from && date < *rule.from) return false;
    if (rule.to && date > *rule.to) return false;
    if (rule.kind == RuleKind::Weekday) return weekdayOf(date) == rule.weekday;
    return rule.from && rule.to;
}

int64_t ruleSpanDays(const CalendarRule& rule) {
    if (!rule.from || !rule.to) return std::numeric_limits<int64_t>::max();
    return dayNumber(*rule.to) - dayNumber(*rule.from) + 1;
}

bool ruleBeats(const CalendarRule& a, const CalendarRule& b) {
    if (a.priority != b.priority) return a.priority > b.priority;
    if (kindRank(a.kind) != kindRank(b.kind)) return kindRank(a.kind) > kindRank(b.kind);
    if (ruleSpanDays(a) != ruleSpanDays(b)) return ruleSpanDays(a) < ruleSpanDays(b);
    return a.number > b.number;
}

DayChoice programForDate(const Calendar& calendar, const CivilDate& date) {
    DayChoice choice{date, calendar.defaultProgram, nullptr};
    for (const CalendarRule& rule : calendar.rules) {
        if (!ruleCovers(rule, date)) continue;
        if (choice.rule == nullptr || ruleBeats(rule, *choice.rule)) {
            choice.rule = &rule;
            choice.program = rule.program;
        }
    }
    return choice;
}

std::string ruleText(const CalendarRule* rule) {
    if (rule == nullptr) return "по умолчанию";
    std::string text = "правило " + std::to_string(rule->number);
    if (!rule->name.empty()) text += " «" + rule->name + "»";
    text += ": ";
    if (rule->kind == RuleKind::Weekday) {
        text += std::string(kDayNames.at(static_cast<size_t>(rule->weekday - 1)));
        if (rule->from || rule->to) text += ", ";
    }
    if (rule->kind == RuleKind::Date) {
        text += formatDate(*rule->from);
    } else if (rule->from || rule->to) {
        text += (rule->from ? formatDate(*rule->from) : std::string("…")) + " … " +
                (rule->to ? formatDate(*rule->to) : std::string("…"));
    }
    return text;
}

std::vector<std::string> calendarPrograms(const Calendar& calendar) {
    std::vector<std::string> programs{calendar.defaultProgram};
    for (const CalendarRule& rule : calendar.rules)
        if (std::find(programs.begin(), programs.end(), rule.program) == programs.end())
            programs.push_back(rule.program);
    return programs;
}

ComposedWeek composeWeek(const Calendar& calendar, const CivilDate& today, const ProgramLookup& lookup) {
    ComposedWeek week;
    resetDocument(week.doc);
    auto program = [&](const std::string& name) -> const ScheduleDocument* {
        const ScheduleDocument* doc = lookup(name);
        if (doc == nullptr && std::find(week.missing.begin(), week.missing.end(), name) == week.missing.end())
            week.missing.push_back(name);
        return doc;
    };
    const int todayWeekday = weekdayOf(today);
    for (int weekday = 1; weekday <= kDayCount; ++weekday) {
        const int ahead = (weekday - todayWeekday + kDayCount) % kDayCount;
        const DayChoice choice = programForDate(calendar, addDays(today, ahead));
        week.days[static_cast<size_t>(weekday - 1)] = choice;
        if (const ScheduleDocument* doc = program(choice.program)) week.doc.day(weekday) = doc->day(weekday);
    }
    week.settings = week.days[static_cast<size_t>(todayWeekday - 1)];
    if (const ScheduleDocument* doc = program(week.settings.program)) {
        week.doc.soundType = doc->soundType;
        week.doc.pulseSwitchTime = doc->pulseSwitchTime;
        week.doc.soundDisabled = doc->soundDisabled;
    }
    week.doc.currentDay = todayWeekday;
    return week;
}

}  // namespace zave
