// --history FILE of write and sync-clock: what they changed on a device,
// appended to a history file as apply does for a plan.
#pragma once

#include "cli/args.h"
#include "cli/console.h"
#include "cli/context.h"
#include "schedule/history_log.h"

namespace zave::cli {

// Appends the entry (time and command filled in) when --history was given.
// False, with a warning, when the file could not be added to.
bool recordHistory(const ParsedArgs& args, CliContext& ctx, Console& console, std::string_view command,
                   HistoryEntry entry);

// The computer's local time as a history entry shows it: "2026-12-09T00:05:12".
std::string historyTime(const LocalTime& t);

}  // namespace zave::cli
