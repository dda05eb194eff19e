// apply: every device of a plan gets the week its calendar gives, written
// only where the device holds something else, read back and compared; its
// clock is set when it drifted beyond the plan's limit. Every write, verify
// and clock change goes into the plan's history.
#include <cstdlib>
#include <sstream>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/history_option.h"
#include "cli/json_report.h"
#include "cli/plan_support.h"
#include "cli/render.h"
#include "cli/session.h"
#include "device/clock.h"
#include "device/program_image.h"
#include "schedule/compare.h"
#include "schedule/history_log.h"
#include "schedule/plan_file.h"
#include "schedule/validation.h"

namespace zave::cli {

namespace {

std::vector<std::string> splitLogLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

std::string driftText(int64_t drift) { return std::string(drift > 0 ? "+" : "") + std::to_string(drift) + " с"; }

struct ApplyRun {
    const Plan& plan;
    std::string historyPath;
    CivilDate date;
    bool dryRun = false;
    CliContext& ctx;
    Console& console;
    PortAliases aliases;
    bool historyFailed = false;

    void record(HistoryEntry entry, const PlanDevice& device) {
        if (dryRun) return;
        entry.time = historyTime(ctx.clock.now());
        entry.command = "apply";
        entry.device = device.name;
        entry.port = device.port;
        entry.date = formatDate(date);
        if (!appendHistoryLine(historyPath, historyLine(entry)) && !historyFailed) {
            console.warning(historyPath + ": историю не удалось дополнить");
            historyFailed = true;
        }
    }
};

struct DeviceResult {
    int exit = kExitOk;
    std::string text;
    Json json;
    std::vector<std::string> details;  // printed under the line
    std::string log;                   // the session's log, shown when it failed
};

DeviceResult fail(DeviceResult r, int exit, const std::string& why) {
    r.exit = exit;
    r.text = "ошибка: " + why;
    r.json["outcome"] = "failed";
    r.json["error"] = why;
    return r;
}

DeviceResult applyDevice(ApplyRun& run, const PlanDevice& device, const std::vector<PlanIssue>& issues,
                         PlanPrograms& programs) {
    DeviceResult r;
    r.json = Json{{"name", device.name}, {"port", device.port}, {"calendar", device.calendar}};
    for (const PlanIssue& i : issues)
        if (blocksDevice(i, device)) return fail(std::move(r), kExitUsage, i.text);
    const Calendar* calendar = run.plan.calendar(device.calendar);
    if (calendar == nullptr) return fail(std::move(r), kExitUsage, "календаря \"" + device.calendar + "\" в плане нет");

    const ComposedWeek week = composeWeek(*calendar, run.date, programs.lookup());
    Json sources = Json::array();
    for (const DayChoice& d : week.days)
        sources.push_back({{"date", formatDate(d.date)}, {"program", d.program}, {"ruleText", ruleText(d.rule)}});
    r.json["week"] = std::move(sources);
    if (!week.missing.empty())
        return fail(std::move(r), kExitUsage, "программа " + week.missing.front() + " не читается");
    if (const std::vector<DocumentFault> faults = documentFaults(week.doc); !faults.empty())
        return fail(std::move(r), kExitFaults,
                    "в программе недели (" + week.days[static_cast<size_t>(faults.front().day - 1)].program +
                        ") ошибка: " + documentFaultText(week.doc, faults.front()));

    // The plan names ports like --port does: COMn, a device path or a name
    // from the settings file.
    const PortChoice port = choosePort(device.port, run.aliases, run.ctx.portSettings);
    if (!port.error.empty()) return fail(std::move(r), kExitUsage, port.error);

    // The session's log lines are kept apart: one line per device is printed.
    std::ostringstream log;
    CliContext quiet{log, log, run.ctx.clock};
    quiet.makePort = run.ctx.makePort;
    quiet.makeCatalog = run.ctx.makeCatalog;
    quiet.interrupted = run.ctx.interrupted;
    quiet.portSettings = run.ctx.portSettings;
    Console quietConsole(quiet);
    DeviceSession session(quiet, quietConsole, DeviceOptions{port.port, port.alias, EepromPolicy::Abort});
    auto failed = [&](int exit, const std::string& why) {
        r.log = log.str();
        return fail(std::move(r), exit, why);
    };
    const ConnectOutcome connected = session.connect();
    if (connected == ConnectOutcome::OpenFailed) return failed(kExitDevice, "порт " + device.port + " не открывается");
    if (connected == ConnectOutcome::NoAnswer) return failed(kExitDevice, "устройство не отвечает");
    if (connected != ConnectOutcome::Ready)
        return failed(kExitDevice, "устройство не поддерживается (тип " +
                                       std::to_string(statusReply(session.replyData()).deviceType) + ")");
    const LocalTime computer = run.ctx.clock.now();
    const auto replyAge = session.replyAge();
    const std::optional<LocalTime> deviceClock = deviceClockTime(session.replyData());

    ScheduleDocument held;
    resetDocument(held);
    if (!session.readProgram(held) || session.eeprom().skippedReplies() > 0)
        return failed(kExitDevice, "программа устройства не считана");
    const ScheduleDocument expected = deviceReadBack(week.doc);
    const std::vector<DocumentDifference> differences = compareDocuments(held, expected);
    r.json["differences"] = differencesJson(held, expected, differences, "device", "plan");

    std::vector<std::string> done;
    if (differences.empty()) {
        done.push_back("уже верно");
        r.json["outcome"] = "alreadyRight";
    } else if (run.dryRun) {
        done.push_back("будет записано, различий: " + std::to_string(differences.size()));
        r.details = differenceLines(held, expected, differences);
        r.json["outcome"] = "wouldWrite";
        r.exit = kExitFaults;
    } else {
        HistoryEntry write;
        write.event = HistoryEvent::Write;
        write.before = held;
        write.after = expected;
        write.differences = differences;
        write.ok = session.writeProgramChanges(week.doc, held);
        if (!write.ok) write.detail = "запись не выполнена";
        run.record(write, device);
        if (!write.ok) return failed(kExitDevice, "запись не выполнена");

        HistoryEntry verify;
        verify.event = HistoryEvent::Verify;
        ScheduleDocument back;
        resetDocument(back);
        const bool read = session.readProgram(back) && session.eeprom().skippedReplies() == 0;
        const std::vector<DocumentDifference> left = read ? compareDocuments(expected, back) : differences;
        verify.ok = read && left.empty();
        if (!read) verify.detail = "программа не считана";
        else if (!left.empty()) verify.detail = "различий после записи: " + std::to_string(left.size());
        if (read && !left.empty()) {
            verify.before = expected;
            verify.after = back;
            verify.differences = left;
        }
        run.record(verify, device);
        if (!verify.ok) return failed(kExitDevice, "проверка после записи: " + verify.detail);
        done.push_back("записано, различий было: " + std::to_string(differences.size()) + ", проверено");
        r.json["outcome"] = "written";
    }

    // The clock: the device's against the computer's local time.
    const std::optional<int64_t> drift =
        deviceClock ? std::optional<int64_t>(clockDrift(computer, *deviceClock, replyAge)) : std::nullopt;
    const bool needed = !drift || std::llabs(*drift) > run.plan.clockDriftLimit;
    Json clock{{"drift", drift ? Json(*drift) : Json(nullptr)}, {"limit", run.plan.clockDriftLimit}, {"set", false}};
    const std::string driftShown = drift ? "расхождение " + driftText(*drift) : "дата устройства неверна";
    if (needed && run.dryRun) {
        done.push_back("часы будут установлены (" + driftShown + ")");
        clock["wouldSet"] = true;
        r.exit = kExitFaults;
    } else if (needed) {
        HistoryEntry entry;
        entry.event = HistoryEvent::Clock;
        entry.drift = drift;
        entry.ok = session.syncClock();
        if (!entry.ok) entry.detail = "Команда не выполнена";
        run.record(entry, device);
        r.json["clock"] = clock;
        if (!entry.ok) return failed(kExitDevice, "часы не установлены (" + driftShown + ")");
        clock["set"] = true;
        done.push_back("часы установлены (" + driftShown + ")");
    }
    r.json["clock"] = std::move(clock);
    for (size_t i = 0; i < done.size(); ++i) r.text += (i ? "; " : "") + done[i];
    return r;
}

}  // namespace

int runApply(const ParsedArgs& args, CliContext& ctx, Console& console) {
    if (!expectOperands(args, 1, SIZE_MAX, console, "apply", "файл плана")) return kExitUsage;
    const std::string* firstDevice = args.value("--device");
    if (args.operands.size() > 1 && !firstDevice)
        return usageError(console, "apply", "лишний операнд: " + args.operands[1]);
    const std::optional<CivilDate> date = dateOption(args, "--date", "apply", ctx, console);
    if (!date) return kExitUsage;
    const std::string& path = args.operands[0];
    const std::optional<Plan> plan = loadPlan(path, console);
    if (!plan) return kExitUsage;

    std::vector<const PlanDevice*> chosen;
    if (firstDevice) {
        std::vector<std::string> names{*firstDevice};
        names.insert(names.end(), args.operands.begin() + 1, args.operands.end());
        for (const std::string& name : names) {
            bool found = false;
            for (const PlanDevice& d : plan->devices)
                if (d.name == name) {
                    if (!found) chosen.push_back(&d);
                    found = true;
                }
            if (!found) return usageError(console, "apply", "устройства \"" + name + "\" в плане нет");
        }
    } else {
        for (const PlanDevice& d : plan->devices) chosen.push_back(&d);
    }

    PlanPrograms programs(path);
    const std::vector<PlanIssue> issues = checkPlan(*plan, programs.loader());
    ApplyRun run{*plan, planHistoryPath(path, *plan), *date, args.has("--dry-run"), ctx, console,
                 loadPortAliases(ctx.portSettings)};
    if (!run.aliases.error.empty()) console.warning(run.aliases.error);
    // Every change must be recorded: a history that cannot be added to
    // stops apply before any device is touched.
    if (!run.dryRun && !historyAppendable(run.historyPath)) {
        console.warning(run.historyPath + ": историю не удалось дополнить; устройства не затронуты");
        return kExitUsage;
    }
    const bool json = args.has("--json");
    int exit = kExitOk;
    Json devices = Json::array();
    for (const PlanDevice* device : chosen) {
        DeviceResult r = applyDevice(run, *device, issues, programs);
        exit = worseExit(exit, r.exit);
        r.json["exit"] = r.exit;
        if (!r.log.empty())
            for (const std::string& line : splitLogLines(r.log)) console.warning(device->name + ": " + line);
        if (json) {
            devices.push_back(std::move(r.json));
            continue;
        }
        console.line(device->name + " (" + device->port + "): " + r.text);
        for (const std::string& line : r.details) console.line("    " + line);
    }
    if (run.historyFailed) exit = worseExit(exit, kExitUsage);
    if (json) {
        Json& report = console.report();
        report["plan"] = path;
        report["date"] = formatDate(*date);
        report["dryRun"] = run.dryRun;
        report["history"] = run.historyPath;
        report["devices"] = std::move(devices);
        report["exit"] = exit;
    }
    return exit;
}

}  // namespace zave::cli
