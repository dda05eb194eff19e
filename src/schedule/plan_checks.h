// What people get wrong in a plan: a dated rule on a weekend or outside the
// calendar's period, ranges that overlap with the same priority, a program
// file that is missing or has faults (the window's day checks, on every
// day), a device named twice.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "schedule/plan.h"
#include "schedule/ptm_codec.h"

namespace zave {

enum class PlanIssueKind {
    DuplicateDevice,  // blocks the devices of that name
    SharedPort,       // two devices on one port
    UnknownCalendar,  // blocks the device
    WeekendDate,
    OutsidePeriod,
    Overlap,
    // A program that is missing or has faults stops apply only for a week
    // that needs it (see composeWeek's missing and the week's own faults).
    ProgramMissing,
    ProgramFaulty,
};

struct PlanIssue {
    PlanIssueKind kind;
    std::string text;             // Russian, one line
    std::string device;           // the device concerned, if any
    std::vector<std::string> calendars;  // the calendars concerned, if any
    bool blocking = false;        // apply refuses the device named
};

struct ProgramLoad {
    DocumentReadStatus status = DocumentReadStatus::OpenFailed;
    ScheduleDocument doc;
};
// Reads a program file named in the plan.
using ProgramLoader = std::function<ProgramLoad(const std::string& program)>;

// Every issue, in the order devices, calendars (rules by rule), programs.
std::vector<PlanIssue> checkPlan(const Plan& plan, const ProgramLoader& load);

// Whether an issue keeps apply away from the device.
bool blocksDevice(const PlanIssue& issue, const PlanDevice& device);

}  // namespace zave
