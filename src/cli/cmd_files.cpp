// show, check and diff: program files without a device.
#include "cli/commands.h"
#include "cli/documents.h"
#include "cli/exit_codes.h"
#include "cli/json_report.h"
#include "cli/render.h"
#include "schedule/compare.h"
#include "schedule/validation.h"

namespace zave::cli {

int runShow(const ParsedArgs& args, CliContext& ctx, Console& console) {
    if (!expectOperands(args, 1, 1, console, "show", "файл программы")) return kExitUsage;
    const std::optional<ScheduleDocument> doc = loadProgram(args.operands[0], console);
    if (!doc) return kExitUsage;
    if (args.has("--json")) {
        Json report = jsonReport("show");
        report.update(programJson(*doc));
        ctx.out << jsonText(report);
        return kExitOk;
    }
    console.line("Файл: " + args.operands[0]);
    for (const std::string& line : programTable(*doc)) console.line(line);
    return kExitOk;
}

int runCheck(const ParsedArgs& args, CliContext&, Console& console) {
    if (!expectOperands(args, 1, SIZE_MAX, console, "check", "файлы программ")) return kExitUsage;
    const ProgramPaths paths = expandProgramPaths(args.operands, console);
    int exit = paths.emptyFolder ? kExitUsage : kExitOk;
    int checked = 0, faulty = 0, unreadable = 0;
    size_t faultCount = 0;
    for (const std::string& path : paths.files) {
        const std::optional<ScheduleDocument> doc = loadProgram(path, console);
        if (!doc) {
            ++unreadable;
            exit = worseExit(exit, kExitUsage);
            continue;
        }
        ++checked;
        const std::vector<DocumentFault> faults = documentFaults(*doc);
        for (const DocumentFault& f : faults)
            console.line(path + ": " + documentFaultText(*doc, f));
        if (const std::string note = pulseTimeNote(*doc); !note.empty()) console.line(path + ": замечание: " + note);
        if (faults.empty()) {
            console.line(path + ": ошибок нет");
        } else {
            ++faulty;
            faultCount += faults.size();
            exit = worseExit(exit, kExitFaults);
        }
    }
    std::string summary = "Проверено файлов: " + std::to_string(checked) + ", с ошибками: " + std::to_string(faulty) +
                          ", ошибок: " + std::to_string(faultCount);
    if (unreadable > 0) summary += ", не прочитано: " + std::to_string(unreadable);
    console.line(summary);
    return exit;
}

int runDiff(const ParsedArgs& args, CliContext&, Console& console) {
    if (!expectOperands(args, 2, 2, console, "diff", "два файла программ")) return kExitUsage;
    const std::optional<ScheduleDocument> a = loadProgram(args.operands[0], console);
    const std::optional<ScheduleDocument> b = loadProgram(args.operands[1], console);
    if (!a || !b) return kExitUsage;
    const std::vector<DocumentDifference> differences = compareDocuments(*a, *b);
    if (differences.empty()) {
        console.line("Различий нет");
        return kExitOk;
    }
    console.line("--- " + args.operands[0]);
    console.line("+++ " + args.operands[1]);
    for (const std::string& line : differenceLines(*a, *b, differences)) console.line(line);
    console.line("Различий: " + std::to_string(differences.size()));
    return kExitFaults;
}

}  // namespace zave::cli
