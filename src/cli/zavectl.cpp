#include "cli/zavectl.h"

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/help.h"

namespace zave::cli {

namespace {

const std::vector<OptionDef> kDeviceOptions = {{"--port", true}, {"--on-eeprom-error", true}};

std::vector<OptionDef> withDeviceOptions(std::vector<OptionDef> own) {
    own.insert(own.end(), kDeviceOptions.begin(), kDeviceOptions.end());
    return own;
}

}  // namespace

const std::vector<Command>& commands() {
    static const std::vector<Command> list = {
        {"show", {{"--json", false}}, runShow},
        {"check", {}, runCheck},
        {"diff", {}, runDiff},
        {"ports", {}, runPorts},
        {"status", withDeviceOptions({}), runStatus},
        {"sync-clock", withDeviceOptions({{"--if-drift", true}, {"--history", true}}), runSyncClock},
        {"write", withDeviceOptions({{"--history", true}}), runWrite},
        {"read", withDeviceOptions({{"--force", false}}), runRead},
        {"verify", withDeviceOptions({}), runVerify},
        {"plan", {{"--from", true}, {"--days", true}, {"--json", false}}, runPlan},
        {"apply", {{"--date", true}, {"--device", true}, {"--dry-run", false}, {"--json", false}}, runApply},
        {"history", {{"--device", true}, {"--last", true}, {"--json", false}}, runHistory},
    };
    return list;
}

int usageError(Console& console, std::string_view command, std::string_view message) {
    console.warning(message);
    console.warning("справка: zavectl " + (command.empty() ? std::string() : std::string(command) + " ") + "--help");
    return kExitUsage;
}

bool expectOperands(const ParsedArgs& args, size_t min, size_t max, Console& console, std::string_view command,
                    std::string_view what) {
    if (args.operands.size() >= min && args.operands.size() <= max) return true;
    usageError(console, command, args.operands.size() < min ? "не указано: " + std::string(what)
                                                            : "лишний операнд: " + args.operands[max]);
    return false;
}

int runZavectl(const std::vector<std::string>& args, CliContext& ctx) {
    Console console(ctx);
    if (args.empty()) return usageError(console, {}, "не указана команда");
    const std::string& name = args.front();
    if (name == "--help" || name == "-h" || name == "help") {
        if (name == "help" && args.size() > 1 && !commandHelp(args[1]).empty()) {
            ctx.out << commandHelp(args[1]);
            return kExitOk;
        }
        ctx.out << mainHelp();
        return kExitOk;
    }
    for (const Command& command : commands()) {
        if (command.name != name) continue;
        std::string error;
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        const std::optional<ParsedArgs> parsed = parseArgs(rest, command.options, error);
        if (!parsed) return usageError(console, command.name, error);
        if (parsed->help) {
            ctx.out << commandHelp(command.name);
            return kExitOk;
        }
        return command.run(*parsed, ctx, console);
    }
    return usageError(console, {}, "неизвестная команда " + name);
}

}  // namespace zave::cli
