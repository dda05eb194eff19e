// What plan, apply and history share: reading the plan, its program files
// (each read once), today's date and the date options.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "cli/args.h"
#include "cli/console.h"
#include "cli/context.h"
#include "schedule/calendar.h"
#include "schedule/plan.h"
#include "schedule/plan_checks.h"

namespace zave::cli {

// Reads the plan; its errors are printed as warnings.
std::optional<Plan> loadPlan(const std::string& path, Console& console);

// The plan's program files, read from beside the plan on first use.
class PlanPrograms {
public:
    explicit PlanPrograms(std::string planPath) : planPath_(std::move(planPath)) {}
    const ProgramLoad& load(const std::string& program);
    ProgramLoader loader();
    ProgramLookup lookup();  // nullptr for a program that is missing or not a program file

private:
    std::string planPath_;
    std::map<std::string, ProgramLoad> loaded_;
};

// The computer's local date.
CivilDate todayOf(Clock& clock);

// The value of a date option ("--date", "--from"), or today; nothing
// (usage error printed) when it is no date.
std::optional<CivilDate> dateOption(const ParsedArgs& args, std::string_view option, std::string_view command,
                                    CliContext& ctx, Console& console);

// "Ср" for 3.
std::string weekdayShort(int weekday);


}  // namespace zave::cli
