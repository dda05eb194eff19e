// status and sync-clock: the greeting and the device clock.
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/history_option.h"
#include "cli/session.h"
#include "device/clock.h"

namespace zave::cli {

namespace {

// "2026-12-09T06:45:00": local time, as a script reads it.
std::string isoText(const LocalTime& t) {
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d", static_cast<long long>(t.year), t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

// The device's clock beside the computer's, as the window's two date fields
// show them, and the drift (device minus computer) when the device's date is
// a real one. The same in the report: computerClock, deviceClock (null when
// no real date, deviceClockFields then), deviceClockValid, driftSeconds.
std::optional<int64_t> printClocks(const ReplyData& reply, std::chrono::steady_clock::duration replyAge,
                                   const LocalTime& computer, Console& console) {
    Json& report = console.report();
    report["computerClock"] = isoText(computer);
    console.line("Системная дата:           " + computerDateText(computer));
    const std::optional<LocalTime> device = deviceClockTime(reply);
    if (!device) {
        console.line("Дата счит. с устройства:  неверная (секунды " + std::to_string(reply[2]) + ", минуты " +
                     std::to_string(reply[3]) + ", часы " + std::to_string(reply[4]) + ", день недели " +
                     std::to_string(reply[5]) + ", число " + std::to_string(reply[6]) + ", месяц " +
                     std::to_string(reply[7]) + ", год " + std::to_string(2000 + reply[8]) + ")");
        report["deviceClock"] = nullptr;
        report["deviceClockValid"] = false;
        report["deviceClockFields"] = Json{{"second", reply[2]}, {"minute", reply[3]}, {"hour", reply[4]},
                                           {"weekday", reply[5]}, {"day", reply[6]},  {"month", reply[7]},
                                           {"year", 2000 + reply[8]}};
        report["driftSeconds"] = nullptr;
        return std::nullopt;
    }
    console.line("Дата счит. с устройства:  " + deviceDateText(reply).value_or(""));
    const int64_t drift = clockDrift(computer, *device, replyAge);
    std::string text = "Расхождение:              " + std::string(drift > 0 ? "+" : "") + std::to_string(drift) + " с";
    if (drift > 0) text += " (часы устройства спешат)";
    if (drift < 0) text += " (часы устройства отстают)";
    console.line(text);
    report["deviceClock"] = isoText(*device);
    report["deviceClockValid"] = true;
    report["driftSeconds"] = drift;
    return drift;
}

}  // namespace

int runStatus(const ParsedArgs& args, CliContext& ctx, Console& console) {
    const std::optional<DeviceOptions> options = deviceOptions(args, console, "status", 0, "", ctx.portSettings);
    if (!options) return kExitUsage;
    DeviceSession session(ctx, console, *options);
    if (const int exit = greetDevice(session, console)) return exit;
    console.line("Тип устройства:           " + std::to_string(statusReply(session.replyData()).deviceType));
    if (printClocks(session.replyData(), session.replyAge(), ctx.clock.now(), console)) return kExitOk;
    console.error("badClock", options->port + ": часы устройства дают неверную дату");
    return kExitFaults;
}

// The report's "action": "set" (the clock was set), "withinLimit" (the drift
// was within --if-drift, the clock left alone) or "failed".
int runSyncClock(const ParsedArgs& args, CliContext& ctx, Console& console) {
    const std::optional<DeviceOptions> options = deviceOptions(args, console, "sync-clock", 0, "", ctx.portSettings);
    if (!options) return kExitUsage;
    std::optional<long long> limit;
    if (const std::string* text = args.value("--if-drift")) {
        limit = secondsOption(*text, 100LL * 365 * 86400);
        if (!limit)
            return usageError(console, "sync-clock", "--if-drift: ожидается число секунд 0 и больше, указано \"" +
                                                         *text + "\"");
    }
    Json& report = console.report();
    report["action"] = "failed";
    report["limitSeconds"] = limit ? Json(*limit) : Json(nullptr);
    DeviceSession session(ctx, console, *options);
    if (const int exit = greetDevice(session, console)) return exit;
    const std::optional<int64_t> drift = printClocks(session.replyData(), session.replyAge(), ctx.clock.now(), console);
    if (limit && drift && std::llabs(*drift) <= *limit) {
        console.line("Расхождение не больше " + std::to_string(*limit) + " с: часы устройства не изменены");
        report["action"] = "withinLimit";
        return kExitOk;
    }
    HistoryEntry entry;
    entry.port = options->port;
    entry.event = HistoryEvent::Clock;
    entry.drift = drift;
    entry.ok = session.syncClock();
    const bool recorded = recordHistory(args, ctx, console, "sync-clock", entry);
    if (!entry.ok) return kExitDevice;
    report["action"] = "set";
    // --quiet: a clock that was set is worth a line in the nightly mail.
    console.release();
    return recorded ? kExitOk : kExitUsage;
}

}  // namespace zave::cli
