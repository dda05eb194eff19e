// write, read and verify: the program in the device.
#include <filesystem>
#include <fstream>
#include <system_error>

#include "cli/commands.h"
#include "cli/documents.h"
#include "cli/exit_codes.h"
#include "cli/json_report.h"
#include "cli/history_option.h"
#include "cli/render.h"
#include "cli/session.h"
#include "device/program_image.h"
#include "schedule/compare.h"
#include "schedule/file_name.h"
#include "schedule/validation.h"

namespace zave::cli {

namespace {

namespace fs = std::filesystem;

fs::path toPath(const std::string& text) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

// Reads the device's program into a fresh document. kExitDevice when the
// read failed or an EEPROM error was skipped, so that part of the data
// stands in for what the device could not give.
int readDevice(DeviceSession& session, Console& console, ScheduleDocument& doc) {
    resetDocument(doc);
    if (!session.readProgram(doc)) return kExitDevice;
    console.report()["skippedReplies"] = session.eeprom().skippedReplies();
    if (session.eeprom().skippedReplies() > 0) {
        console.error("eepromSkipped",
                      "пропущено ответов с ошибкой EEPROM: " + std::to_string(session.eeprom().skippedReplies()) +
                          "; их данные заменены значением 255 и не совпадают с устройством");
        return kExitDevice;
    }
    return kExitOk;
}

// A name read can save under: not empty, not a folder's name ("." or "..",
// a trailing separator).
bool isFileName(const std::string& text) {
    if (text.empty()) return false;
    const fs::path name = toPath(text).filename();
    return !name.empty() && name != "." && name != "..";
}

// The name a save really writes: a symbolic link is written through, so
// the end of its chain of links. Empty for a loop.
fs::path finalName(const fs::path& path) {
    std::error_code ec;
    fs::path name = path;
    for (int hop = 0; hop < 40; ++hop) {
        if (!fs::is_symlink(fs::symlink_status(name, ec))) return name;
        const fs::path target = fs::read_symlink(name, ec);
        if (ec) return {};
        name = target.is_absolute() ? target : name.parent_path() / target;
    }
    return {};
}

// Whether the file can be made (or, when it exists, replaced) without
// touching what is there: a new file is created and removed again.
bool canCreate(const std::string& path, std::string& reason) {
    std::error_code ec;
    const fs::path name = finalName(toPath(path));
    if (name.empty()) {
        reason = "символическая ссылка ведёт по кругу";
        return false;
    }
    const bool existed = fs::exists(name, ec);
    if (existed && fs::is_directory(name, ec)) {
        reason = "это папка";
        return false;
    }
    {
        std::ofstream probe(name, std::ios::binary | std::ios::app);
        if (!probe) {
            const fs::path folder = name.parent_path();
            reason = !folder.empty() && !fs::is_directory(folder, ec) ? "нет такой папки" : "нет прав на запись";
            return false;
        }
    }
    if (!existed) fs::remove(name, ec);
    return true;
}

}  // namespace

int runWrite(const ParsedArgs& args, CliContext& ctx, Console& console) {
    const std::optional<DeviceOptions> options =
        deviceOptions(args, console, "write", 1, "файл программы", ctx.portSettings);
    if (!options) return kExitUsage;
    const std::string& path = args.operands[0];
    Json& report = console.report();
    report["file"] = path;
    report["written"] = false;
    const std::optional<ScheduleDocument> doc = loadProgram(path, console);
    if (!doc) return kExitUsage;

    // The window's gate, for every day and not only the day shown: nothing
    // is sent, the port is not even opened.
    const std::vector<DocumentFault> faults = documentFaults(*doc);
    report["faults"] = faultsJson(faults);
    if (!faults.empty()) {
        console.error("programFaults", std::string(kWriteGateTitle) + " " + oneLine(kWriteGateText));
        for (const DocumentFault& f : faults)
            console.line(path + ": " + documentFaultText(*doc, f));
        return kExitFaults;
    }

    DeviceSession session(ctx, console, *options);
    if (const int exit = greetDevice(session, console)) return exit;
    // From the first frame on, the device holds part of the new program.
    ctx.setInterruptNotice("запись прервана: в устройстве теперь часть новой программы и часть старой; "
                           "чтобы записать программу целиком, повторите: zavectl write --port " +
                           options->port + " " + path);
    HistoryEntry entry;
    entry.port = options->port;
    entry.event = HistoryEvent::Write;
    entry.program = path;
    entry.ok = session.writeProgram(*doc);
    ctx.setInterruptNotice({});
    report["written"] = entry.ok;
    if (!entry.ok) {
        entry.detail = "Команда не выполнена";
        console.warning("в устройстве может быть часть новой программы и часть старой; чтобы записать программу "
                        "целиком, повторите: zavectl write --port " + options->port + " " + path);
    }
    const bool recorded = recordHistory(args, ctx, console, "write", entry);
    return !entry.ok ? kExitDevice : recorded ? kExitOk : kExitUsage;
}

int runRead(const ParsedArgs& args, CliContext& ctx, Console& console) {
    const std::optional<DeviceOptions> options =
        deviceOptions(args, console, "read", 1, "файл для программы", ctx.portSettings);
    if (!options) return kExitUsage;
    if (!isFileName(args.operands[0]))
        return usageError(console, "read", "неверное имя файла \"" + args.operands[0] + "\"");
    // Named like the window's Save names a file.
    const std::string path = withDocumentExtension(args.operands[0]);
    Json& report = console.report();
    report["file"] = path;
    report["saved"] = false;
    if (!args.has("--force") && pathExists(path))
        return usageError(console, "read", path + " уже существует; чтобы заменить его, укажите --force");
    // Before the device is asked for anything: a read of 20 s is not
    // thrown away for a file that cannot be saved.
    if (std::string reason; !canCreate(path, reason)) {
        console.error("unwritable", path + ": файл не создать (" + reason + "); к устройству программа не обращалась",
                      Json{{"path", path}});
        return kExitUsage;
    }

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
    report["saved"] = true;
    console.line("Сохранено: " + path);
    return exit;
}

int runVerify(const ParsedArgs& args, CliContext& ctx, Console& console) {
    const std::optional<DeviceOptions> options =
        deviceOptions(args, console, "verify", 1, "файл программы", ctx.portSettings);
    if (!options) return kExitUsage;
    const std::string& path = args.operands[0];
    Json& report = console.report();
    report["file"] = path;
    report["matches"] = nullptr;
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
    report["matches"] = differences.empty();
    report["differences"] = differencesJson(expected, device, differences, "file", "device");
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
