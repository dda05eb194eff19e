// status and sync-clock: the greeting and the device clock.
#include <cstdlib>
#include <optional>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/history_option.h"
#include "cli/session.h"
#include "device/clock.h"

namespace zave::cli {

namespace {

// The device's clock beside the computer's, as the window's two date fields
// show them, and the drift (device minus computer) when the device's date is
// a real one.
std::optional<int64_t> printClocks(const ReplyData& reply, const LocalTime& computer, Console& console) {
    console.line("Системная дата:           " + computerDateText(computer));
    const std::optional<LocalTime> device = deviceClockTime(reply);
    if (!device) {
        console.line("Дата счит. с устройства:  неверная (секунды " + std::to_string(reply[2]) + ", минуты " +
                     std::to_string(reply[3]) + ", часы " + std::to_string(reply[4]) + ", день недели " +
                     std::to_string(reply[5]) + ", число " + std::to_string(reply[6]) + ", месяц " +
                     std::to_string(reply[7]) + ", год " + std::to_string(2000 + reply[8]) + ")");
        return std::nullopt;
    }
    console.line("Дата счит. с устройства:  " + deviceDateText(reply).value_or(""));
    const int64_t drift = secondsBetween(computer, *device);
    std::string text = "Расхождение:              " + std::string(drift > 0 ? "+" : "") + std::to_string(drift) + " с";
    if (drift > 0) text += " (часы устройства спешат)";
    if (drift < 0) text += " (часы устройства отстают)";
    console.line(text);
    return drift;
}

}  // namespace

int runStatus(const ParsedArgs& args, CliContext& ctx, Console& console) {
    const std::optional<DeviceOptions> options = deviceOptions(args, console, "status", 0, "", ctx.portSettings);
    if (!options) return kExitUsage;
    DeviceSession session(ctx, console, *options);
    if (const int exit = greetDevice(session, console)) return exit;
    console.line("Тип устройства:           " + std::to_string(session.replyData()[1]));
    return printClocks(session.replyData(), ctx.clock.now(), console) ? kExitOk : kExitFaults;
}

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
    DeviceSession session(ctx, console, *options);
    if (const int exit = greetDevice(session, console)) return exit;
    const std::optional<int64_t> drift = printClocks(session.replyData(), ctx.clock.now(), console);
    if (limit && drift && std::llabs(*drift) <= *limit) {
        console.line("Расхождение не больше " + std::to_string(*limit) + " с: часы устройства не изменены");
        return kExitOk;
    }
    HistoryEntry entry;
    entry.port = options->port;
    entry.event = HistoryEvent::Clock;
    entry.drift = drift;
    entry.ok = session.syncClock();
    const bool recorded = recordHistory(args, ctx, console, "sync-clock", entry);
    return !entry.ok ? kExitDevice : recorded ? kExitOk : kExitUsage;
}

}  // namespace zave::cli
