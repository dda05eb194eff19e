// plan and history: what a plan puts on each date, and what apply did.
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/json_report.h"
#include "cli/plan_support.h"
#include "schedule/history_log.h"
#include "schedule/plan_file.h"

namespace zave::cli {

namespace {

constexpr long long kDefaultPlanDays = 14;
constexpr long long kMaxPlanDays = 366;

const char* issueKindName(PlanIssueKind k) {
    switch (k) {
    case PlanIssueKind::DuplicateDevice: return "duplicateDevice";
    case PlanIssueKind::SharedPort: return "sharedPort";
    case PlanIssueKind::UnknownCalendar: return "unknownCalendar";
    case PlanIssueKind::WeekendDate: return "weekendDate";
    case PlanIssueKind::OutsidePeriod: return "outsidePeriod";
    case PlanIssueKind::Overlap: return "overlap";
    case PlanIssueKind::ProgramMissing: return "programMissing";
    case PlanIssueKind::ProgramFaulty: break;
    }
    return "programFaulty";
}

Json ruleJson(const CalendarRule* rule) {
    if (rule == nullptr) return nullptr;
    Json j{{"number", rule->number}};
    if (!rule->name.empty()) j["name"] = rule->name;
    return j;
}

std::string eventText(const HistoryRecord& r) {
    if (r.event == "write") return r.ok ? "записано" : "запись не выполнена";
    if (r.event == "verify") return r.ok ? "проверено: совпадает" : "проверка: не совпадает";
    if (r.event == "clock") return r.ok ? "часы установлены" : "часы не установлены";
    return r.event;
}

}  // namespace

int runPlan(const ParsedArgs& args, CliContext& ctx, Console& console) {
    if (!expectOperands(args, 1, 1, console, "plan", "файл плана")) return kExitUsage;
    const std::optional<CivilDate> from = dateOption(args, "--from", "plan", ctx, console);
    if (!from) return kExitUsage;
    long long days = kDefaultPlanDays;
    if (const std::string* text = args.value("--days")) {
        const std::optional<long long> n = secondsOption(*text, kMaxPlanDays);
        if (!n || *n < 1)
            return usageError(console, "plan", "--days: ожидается число дней 1 … " + std::to_string(kMaxPlanDays) +
                                                   ", указано \"" + *text + "\"");
        days = *n;
    }
    const std::string& path = args.operands[0];
    const std::optional<Plan> plan = loadPlan(path, console);
    if (!plan) return kExitUsage;
    PlanPrograms programs(path);
    const std::vector<PlanIssue> issues = checkPlan(*plan, programs.loader());

    if (args.has("--json")) {
        Json& report = console.report();
        report["plan"] = path;
        report["from"] = formatDate(*from);
        report["days"] = days;
        Json list = Json::array();
        for (const PlanIssue& i : issues)
            list.push_back({{"kind", issueKindName(i.kind)}, {"message", i.text}, {"blocking", i.blocking}});
        report["issues"] = std::move(list);
        Json devices = Json::array();
        for (const PlanDevice& d : plan->devices) {
            Json device{{"name", d.name}, {"port", d.port}, {"calendar", d.calendar}};
            Json dates = Json::array();
            if (const Calendar* c = plan->calendar(d.calendar))
                for (long long n = 0; n < days; ++n) {
                    const DayChoice choice = programForDate(*c, addDays(*from, n));
                    dates.push_back({{"date", formatDate(choice.date)},
                                     {"weekday", weekdayOf(choice.date)},
                                     {"program", choice.program},
                                     {"rule", ruleJson(choice.rule)},
                                     {"ruleText", ruleText(choice.rule)}});
                }
            device["dates"] = std::move(dates);
            devices.push_back(std::move(device));
        }
        report["devices"] = std::move(devices);
        return issues.empty() ? kExitOk : kExitFaults;
    }

    console.line("План: " + path);
    for (const PlanDevice& d : plan->devices) {
        console.line("");
        console.line(d.name + " (" + d.port + "), календарь \"" + d.calendar + "\":");
        const Calendar* c = plan->calendar(d.calendar);
        if (c == nullptr) continue;
        for (long long n = 0; n < days; ++n) {
            const DayChoice choice = programForDate(*c, addDays(*from, n));
            console.line("  " + formatDate(choice.date) + " " + weekdayShort(weekdayOf(choice.date)) + "  " +
                         choice.program + "  — " + ruleText(choice.rule));
        }
    }
    console.line("");
    if (issues.empty()) {
        console.line("Замечаний нет");
        return kExitOk;
    }
    console.line("Замечания: " + std::to_string(issues.size()));
    for (const PlanIssue& i : issues) console.line("  " + i.text);
    return kExitFaults;
}

int runHistory(const ParsedArgs& args, CliContext& ctx, Console& console) {
    if (!expectOperands(args, 1, 1, console, "history", "файл плана или истории")) return kExitUsage;
    const std::string& operand = args.operands[0];
    std::optional<long long> last;
    if (const std::string* text = args.value("--last")) {
        last = secondsOption(*text, 1000000000);
        if (!last) return usageError(console, "history", "--last: ожидается число записей, указано \"" + *text + "\"");
    }
    std::string path = operand;
    const std::string ending = ".jsonl";
    if (operand.size() < ending.size() || operand.compare(operand.size() - ending.size(), ending.size(), ending) != 0) {
        const std::optional<Plan> plan = loadPlan(operand, console);
        if (!plan) return kExitUsage;
        path = planHistoryPath(operand, *plan);
    }
    const HistoryRead read = readHistoryFile(path);
    for (const std::string& e : read.errors) console.warning(path + ": " + e);
    std::vector<const HistoryRecord*> shown;
    const std::string* device = args.value("--device");
    for (const HistoryRecord& r : read.records)
        if (!device || r.device == *device) shown.push_back(&r);
    if (last && shown.size() > static_cast<size_t>(*last))
        shown.erase(shown.begin(), shown.end() - static_cast<std::ptrdiff_t>(*last));

    const int exit = read.errors.empty() ? kExitOk : kExitFaults;
    if (args.has("--json")) {
        Json& report = console.report();
        report["history"] = path;
        Json entries = Json::array();
        for (const HistoryRecord* r : shown) entries.push_back(Json::parse(r->json));
        report["entries"] = std::move(entries);
        return exit;
    }
    if (!read.opened) {
        console.line("Истории нет: " + path);
        return exit;
    }
    for (const HistoryRecord* r : shown) {
        std::string time = r->time;
        if (time.size() > 10 && time[10] == 'T') time[10] = ' ';
        std::string text = time + "  " + (r->device.empty() ? r->port : r->device + " (" + r->port + ")") + "  " +
                           r->command + ": " + eventText(*r);
        if (r->drift)
            text += ", расхождение " + std::string(*r->drift > 0 ? "+" : "") + std::to_string(*r->drift) + " с";
        if (!r->date.empty()) text += ", неделя от " + r->date;
        if (!r->detail.empty()) text += " — " + r->detail;
        console.line(text);
        for (const std::string& c : r->changes) console.line("    " + c);
    }
    console.line("Записей: " + std::to_string(shown.size()));
    return exit;
}

}  // namespace zave::cli
