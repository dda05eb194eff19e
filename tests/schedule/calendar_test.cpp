// Which program a calendar puts on a date, and the week composed from the
// next seven dates.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "schedule/calendar.h"

namespace zave {
namespace {

CivilDate D(int y, int m, int d) { return {y, m, d}; }

CalendarRule dateRule(CivilDate d, std::string program, int number) {
    CalendarRule r;
    r.kind = RuleKind::Date;
    r.from = r.to = d;
    r.program = std::move(program);
    r.number = number;
    return r;
}

CalendarRule rangeRule(CivilDate from, CivilDate to, std::string program, int number, int priority = 0) {
    CalendarRule r;
    r.kind = RuleKind::Range;
    r.from = from;
    r.to = to;
    r.program = std::move(program);
    r.number = number;
    r.priority = priority;
    return r;
}

CalendarRule weekdayRule(int weekday, std::optional<CivilDate> from, std::optional<CivilDate> to,
                         std::string program, int number) {
    CalendarRule r;
    r.kind = RuleKind::Weekday;
    r.weekday = weekday;
    r.from = from;
    r.to = to;
    r.program = std::move(program);
    r.number = number;
    return r;
}

Calendar calendarOf(std::vector<CalendarRule> rules) {
    Calendar c;
    c.name = "school";
    c.defaultProgram = "regular";
    c.rules = std::move(rules);
    return c;
}

TEST(CivilDates, Table) {
    struct Row { const char* text; bool valid; int weekday; };
    const Row rows[] = {
        {"2026-12-07", true, 1},   // a Monday
        {"2026-12-13", true, 7},
        {"2028-02-29", true, 2},   // leap day, a Tuesday
        {"2027-02-29", false, 0},  // no leap year
        {"2100-02-29", false, 0},  // century, not a leap year
        {"2000-02-29", true, 2},
        {"2026-13-01", false, 0},
        {"2026-04-31", false, 0},
        {"2026-4-01", false, 0},
        {"26-04-01xx", false, 0},
        {"", false, 0},
    };
    for (const Row& r : rows) {
        const std::optional<CivilDate> d = parseDate(r.text);
        EXPECT_EQ(d.has_value(), r.valid) << r.text;
        if (d) {
            EXPECT_EQ(weekdayOf(*d), r.weekday) << r.text;
            EXPECT_EQ(formatDate(*d), r.text);
        }
    }
    EXPECT_EQ(addDays(D(2026, 12, 31), 1), D(2027, 1, 1));
    EXPECT_EQ(addDays(D(2028, 2, 28), 1), D(2028, 2, 29));
    EXPECT_EQ(addDays(D(2028, 3, 1), -1), D(2028, 2, 29));
    EXPECT_EQ(addDays(D(2027, 3, 1), -1), D(2027, 2, 28));
}

TEST(CalendarRules, WhichRuleDecides) {
    struct Row {
        const char* what;
        std::vector<CalendarRule> rules;
        CivilDate date;
        std::string program;
        int rule;  // 0: the default
    };
    const Row rows[] = {
        {"no rule", {}, D(2026, 12, 9), "regular", 0},
        {"range covers", {rangeRule(D(2026, 12, 28), D(2027, 1, 10), "holiday", 1)}, D(2027, 1, 10), "holiday", 1},
        {"range ends the day before", {rangeRule(D(2026, 12, 28), D(2027, 1, 10), "holiday", 1)}, D(2027, 1, 11),
         "regular", 0},
        {"date inside a range wins, though earlier",
         {dateRule(D(2026, 12, 30), "short", 1), rangeRule(D(2026, 12, 28), D(2027, 1, 10), "holiday", 2)},
         D(2026, 12, 30), "short", 1},
        {"shorter range inside a longer one wins, though earlier",
         {rangeRule(D(2026, 12, 1), D(2026, 12, 5), "exam", 1), rangeRule(D(2026, 9, 1), D(2027, 5, 31), "winter", 2)},
         D(2026, 12, 3), "exam", 1},
        {"higher priority beats a date",
         {rangeRule(D(2026, 12, 1), D(2026, 12, 31), "holiday", 1, 5), dateRule(D(2026, 12, 3), "exam", 2)},
         D(2026, 12, 3), "holiday", 1},
        {"equal ranges: the later wins",
         {rangeRule(D(2026, 12, 1), D(2026, 12, 5), "a", 1), rangeRule(D(2026, 12, 1), D(2026, 12, 5), "b", 2)},
         D(2026, 12, 2), "b", 2},
        {"weekday within its range", {weekdayRule(6, D(2026, 9, 1), D(2026, 12, 31), "saturday", 1)},
         D(2026, 12, 12), "saturday", 1},
        {"weekday, other day", {weekdayRule(6, D(2026, 9, 1), D(2026, 12, 31), "saturday", 1)}, D(2026, 12, 11),
         "regular", 0},
        {"weekday after its range", {weekdayRule(6, D(2026, 9, 1), D(2026, 12, 31), "saturday", 1)},
         D(2027, 1, 2), "regular", 0},
        {"weekday without range, beats a range",
         {weekdayRule(7, std::nullopt, std::nullopt, "sunday", 1), rangeRule(D(2026, 12, 1), D(2026, 12, 31), "x", 2)},
         D(2026, 12, 13), "sunday", 1},
        {"date beats weekday",
         {weekdayRule(1, std::nullopt, std::nullopt, "monday", 1), dateRule(D(2026, 12, 7), "exam", 2)},
         D(2026, 12, 7), "exam", 2},
    };
    for (const Row& r : rows) {
        const Calendar c = calendarOf(r.rules);
        const DayChoice choice = programForDate(c, r.date);
        EXPECT_EQ(choice.program, r.program) << r.what;
        EXPECT_EQ(choice.rule ? choice.rule->number : 0, r.rule) << r.what;
    }
}

TEST(CalendarRules, RuleTexts) {
    CalendarRule holiday = rangeRule(D(2026, 12, 28), D(2027, 1, 10), "holiday", 3);
    holiday.name = "Зимние каникулы";
    EXPECT_EQ(ruleText(&holiday), "правило 3 «Зимние каникулы»: 2026-12-28 … 2027-01-10");
    const CalendarRule exam = dateRule(D(2027, 5, 25), "exam", 4);
    EXPECT_EQ(ruleText(&exam), "правило 4: 2027-05-25");
    const CalendarRule sat = weekdayRule(6, D(2026, 9, 1), std::nullopt, "s", 5);
    EXPECT_EQ(ruleText(&sat), "правило 5: Суббота, 2026-09-01 … …");
    EXPECT_EQ(ruleText(nullptr), "по умолчанию");
}

// Programs told apart by slot 1 of every day: its hour is the program's
// mark; the signal number too.
struct Programs {
    std::map<std::string, ScheduleDocument> docs;
    Programs() {
        const std::pair<const char*, int> marks[] = {{"regular", 8}, {"holiday", 0}, {"short", 9},
                                                     {"exam", 10},   {"a", 11},      {"b", 12}};
        for (const auto& [name, mark] : marks) {
            ScheduleDocument doc;
            for (int d = 1; d <= kDayCount; ++d) doc.slot(d, 1) = TimeSlot{mark ? 1 : 0, mark, d, 50};
            doc.soundType = mark % 3 + 1;
            doc.pulseSwitchTime = std::to_string(mark + 1);
            docs[name] = doc;
        }
    }
    ProgramLookup lookup() const {
        return [this](const std::string& name) -> const ScheduleDocument* {
            const auto it = docs.find(name);
            return it == docs.end() ? nullptr : &it->second;
        };
    }
    // The program name the composed day came from, by its mark.
    std::string nameOf(const DayPlan& day, int weekday) const {
        for (const auto& [name, doc] : docs)
            if (doc.day(weekday) == day) return name;
        return "?";
    }
};

TEST(WeekComposition, NextSevenDates) {
    using W = std::array<const char*, 7>;  // Monday .. Sunday
    struct Row {
        const char* what;
        std::vector<CalendarRule> rules;
        CivilDate today;
        W week;
    };
    const CivilDate monday = D(2026, 12, 7);
    const Row rows[] = {
        {"no rules", {}, monday, W{"regular", "regular", "regular", "regular", "regular", "regular", "regular"}},
        {"holiday on Monday (today)", {dateRule(D(2026, 12, 7), "holiday", 1)}, monday,
         W{"holiday", "regular", "regular", "regular", "regular", "regular", "regular"}},
        {"holiday on Tuesday", {dateRule(D(2026, 12, 8), "holiday", 1)}, monday,
         W{"regular", "holiday", "regular", "regular", "regular", "regular", "regular"}},
        {"holiday on Wednesday", {dateRule(D(2026, 12, 9), "holiday", 1)}, monday,
         W{"regular", "regular", "holiday", "regular", "regular", "regular", "regular"}},
        {"holiday on Thursday", {dateRule(D(2026, 12, 10), "holiday", 1)}, monday,
         W{"regular", "regular", "regular", "holiday", "regular", "regular", "regular"}},
        {"holiday on Friday", {dateRule(D(2026, 12, 11), "holiday", 1)}, monday,
         W{"regular", "regular", "regular", "regular", "holiday", "regular", "regular"}},
        {"holiday on Saturday", {dateRule(D(2026, 12, 12), "holiday", 1)}, monday,
         W{"regular", "regular", "regular", "regular", "regular", "holiday", "regular"}},
        {"holiday on Sunday", {dateRule(D(2026, 12, 13), "holiday", 1)}, monday,
         W{"regular", "regular", "regular", "regular", "regular", "regular", "holiday"}},
        {"holiday a week ahead is not this Monday", {dateRule(D(2026, 12, 14), "holiday", 1)}, monday,
         W{"regular", "regular", "regular", "regular", "regular", "regular", "regular"}},
        {"holiday yesterday: Sunday is next week's", {dateRule(D(2026, 12, 13), "holiday", 1)}, D(2026, 12, 14),
         W{"regular", "regular", "regular", "regular", "regular", "regular", "regular"}},
        {"range Friday to Tuesday across the weekend, from Thursday",
         {rangeRule(D(2026, 12, 11), D(2026, 12, 15), "holiday", 1)}, D(2026, 12, 10),
         W{"holiday", "holiday", "regular", "regular", "holiday", "holiday", "holiday"}},
        {"year end: a short 31 December, holidays from 1 January",
         {dateRule(D(2026, 12, 31), "short", 1), rangeRule(D(2027, 1, 1), D(2027, 1, 8), "holiday", 2)},
         D(2026, 12, 30), W{"holiday", "holiday", "regular", "short", "holiday", "holiday", "holiday"}},
        {"leap day exam on Tuesday 29 February", {dateRule(D(2028, 2, 29), "exam", 1)}, D(2028, 2, 27),
         W{"regular", "exam", "regular", "regular", "regular", "regular", "regular"}},
        {"range ending 28 February leaves the leap day", {rangeRule(D(2028, 2, 21), D(2028, 2, 28), "holiday", 1)},
         D(2028, 2, 24), W{"holiday", "regular", "regular", "holiday", "holiday", "holiday", "holiday"}},
        // Summer time ends in the night to Sunday 25 October 2026: the week
        // follows local dates, whatever the length of that night.
        {"night of a clock change", {dateRule(D(2026, 10, 25), "exam", 1), dateRule(D(2026, 10, 26), "short", 2)},
         D(2026, 10, 25), W{"short", "regular", "regular", "regular", "regular", "regular", "exam"}},
        {"the day after the clock change", {dateRule(D(2026, 10, 25), "exam", 1)}, D(2026, 10, 26),
         W{"regular", "regular", "regular", "regular", "regular", "regular", "regular"}},
    };
    const Programs programs;
    for (const Row& r : rows) {
        const ComposedWeek week = composeWeek(calendarOf(r.rules), r.today, programs.lookup());
        EXPECT_TRUE(week.missing.empty()) << r.what;
        for (int w = 1; w <= 7; ++w) {
            EXPECT_EQ(programs.nameOf(week.doc.day(w), w), r.week[static_cast<size_t>(w - 1)])
                << r.what << ", weekday " << w;
            EXPECT_EQ(week.days[static_cast<size_t>(w - 1)].program, r.week[static_cast<size_t>(w - 1)]) << r.what;
            EXPECT_GE(week.days[static_cast<size_t>(w - 1)].date, r.today) << r.what;
        }
        EXPECT_EQ(week.doc.currentDay, weekdayOf(r.today)) << r.what;
    }
}

TEST(WeekComposition, SoundSettingsFromTodaysProgram) {
    const Programs programs;
    // Today is a shortened day, the rest of the week regular.
    const ComposedWeek week =
        composeWeek(calendarOf({dateRule(D(2026, 12, 9), "short", 1)}), D(2026, 12, 9), programs.lookup());
    EXPECT_EQ(week.doc.soundType, programs.docs.at("short").soundType);
    EXPECT_EQ(week.doc.pulseSwitchTime, "10");
    EXPECT_EQ(week.settings.date, D(2026, 12, 9));
    // Tomorrow's shortened day does not bring its settings today.
    const ComposedWeek before =
        composeWeek(calendarOf({dateRule(D(2026, 12, 9), "short", 1)}), D(2026, 12, 8), programs.lookup());
    EXPECT_EQ(before.doc.pulseSwitchTime, "9");
    EXPECT_EQ(before.settings.program, "regular");
}

TEST(WeekComposition, MissingProgramIsNamed) {
    const Programs programs;
    const ComposedWeek week = composeWeek(calendarOf({dateRule(D(2026, 12, 10), "gone", 1)}), D(2026, 12, 7),
                                          programs.lookup());
    EXPECT_EQ(week.missing, std::vector<std::string>{"gone"});
    EXPECT_EQ(week.days[3].program, "gone");
}

}  // namespace
}  // namespace zave
