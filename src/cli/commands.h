// The subcommands of zavectl.
#pragma once

#include <string_view>
#include <vector>

#include "cli/args.h"
#include "cli/console.h"
#include "cli/context.h"

namespace zave::cli {

using CommandRun = int (*)(const ParsedArgs& args, CliContext& ctx, Console& console);

struct Command {
    std::string_view name;
    std::vector<OptionDef> options;
    CommandRun run;
};

// Every subcommand with its options, in the order of the help text.
const std::vector<Command>& commands();

// Prints the message and where the help is; returns kExitUsage.
int usageError(Console& console, std::string_view command, std::string_view message);
// Checks the number of operands; false after printing a usage error.
bool expectOperands(const ParsedArgs& args, size_t min, size_t max, Console& console, std::string_view command,
                    std::string_view what);

int runShow(const ParsedArgs& args, CliContext& ctx, Console& console);
int runCheck(const ParsedArgs& args, CliContext& ctx, Console& console);
int runDiff(const ParsedArgs& args, CliContext& ctx, Console& console);
int runPorts(const ParsedArgs& args, CliContext& ctx, Console& console);
int runStatus(const ParsedArgs& args, CliContext& ctx, Console& console);
int runSyncClock(const ParsedArgs& args, CliContext& ctx, Console& console);
int runWrite(const ParsedArgs& args, CliContext& ctx, Console& console);
int runRead(const ParsedArgs& args, CliContext& ctx, Console& console);
int runVerify(const ParsedArgs& args, CliContext& ctx, Console& console);
// Plans: cmd_plan.cpp and cmd_apply.cpp.
int runPlan(const ParsedArgs& args, CliContext& ctx, Console& console);
int runApply(const ParsedArgs& args, CliContext& ctx, Console& console);
int runHistory(const ParsedArgs& args, CliContext& ctx, Console& console);

}  // namespace zave::cli
