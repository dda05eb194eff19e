#include "cli/plan_support.h"

#include "cli/commands.h"
#include "schedule/plan_file.h"
#include "schedule/ptm_codec.h"

namespace zave::cli {

std::optional<Plan> loadPlan(const std::string& path, Console& console) {
    PlanReadResult read = readPlanFile(path);
    for (const std::string& e : read.errors) console.warning(e);
    return std::move(read.plan);
}

const ProgramLoad& PlanPrograms::load(const std::string& program) {
    auto it = loaded_.find(program);
    if (it == loaded_.end()) {
        ProgramLoad l;
        resetDocument(l.doc);
        l.status = readDocumentFile(planRelativePath(planPath_, program), l.doc);
        it = loaded_.emplace(program, std::move(l)).first;
    }
    return it->second;
}

ProgramLoader PlanPrograms::loader() {
    return [this](const std::string& program) { return load(program); };
}

ProgramLookup PlanPrograms::lookup() {
    return [this](const std::string& program) -> const ScheduleDocument* {
        const ProgramLoad& l = load(program);
        return l.status == DocumentReadStatus::Ok ? &l.doc : nullptr;
    };
}

CivilDate todayOf(Clock& clock) {
    const LocalTime t = clock.now();
    return {static_cast<int>(t.year), t.month, t.day};
}

std::optional<CivilDate> dateOption(const ParsedArgs& args, std::string_view option, std::string_view command,
                                    CliContext& ctx, Console& console) {
    const std::string* text = args.value(option);
    if (text == nullptr) return todayOf(ctx.clock);
    if (std::optional<CivilDate> d = parseDate(*text)) return d;
    usageError(console, command, std::string(option) + ": ожидается дата ГГГГ-ММ-ДД, указано \"" + *text + "\"");
    return std::nullopt;
}

std::string weekdayShort(int weekday) {
    static constexpr std::string_view kShort[] = {"Пн", "Вт", "Ср", "Чт", "Пт", "Сб", "Вс"};
    return weekday >= 1 && weekday <= 7 ? std::string(kShort[weekday - 1]) : "";
}

}  // namespace zave::cli
