#include "schedule/plan_checks.h"

#include <algorithm>
#include <map>

#include "schedule/calendar.h"
#include "schedule/file_messages.h"
#include "schedule/validation.h"

namespace zave {

namespace {

std::string oneLine(std::string_view text) {
    std::string out;
    for (char c : text) out += (c == '\n' || c == '\r') ? ' ' : c;
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string lowerDayName(int weekday) {
    static constexpr std::string_view kNames[] = {"понедельник", "вторник", "среду", "четверг",
                                                  "пятницу",     "субботу", "воскресенье"};
    return std::string(kNames[weekday - 1]);
}

std::string ruleWhere(const Calendar& c, const CalendarRule& rule) {
    return "календарь \"" + c.name + "\", " + ruleText(&rule);
}

std::string faultText(const DayPlan& day, const DayFault& fault) {
    std::string slots = fault.slots.size() == 1 ? "слот " : "слоты ";
    for (size_t i = 0; i < fault.slots.size(); ++i) slots += (i ? ", " : "") + std::to_string(fault.slots[i]);
    (void)day;
    return slots + ": " + std::string(dayCheckMessage(fault.kind));
}

// Two rules of one kind and priority that share a date, where neither lies
// strictly inside the other: which one holds depends only on their order.
bool ambiguousOverlap(const CalendarRule& a, const CalendarRule& b) {
    if (a.priority != b.priority || a.kind != b.kind) return false;
    if (a.kind == RuleKind::Weekday && a.weekday != b.weekday) return false;
    auto lo = [](const CalendarRule& r) { return r.from ? dayNumber(*r.from) : INT64_MIN; };
    auto hi = [](const CalendarRule& r) { return r.to ? dayNumber(*r.to) : INT64_MAX; };
    if (lo(a) > hi(b) || lo(b) > hi(a)) return false;
    const bool aInB = lo(a) >= lo(b) && hi(a) <= hi(b);
    const bool bInA = lo(b) >= lo(a) && hi(b) <= hi(a);
    const bool equal = aInB && bInA;
    return equal || (!aInB && !bInA);
}

std::string sharedSpan(const CalendarRule& a, const CalendarRule& b) {
    const std::optional<CivilDate> from = !a.from ? b.from : !b.from ? a.from : std::max(*a.from, *b.from);
    const std::optional<CivilDate> to = !a.to ? b.to : !b.to ? a.to : std::min(*a.to, *b.to);
    if (from && to && *from == *to) return formatDate(*from);
    return (from ? formatDate(*from) : std::string("…")) + " … " + (to ? formatDate(*to) : std::string("…"));
}

void checkCalendar(const Calendar& c, std::vector<PlanIssue>& issues) {
    for (const CalendarRule& rule : c.rules) {
        if (rule.kind == RuleKind::Date) {
            const int wd = weekdayOf(*rule.from);
            if (std::find(c.weekend.begin(), c.weekend.end(), wd) != c.weekend.end())
                issues.push_back({PlanIssueKind::WeekendDate,
                                  ruleWhere(c, rule) + ": дата приходится на " + lowerDayName(wd) + ", выходной день",
                                  {}, {c.name}});
        }
        const bool before = c.from && (!rule.from || *rule.from < *c.from);
        const bool after = c.to && (!rule.to || *rule.to > *c.to);
        if ((before || after) && !(rule.kind == RuleKind::Weekday && !rule.from && !rule.to))
            issues.push_back({PlanIssueKind::OutsidePeriod,
                              ruleWhere(c, rule) + ": выходит за период календаря " +
                                  (c.from ? formatDate(*c.from) : std::string("…")) + " … " +
                                  (c.to ? formatDate(*c.to) : std::string("…")),
                              {}, {c.name}});
    }
    for (size_t i = 0; i < c.rules.size(); ++i)
        for (size_t j = i + 1; j < c.rules.size(); ++j)
            if (ambiguousOverlap(c.rules[i], c.rules[j]))
                issues.push_back({PlanIssueKind::Overlap,
                                  "календарь \"" + c.name + "\": правила " + std::to_string(c.rules[i].number) +
                                      " и " + std::to_string(c.rules[j].number) + " с одинаковым приоритетом " +
                                      std::to_string(c.rules[i].priority) + " перекрываются (" +
                                      sharedSpan(c.rules[i], c.rules[j]) + "); действует правило " +
                                      std::to_string(c.rules[j].number),
                                  {}, {c.name}});
}

}  // namespace

std::vector<PlanIssue> checkPlan(const Plan& plan, const ProgramLoader& load) {
    std::vector<PlanIssue> issues;
    std::map<std::string, int> names, ports;
    for (const PlanDevice& d : plan.devices) {
        if (++names[d.name] == 2)
            issues.push_back({PlanIssueKind::DuplicateDevice, "устройство \"" + d.name + "\" названо в плане дважды",
                              d.name, {}, true});
        if (++ports[d.port] == 2)
            issues.push_back(
                {PlanIssueKind::SharedPort, "порт " + d.port + " указан у нескольких устройств", d.name, {}});
        if (plan.calendar(d.calendar) == nullptr)
            issues.push_back({PlanIssueKind::UnknownCalendar,
                              "устройство \"" + d.name + "\": календаря \"" + d.calendar + "\" в плане нет", d.name,
                              {}, true});
    }
    for (const Calendar& c : plan.calendars) checkCalendar(c, issues);

    // Programs: each file once, with every calendar that names it.
    std::vector<std::pair<std::string, std::vector<std::string>>> programs;
    for (const Calendar& c : plan.calendars)
        for (const std::string& p : calendarPrograms(c)) {
            auto it = std::find_if(programs.begin(), programs.end(), [&](const auto& e) { return e.first == p; });
            if (it == programs.end()) programs.push_back({p, {c.name}});
            else it->second.push_back(c.name);
        }
    for (const auto& [program, calendars] : programs) {
        const ProgramLoad loaded = load(program);
        if (loaded.status != DocumentReadStatus::Ok) {
            issues.push_back({PlanIssueKind::ProgramMissing,
                              "программа " + program + ": " + oneLine(documentReadMessage(loaded.status)), {},
                              calendars});
            continue;
        }
        for (const DocumentFault& f : documentFaults(loaded.doc))
            issues.push_back({PlanIssueKind::ProgramFaulty,
                              "программа " + program + ": " + std::string(kDayNames[static_cast<size_t>(f.day - 1)]) +
                                  ", " + faultText(loaded.doc.day(f.day), f.fault),
                              {}, calendars});
    }
    return issues;
}

bool blocksDevice(const PlanIssue& issue, const PlanDevice& device) {
    if (!issue.blocking) return false;
    return issue.device == device.name;
}

}  // namespace zave
