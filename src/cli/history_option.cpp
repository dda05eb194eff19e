#include "cli/history_option.h"

#include <cstdio>

namespace zave::cli {

std::string historyTime(const LocalTime& t) {
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d", static_cast<long long>(t.year), t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

bool recordHistory(const ParsedArgs& args, CliContext& ctx, Console& console, std::string_view command,
                   HistoryEntry entry) {
    const std::string* path = args.value("--history");
    if (path == nullptr) return true;
    entry.time = historyTime(ctx.clock.now());
    entry.command = std::string(command);
    if (appendHistoryLine(*path, historyLine(entry))) return true;
    console.warning(*path + ": историю не удалось дополнить");
    return false;
}

}  // namespace zave::cli
