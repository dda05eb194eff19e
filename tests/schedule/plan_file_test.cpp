// The plan file as read, and the checks that catch what people get wrong.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "schedule/plan_checks.h"
#include "schedule/plan_file.h"

namespace zave {
namespace {

const char* const kGoodPlan = R"(
clock_drift_limit = 30
history = "logs/school.jsonl"

[[device]]
name = "Корпус А"
port = "COM3"
calendar = "school"

[[device]]
name = "Корпус Б"
port = "/dev/ttyUSB0"
calendar = "school"

[calendar.school]
default = "regular.ptm"
from = 2026-09-01
to = 2027-05-31

[[calendar.school.rule]]
name = "Зимние каникулы"
from = 2026-12-28
to = 2027-01-10
program = "holiday.ptm"

[[calendar.school.rule]]
date = "2026-12-25"
program = "short.ptm"

[[calendar.school.rule]]
weekday = "сб"
from = 2026-09-01
to = 2026-10-31
program = "saturday.ptm"
priority = 2
)";

TEST(PlanFile, ReadsEveryField) {
    const PlanReadResult r = parsePlan(kGoodPlan, "school.toml");
    ASSERT_TRUE(r.errors.empty()) << r.errors.front();
    const Plan& p = *r.plan;
    EXPECT_EQ(p.clockDriftLimit, 30);
    EXPECT_EQ(p.history, "logs/school.jsonl");
    ASSERT_EQ(p.devices.size(), 2u);
    EXPECT_EQ(p.devices[1].name, "Корпус Б");
    EXPECT_EQ(p.devices[1].port, "/dev/ttyUSB0");
    EXPECT_EQ(p.devices[1].line, 10);
    const Calendar* c = p.calendar("school");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->defaultProgram, "regular.ptm");
    EXPECT_EQ(c->from, (CivilDate{2026, 9, 1}));
    ASSERT_EQ(c->rules.size(), 3u);
    EXPECT_EQ(c->rules[0].kind, RuleKind::Range);
    EXPECT_EQ(c->rules[0].name, "Зимние каникулы");
    EXPECT_EQ(c->rules[0].to, (CivilDate{2027, 1, 10}));
    EXPECT_EQ(c->rules[1].kind, RuleKind::Date);
    EXPECT_EQ(c->rules[1].from, (CivilDate{2026, 12, 25}));
    EXPECT_EQ(c->rules[1].number, 2);
    EXPECT_EQ(c->rules[2].kind, RuleKind::Weekday);
    EXPECT_EQ(c->rules[2].weekday, 6);
    EXPECT_EQ(c->rules[2].priority, 2);
}

TEST(PlanFile, MistakesInTheFileAreRefusedWithTheirLine) {
    const std::string device = "[[device]]\nname = \"A\"\nport = \"COM1\"\ncalendar = \"c\"\n";
    const std::string calendar = "[calendar.c]\ndefault = \"r.ptm\"\n";
    struct Row { const char* what; std::string text; std::string message; };
    const Row rows[] = {
        {"TOML syntax", device + "name = ", "p.toml:5: "},
        {"no device", calendar, "p.toml: в плане нет ни одного [[device]]"},
        {"typo in a key", device + calendar + "[[calendar.c.rule]]\ndate = 2026-12-25\nprogramm = \"x.ptm\"\n",
         "p.toml:9: календарь \"c\", правило 1: неизвестный ключ \"programm\""},
        {"no program", device + calendar + "[[calendar.c.rule]]\ndate = 2026-12-25\n",
         "календарь \"c\", правило 1: не указан ключ \"program\""},
        {"30 February as text", device + calendar + "[[calendar.c.rule]]\ndate = \"2027-02-30\"\nprogram = \"x\"\n",
         "p.toml:8: календарь \"c\", правило 1: \"date\" — ожидается дата ГГГГ-ММ-ДД"},
        {"range backwards",
         device + calendar + "[[calendar.c.rule]]\nfrom = 2027-01-10\nto = 2026-12-28\nprogram = \"x\"\n",
         "правило 1: начало 2027-01-10 позже конца 2026-12-28"},
        {"range with one end", device + calendar + "[[calendar.c.rule]]\nfrom = 2027-01-10\nprogram = \"x\"\n",
         "укажите \"date\", \"from\" и \"to\" или \"weekday\""},
        {"date with a range",
         device + calendar + "[[calendar.c.rule]]\ndate = 2027-01-10\nto = 2027-01-12\nprogram = \"x\"\n",
         "\"date\" не сочетается с \"from\", \"to\" и \"weekday\""},
        {"weekday 8", device + calendar + "[[calendar.c.rule]]\nweekday = 8\nprogram = \"x\"\n",
         "ожидается день недели"},
        {"device without port", "[[device]]\nname = \"A\"\ncalendar = \"c\"\n" + calendar,
         "p.toml:1: устройство 1: не указан ключ \"port\""},
        {"drift limit as text", "clock_drift_limit = \"60\"\n" + device + calendar,
         "p.toml:1: \"clock_drift_limit\" — ожидается число секунд 0 … 86400"},
        {"calendar without default", device + "[calendar.c]\nfrom = 2026-09-01\n",
         "календарь \"c\": не указан ключ \"default\""},
    };
    for (const Row& r : rows) {
        const PlanReadResult read = parsePlan(r.text, "p.toml");
        EXPECT_FALSE(read.plan.has_value()) << r.what;
        bool found = false;
        for (const std::string& e : read.errors) found = found || e.find(r.message) != std::string::npos;
        EXPECT_TRUE(found) << r.what << ": " << (read.errors.empty() ? std::string("no error") : read.errors.front());
    }
}

TEST(PlanFile, PathsBesideThePlan) {
    Plan p;
    EXPECT_EQ(planHistoryPath("/etc/zave/school.toml", p), "/etc/zave/school.history.jsonl");
    EXPECT_EQ(planHistoryPath("plan", p), "plan.history.jsonl");
    p.history = "/var/lib/zave/a.jsonl";
    EXPECT_EQ(planHistoryPath("/etc/zave/school.toml", p), "/var/lib/zave/a.jsonl");
    EXPECT_EQ(planRelativePath("school.toml", "a.ptm"), "a.ptm");
    // A path from the root stays as written, on Windows too (no drive letter).
    EXPECT_EQ(planRelativePath("plans/school.toml", "/srv/bells/a.ptm"), "/srv/bells/a.ptm");
#ifndef _WIN32
    EXPECT_EQ(planRelativePath("/etc/zave/school.toml", "programs/a.ptm"), "/etc/zave/programs/a.ptm");
#else
    EXPECT_EQ(planRelativePath("C:\\zave\\school.toml", "programs\\a.ptm"), "C:\\zave\\programs\\a.ptm");
    EXPECT_EQ(planRelativePath("C:\\zave\\school.toml", "D:\\a.ptm"), "D:\\a.ptm");
#endif
}

// Loads programs from a table: a name absent is missing, "thursday-twice"
// has two enabled slots at 08:00 on Thursday.
ProgramLoad fakeLoad(const std::string& name) {
    ProgramLoad l;
    if (name == "missing.ptm") return l;
    l.status = DocumentReadStatus::Ok;
    if (name == "thursday-twice.ptm") {
        l.doc.slot(4, 2) = TimeSlot{1, 8, 0, 50};
        l.doc.slot(4, 5) = TimeSlot{1, 8, 0, 60};
    }
    if (name == "bad-format.ptm") l.status = DocumentReadStatus::BadFormat;
    return l;
}

TEST(PlanChecks, EachMistakeGivesItsMessage) {
    const std::string head = "[[device]]\nname = \"A\"\nport = \"COM1\"\ncalendar = \"c\"\n"
                             "[calendar.c]\ndefault = \"r.ptm\"\nfrom = 2026-09-01\nto = 2027-05-31\n";
    auto rule = [](const std::string& body) { return "[[calendar.c.rule]]\n" + body + "\n"; };
    struct Row {
        const char* what;
        std::string text;
        PlanIssueKind kind;
        std::string message;
        bool blocking;
    };
    const Row rows[] = {
        {"late start on a Saturday", head + rule("date = 2026-11-07\nprogram = \"s.ptm\""), PlanIssueKind::WeekendDate,
         "календарь \"c\", правило 1: 2026-11-07: дата приходится на субботу, выходной день", false},
        {"exam on a Sunday", head + rule("date = 2027-05-23\nprogram = \"s.ptm\""), PlanIssueKind::WeekendDate,
         "правило 1: 2027-05-23: дата приходится на воскресенье, выходной день", false},
        {"wrong year", head + rule("date = 2025-12-25\nprogram = \"s.ptm\""), PlanIssueKind::OutsidePeriod,
         "правило 1: 2025-12-25: выходит за период календаря 2026-09-01 … 2027-05-31", false},
        {"range running past the period", head + rule("from = 2027-05-25\nto = 2027-06-05\nprogram = \"s.ptm\""),
         PlanIssueKind::OutsidePeriod, "правило 1: 2027-05-25 … 2027-06-05: выходит за период календаря", false},
        {"ranges crossing at one priority",
         head + rule("from = 2026-12-20\nto = 2026-12-31\nprogram = \"a.ptm\"") +
             rule("from = 2026-12-28\nto = 2027-01-10\nprogram = \"b.ptm\""),
         PlanIssueKind::Overlap,
         "календарь \"c\": правила 1 и 2 с одинаковым приоритетом 0 перекрываются (2026-12-28 … 2026-12-31); "
         "действует правило 2",
         false},
        {"one date given twice", head + rule("date = 2026-12-25\nprogram = \"a.ptm\"") +
                                     rule("date = 2026-12-25\nprogram = \"b.ptm\""),
         PlanIssueKind::Overlap, "правила 1 и 2 с одинаковым приоритетом 0 перекрываются (2026-12-25)", false},
        {"same weekday rules crossing",
         head + rule("weekday = 6\nfrom = 2026-09-01\nto = 2026-12-31\nprogram = \"a.ptm\"") +
             rule("weekday = \"Суббота\"\nfrom = 2026-11-01\nto = 2027-02-28\nprogram = \"b.ptm\""),
         PlanIssueKind::Overlap, "правила 1 и 2 с одинаковым приоритетом 0 перекрываются (2026-11-01 … 2026-12-31)",
         false},
        {"missing program", head + rule("date = 2026-12-24\nprogram = \"missing.ptm\""), PlanIssueKind::ProgramMissing,
         "программа missing.ptm: При чтении произошла ошибка. Файл открыть не удалось.", false},
        {"not a program file", head + rule("date = 2026-12-24\nprogram = \"bad-format.ptm\""),
         PlanIssueKind::ProgramMissing, "программа bad-format.ptm: Формат файла не поддерживается", false},
        {"faulty program (Thursday)", head + rule("date = 2026-12-24\nprogram = \"thursday-twice.ptm\""),
         PlanIssueKind::ProgramFaulty,
         "программа thursday-twice.ptm: Четверг, слоты 2, 5: Задано несколько, одинаковых, временных интервалов",
         false},
        {"device named twice", head + "[[device]]\nname = \"A\"\nport = \"COM2\"\ncalendar = \"c\"\n",
         PlanIssueKind::DuplicateDevice, "устройство \"A\" названо в плане дважды", true},
        {"two devices on one port", head + "[[device]]\nname = \"B\"\nport = \"COM1\"\ncalendar = \"c\"\n",
         PlanIssueKind::SharedPort, "порт COM1 указан у нескольких устройств", false},
        {"unknown calendar", head + "[[device]]\nname = \"B\"\nport = \"COM2\"\ncalendar = \"shcool\"\n",
         PlanIssueKind::UnknownCalendar, "устройство \"B\": календаря \"shcool\" в плане нет", true},
    };
    for (const Row& r : rows) {
        const PlanReadResult read = parsePlan(r.text, "p.toml");
        ASSERT_TRUE(read.plan) << r.what << ": " << read.errors.front();
        const std::vector<PlanIssue> issues = checkPlan(*read.plan, fakeLoad);
        ASSERT_EQ(issues.size(), 1u) << r.what << (issues.empty() ? "" : ": " + issues.front().text);
        EXPECT_EQ(issues[0].kind, r.kind) << r.what;
        EXPECT_NE(issues[0].text.find(r.message), std::string::npos) << r.what << ": " << issues[0].text;
        EXPECT_EQ(issues[0].blocking, r.blocking) << r.what;
    }
}

TEST(PlanChecks, NestedAndPrioritisedRangesAreFine) {
    const std::string text = R"(
[[device]]
name = "A"
port = "COM1"
calendar = "c"
[calendar.c]
default = "r.ptm"
[[calendar.c.rule]]
from = 2026-09-01
to = 2026-12-31
program = "winter.ptm"
[[calendar.c.rule]]
from = 2026-12-28
to = 2027-01-10
program = "holiday.ptm"
priority = 1
[[calendar.c.rule]]
from = 2026-11-02
to = 2026-11-08
program = "holiday.ptm"
[[calendar.c.rule]]
date = 2026-12-29
program = "short.ptm"
)";
    const PlanReadResult read = parsePlan(text, "p.toml");
    ASSERT_TRUE(read.plan);
    const std::vector<PlanIssue> issues = checkPlan(*read.plan, fakeLoad);
    EXPECT_TRUE(issues.empty()) << issues.front().text;
}

}  // namespace
}  // namespace zave
