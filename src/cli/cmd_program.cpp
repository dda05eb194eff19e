// write, read and verify: the program in the device.
#include "cli/commands.h"
#include "cli/documents.h"
#include "cli/exit_codes.h"
#include "cli/history_option.h"
#include "cli/render.h"
#include "cli/session.h"
#include "device/program_image.h"
#include "schedule/compare.h"
#include "schedule/file_name.h"
#include "schedule/validation.h"

namespace zave::cli {

namespace {

// Reads the device's program into a fresh document. kExitDevice when the
// read failed or an EEPROM error was skipped, so that part of the data
// stands in for what the device could not give.
int readDevice(DeviceSession& session, Console& console, ScheduleDocument& doc) {
    resetDocument(doc);
    if (!session.readProgram(doc)) return kExitDevice;
    if (session.eeprom().skippedReplies() > 0) {
        console.warning("пропущено ответов с ошибкой EEPROM: " + std::to_string(session.eeprom().skippedReplies()) +
                        "; их данные заменены значением 255 и не совпадают с устройством");
        return kExitDevice;
    }
    return kExitOk;
}

}  // namespace

int runWrite(const ParsedArgs& args, CliContext& ctx, Console& console) {
    const std::optional<DeviceOptions> options = deviceOptions(args, console, "write", 1, "файл программы", ctx.portSettings);
    if (!options) return kExitUsage;
    const std::string& path = args.operands[0];
    const std::optional<ScheduleDocument> doc = loadProgram(path, console);
    if (!doc) return kExitUsage;

    // The window's gate, for every day and not only the day shown: nothing
    // is sent, the port is not even opened.
    const std::vector<DocumentFault> faults = documentFaults(*doc);
    if (!faults.empty()) {
        console.warning(std::string(kWriteGateTitle) + " " + oneLine(kWriteGateText));
        for (const DocumentFault& f : faults)
            console.line(path + ": " + documentFaultText(*doc, f));
        return kExitFaults;
    }

    DeviceSession session(ctx, console, *options);
    if (const int exit = greetDevice(session, console)) return exit;
    HistoryEntry entry;
    entry.port = options->port;
    entry.event = HistoryEvent::Write;
    entry.program = path;
    entry.ok = session.writeProgram(*doc);
    if (!entry.ok) entry.detail = "Команда не выполнена";
    const bool recorded = recordHistory(args, ctx, console, "write", entry);
    return !entry.ok ? kExitDevice : recorded ? kExitOk : kExitUsage;
}

int runRead(const ParsedArgs& args, CliContext& ctx, Console& console) {
    const std::optional<DeviceOptions> options = deviceOptions(args, console, "read", 1, "файл для программы", ctx.portSettings);
    if (!options) return kExitUsage;
    // Named like the window's Save names a file.
    const std::string path = withDocumentExtension(args.operands[0]);
    if (!args.has("--force") && pathExists(path))
        return usageError(console, "read", path + " уже существует; чтобы заменить его, укажите --force");

    DeviceSession session(ctx, console, *options);
    if (const int exit = greetDevice(session, console)) return exit;
    ScheduleDocument doc;
    const int exit = readDevice(session, console, doc);
    // A read with skipped EEPROM errors is still saved, as the window keeps
    // it, but does not end as a success.
    if (exit != kExitOk && session.eeprom().skippedReplies() == 0) {
        console.warning("программа не считана, файл " + path + " не записан");
        return exit;
    }
    if (!saveProgram(path, doc, console)) return kExitUsage;
    console.line("Сохранено: " + path);
    return exit;
}

int runVerify(const ParsedArgs& args, CliContext& ctx, Console& console) {
    const std::optional<DeviceOptions> options = deviceOptions(args, console, "verify", 1, "файл программы", ctx.portSettings);
    if (!options) return kExitUsage;
    const std::string& path = args.operands[0];
    const std::optional<ScheduleDocument> file = loadProgram(path, console);
    if (!file) return kExitUsage;

    DeviceSession session(ctx, console, *options);
    if (const int exit = greetDevice(session, console)) return exit;
    ScheduleDocument device;
    if (const int exit = readDevice(session, console, device)) {
        console.warning("программа устройства не считана, сравнение не выполнено");
        return exit;
    }
    // What the device holds after a write of the file, against what it holds.
    const ScheduleDocument expected = deviceReadBack(*file);
    const std::vector<DocumentDifference> differences = compareDocuments(expected, device);
    if (differences.empty()) {
        console.line("Программа в устройстве совпадает с файлом " + path);
        return kExitOk;
    }
    console.line("--- файл " + path);
    console.line("+++ устройство " + options->port);
    for (const std::string& line : differenceLines(expected, device, differences)) console.line(line);
    console.line("Различий: " + std::to_string(differences.size()));
    return kExitFaults;
}

}  // namespace zave::cli
