// The plan file: TOML, edited by hand, read with toml++.
//
//   clock_drift_limit = 60            # seconds (optional)
//   history = "school.history.jsonl"  # optional; beside the plan by default
//
//   [[device]]
//   name = "Корпус А"
//   port = "COM3"                     # COMn, a device path or a port alias
//   calendar = "school"
//
//   [calendar.school]
//   default = "programs/regular.ptm"  # program files relative to the plan
//   from = 2026-09-01                 # the period the calendar is meant for (optional)
//   to = 2027-05-31
//   weekend = [6, 7]                  # optional
//
//   [[calendar.school.rule]]
//   name = "Зимние каникулы"          # optional
//   from = 2026-12-28                 # a range ...
//   to = 2027-01-10
//   date = 2026-12-25                 # ... or one date ...
//   weekday = "суббота"               # ... or a weekday (within from/to when given)
//   program = "programs/holiday.ptm"
//   priority = 1                      # optional, 0 by default
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "schedule/plan.h"

namespace zave {

struct PlanReadResult {
    std::optional<Plan> plan;         // nothing when errors is not empty
    std::vector<std::string> errors;  // "school.toml:12: ..." (Russian)
};

// Plan files larger than this are refused unread.
inline constexpr size_t kPlanFileLimit = 1u << 20;

PlanReadResult parsePlan(std::string_view text, const std::string& sourceName);
PlanReadResult readPlanFile(const std::string& path);

// A program file or the history as the plan names it, relative to the
// folder of the plan file unless absolute.
std::string planRelativePath(const std::string& planPath, const std::string& name);
// The plan's history file: its `history`, or the plan's name with the
// ending ".history.jsonl" in place of ".toml".
std::string planHistoryPath(const std::string& planPath, const Plan& plan);

}  // namespace zave
