#include "cli/zavectl.h"

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/help.h"
#include "cli/json_report.h"

namespace zave::cli {

namespace {

// Every command: its report as JSON, or nothing at all on success.
const std::vector<OptionDef> kOutputOptions = {{"--json", false, 'j'}, {"--quiet", false, 'q'}};
const std::vector<OptionDef> kDeviceOptions = {{"--port", true, 'p'}, {"--on-eeprom-error", true, 0}};

std::vector<OptionDef> withOptions(std::vector<OptionDef> own, bool device) {
    own.insert(own.end(), kOutputOptions.begin(), kOutputOptions.end());
    if (device) own.insert(own.end(), kDeviceOptions.begin(), kDeviceOptions.end());
    return own;
}

std::vector<std::string_view> commandNames() {
    std::vector<std::string_view> names;
    for (const Command& c : commands()) names.push_back(c.name);
    names.push_back("help");
    return names;
}

int unknownCommand(Console& console, const std::string& name) {
    if (name.size() > 1 && name[0] == '-')
        return usageError(console, {},
                          "неизвестный параметр " + name + suggestion(name, {"--help", "--version"}));
    return usageError(console, {}, "неизвестная команда " + name + suggestion(name, commandNames()));
}

int printVersion(const std::vector<std::string>& args, CliContext& ctx, Console& console) {
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--json" || args[i] == "-j") {
            console.setMode(OutputMode::Json);
            continue;
        }
        return usageError(console, {}, "лишний операнд: " + args[i]);
    }
    if (console.mode() == OutputMode::Json) {
        console.startReport("version");
        console.finish(kExitOk);
    } else {
        ctx.out << "zavectl " << zavectlVersion() << '\n';
    }
    return kExitOk;
}

}  // namespace

const std::vector<Command>& commands() {
    static const std::vector<Command> list = {
        {"show", withOptions({}, false), runShow},
        {"check", withOptions({}, false), runCheck},
        {"diff", withOptions({}, false), runDiff},
        {"ports", withOptions({}, false), runPorts},
        {"status", withOptions({}, true), runStatus},
        {"sync-clock", withOptions({{"--if-drift", true, 'd'}, {"--history", true, 0}}, true), runSyncClock},
        {"write", withOptions({{"--history", true, 0}}, true), runWrite},
        {"read", withOptions({{"--force", false, 'f'}}, true), runRead},
        {"verify", withOptions({}, true), runVerify},
        // The plan's commands print their own report (or lines) and take
        // no --quiet.
        {"plan", {{"--from", true, 0}, {"--days", true, 0}, {"--json", false, 'j'}}, runPlan},
        {"apply", {{"--date", true, 0}, {"--device", true, 0}, {"--dry-run", false, 0}, {"--json", false, 'j'}}, runApply},
        {"history", {{"--device", true, 0}, {"--last", true, 0}, {"--json", false, 'j'}}, runHistory},
    };
    return list;
}

int usageError(Console& console, std::string_view command, std::string_view message) {
    console.markUsageError();
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
    if (name == "--version" || name == "-V") return printVersion(args, ctx, console);
    if (name == "--help" || name == "-h" || name == "help") {
        if (name == "help" && args.size() > 2) return usageError(console, {}, "лишний операнд: " + args[2]);
        if (name == "help" && args.size() > 1) {
            if (commandHelp(args[1]).empty()) return unknownCommand(console, args[1]);
            ctx.out << commandHelp(args[1]);
            return kExitOk;
        }
        if (name != "help" && args.size() > 1) return usageError(console, {}, "лишний операнд: " + args[1]);
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
        if (parsed->has("--json") && parsed->has("--quiet"))
            return usageError(console, command.name, "--json и --quiet вместе не указываются");
        if (parsed->has("--json")) console.setMode(OutputMode::Json);
        if (parsed->has("--quiet")) console.setMode(OutputMode::Quiet);
        console.startReport(command.name);
        const int exit = command.run(*parsed, ctx, console);
        // A bad call prints no report: there is nothing it could hold.
        if (exit == kExitUsage && console.usageFailed()) return exit;
        console.finish(exit);
        return exit;
    }
    return unknownCommand(console, name);
}

}  // namespace zave::cli
