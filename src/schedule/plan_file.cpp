#include "schedule/plan_file.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <toml++/toml.h>

#include "schedule/document.h"

namespace zave {

namespace {

std::filesystem::path pathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

class Reader {
public:
    explicit Reader(std::string source) : source_(std::move(source)) {}

    void error(const toml::node* node, const std::string& text) {
        std::string where = source_;
        if (node != nullptr && node->source().begin.line > 0) {
            where += ':';
            where += std::to_string(node->source().begin.line);
        }
        where += ": ";
        where += text;
        errors.push_back(std::move(where));
    }

    int line(const toml::node* node) const { return node ? static_cast<int>(node->source().begin.line) : 0; }

    // Every key of the table must be one of `known`.
    void onlyKeys(const toml::table& table, std::initializer_list<std::string_view> known, const std::string& what) {
        for (const auto& [key, node] : table) {
            bool ok = false;
            for (std::string_view k : known) ok = ok || key.str() == k;
            if (!ok) error(&node, what + ": неизвестный ключ \"" + std::string(key.str()) + "\"");
        }
    }

    std::optional<std::string> text(const toml::table& table, std::string_view key, const std::string& what,
                                    bool required) {
        const toml::node* node = table.get(key);
        if (node == nullptr) {
            if (required) error(&table, what + ": не указан ключ \"" + std::string(key) + "\"");
            return std::nullopt;
        }
        const auto* value = node->as_string();
        if (value == nullptr || value->get().empty()) {
            error(node, what + ": \"" + std::string(key) + "\" — ожидается непустая строка");
            return std::nullopt;
        }
        return value->get();
    }

    std::optional<CivilDate> date(const toml::table& table, std::string_view key, const std::string& what) {
        const toml::node* node = table.get(key);
        if (node == nullptr) return std::nullopt;
        if (const auto* d = node->as_date()) {
            const toml::date v = d->get();
            const CivilDate c{v.year, v.month, v.day};
            if (isValidDate(c)) return c;
        } else if (const auto* s = node->as_string()) {
            if (std::optional<CivilDate> c = parseDate(s->get())) return c;
        }
        error(node, what + ": \"" + std::string(key) + "\" — ожидается дата ГГГГ-ММ-ДД");
        badDate = true;
        return std::nullopt;
    }

    std::optional<int> weekday(const toml::node& node, const std::string& what) {
        static constexpr std::string_view kShort[] = {"пн", "вт", "ср", "чт", "пт", "сб", "вс"};
        if (const auto* n = node.as_integer()) {
            if (n->get() >= 1 && n->get() <= 7) return static_cast<int>(n->get());
        } else if (const auto* s = node.as_string()) {
            if (const int d = dayNumberByName(s->get())) return d;
            for (int i = 0; i < 7; ++i)
                if (equalsIgnoringCase(s->get(), kShort[i])) return i + 1;
        }
        error(&node, what + ": ожидается день недели: 1 (понедельник) … 7 (воскресенье) или его название");
        return std::nullopt;
    }

    std::vector<std::string> errors;
    bool badDate = false;

private:
    std::string source_;
};

std::optional<CalendarRule> readRule(Reader& r, const toml::table& t, int number, const std::string& calendar) {
    const std::string what = "календарь \"" + calendar + "\", правило " + std::to_string(number);
    r.onlyKeys(t, {"name", "date", "from", "to", "weekday", "program", "priority"}, what);
    CalendarRule rule;
    rule.number = number;
    rule.line = r.line(&t);
    r.badDate = false;
    if (const auto name = t.get("name")) {
        if (const auto* s = name->as_string()) rule.name = s->get();
        else r.error(name, what + ": \"name\" — ожидается строка");
    }
    const std::optional<std::string> program = r.text(t, "program", what, true);
    if (program) rule.program = *program;
    if (const toml::node* p = t.get("priority")) {
        if (const auto* n = p->as_integer(); n && n->get() >= -1000 && n->get() <= 1000)
            rule.priority = static_cast<int>(n->get());
        else
            r.error(p, what + ": \"priority\" — ожидается целое число -1000 … 1000");
    }
    const std::optional<CivilDate> date = r.date(t, "date", what);
    rule.from = r.date(t, "from", what);
    rule.to = r.date(t, "to", what);
    if (r.badDate) return std::nullopt;
    const toml::node* weekday = t.get("weekday");
    const bool hasDate = t.contains("date"), hasRange = t.contains("from") || t.contains("to");
    if (hasDate && (hasRange || weekday)) {
        r.error(&t, what + ": \"date\" не сочетается с \"from\", \"to\" и \"weekday\"");
        return std::nullopt;
    }
    if (hasDate) {
        rule.kind = RuleKind::Date;
        rule.from = rule.to = date;
    } else if (weekday) {
        rule.kind = RuleKind::Weekday;
        const std::optional<int> d = r.weekday(*weekday, what);
        if (!d) return std::nullopt;
        rule.weekday = *d;
    } else if (rule.from && rule.to) {
        rule.kind = RuleKind::Range;
    } else {
        r.error(&t, what + ": укажите \"date\", \"from\" и \"to\" или \"weekday\"");
        return std::nullopt;
    }
    if (rule.from && rule.to && *rule.from > *rule.to) {
        r.error(&t, what + ": начало " + formatDate(*rule.from) + " позже конца " + formatDate(*rule.to));
        return std::nullopt;
    }
    if (!program) return std::nullopt;
    return rule;
}

std::optional<Calendar> readCalendar(Reader& r, const std::string& name, const toml::node& node) {
    const std::string what = "календарь \"" + name + "\"";
    const toml::table* t = node.as_table();
    if (t == nullptr) {
        r.error(&node, what + ": ожидается таблица [calendar." + name + "]");
        return std::nullopt;
    }
    r.onlyKeys(*t, {"default", "from", "to", "weekend", "rule"}, what);
    Calendar calendar;
    calendar.name = name;
    const size_t errorsBefore = r.errors.size();
    if (std::optional<std::string> def = r.text(*t, "default", what, true)) calendar.defaultProgram = *def;
    r.badDate = false;
    calendar.from = r.date(*t, "from", what);
    calendar.to = r.date(*t, "to", what);
    if (calendar.from && calendar.to && *calendar.from > *calendar.to)
        r.error(t, what + ": начало " + formatDate(*calendar.from) + " позже конца " + formatDate(*calendar.to));
    if (const toml::node* weekend = t->get("weekend")) {
        calendar.weekend.clear();
        if (const auto* list = weekend->as_array()) {
            for (const toml::node& day : *list)
                if (std::optional<int> d = r.weekday(day, what + ", \"weekend\"")) calendar.weekend.push_back(*d);
        } else {
            r.error(weekend, what + ": \"weekend\" — ожидается список дней недели");
        }
    }
    if (const toml::node* rules = t->get("rule")) {
        const toml::array* list = rules->as_array();
        if (list == nullptr || !list->is_array_of_tables()) {
            r.error(rules, what + ": правила задаются как [[calendar." + name + ".rule]]");
        } else {
            int number = 0;
            for (const toml::node& rule : *list)
                if (std::optional<CalendarRule> c = readRule(r, *rule.as_table(), ++number, name))
                    calendar.rules.push_back(std::move(*c));
        }
    }
    if (r.errors.size() != errorsBefore) return std::nullopt;
    return calendar;
}

}  // namespace

PlanReadResult parsePlan(std::string_view text, const std::string& sourceName) {
    PlanReadResult result;
    Reader r(sourceName);
    toml::table root;
#if TOML_EXCEPTIONS
    try {
        root = toml::parse(text, sourceName);
    } catch (const toml::parse_error& e) {
        result.errors.push_back(sourceName + ":" + std::to_string(e.source().begin.line) + ": " +
                                std::string(e.description()));
        return result;
    }
#else
    toml::parse_result parsed = toml::parse(text, sourceName);
    if (!parsed) {
        result.errors.push_back(sourceName + ":" + std::to_string(parsed.error().source().begin.line) + ": " +
                                std::string(parsed.error().description()));
        return result;
    }
    root = std::move(parsed).table();
#endif
    Plan plan;
    r.onlyKeys(root, {"clock_drift_limit", "history", "device", "calendar"}, "план");
    if (const toml::node* limit = root.get("clock_drift_limit")) {
        if (const auto* n = limit->as_integer(); n && n->get() >= 0 && n->get() <= 86400)
            plan.clockDriftLimit = static_cast<int>(n->get());
        else
            r.error(limit, "\"clock_drift_limit\" — ожидается число секунд 0 … 86400");
    }
    if (root.contains("history"))
        if (std::optional<std::string> h = r.text(root, "history", "план", true)) plan.history = *h;

    if (const toml::node* calendars = root.get("calendar")) {
        if (const toml::table* t = calendars->as_table()) {
            for (const auto& [key, node] : *t)
                if (std::optional<Calendar> c = readCalendar(r, std::string(key.str()), node))
                    plan.calendars.push_back(std::move(*c));
        } else {
            r.error(calendars, "календари задаются как [calendar.ИМЯ]");
        }
    }
    const toml::node* devices = root.get("device");
    const toml::array* list = devices ? devices->as_array() : nullptr;
    if (devices && (list == nullptr || !list->is_array_of_tables())) {
        r.error(devices, "устройства задаются как [[device]]");
    } else if (list) {
        int number = 0;
        for (const toml::node& node : *list) {
            const toml::table& t = *node.as_table();
            const std::string what = "устройство " + std::to_string(++number);
            r.onlyKeys(t, {"name", "port", "calendar"}, what);
            PlanDevice device;
            device.line = r.line(&t);
            const auto name = r.text(t, "name", what, true);
            const auto port = r.text(t, "port", what, true);
            const auto calendar = r.text(t, "calendar", what, true);
            if (!name || !port || !calendar) continue;
            device.name = *name;
            device.port = *port;
            device.calendar = *calendar;
            plan.devices.push_back(std::move(device));
        }
    }
    if (plan.devices.empty() && r.errors.empty()) r.errors.push_back(sourceName + ": в плане нет ни одного [[device]]");
    result.errors = std::move(r.errors);
    if (result.errors.empty()) result.plan = std::move(plan);
    return result;
}

PlanReadResult readPlanFile(const std::string& path) {
    PlanReadResult result;
    std::error_code ec;
    const std::filesystem::path p = pathFromUtf8(path);
    const auto size = std::filesystem::file_size(p, ec);
    if (ec || !std::filesystem::is_regular_file(p, ec)) {
        result.errors.push_back(path + ": план не найден или не является файлом");
        return result;
    }
    if (size > kPlanFileLimit) {
        result.errors.push_back(path + ": файл плана больше " + std::to_string(kPlanFileLimit) + " байт");
        return result;
    }
    std::ifstream in(p, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in && !in.eof()) {
        result.errors.push_back(path + ": план не удалось прочитать");
        return result;
    }
    return parsePlan(text.str(), path);
}

std::string planRelativePath(const std::string& planPath, const std::string& name) {
    // On Windows "\folder\x.ptm" and "D:x.ptm" are not absolute, but not
    // relative to the plan's folder either: they are taken as written.
    const std::filesystem::path p = pathFromUtf8(name);
    if (p.is_absolute() || p.has_root_name() || p.has_root_directory()) return name;
    const std::filesystem::path folder = pathFromUtf8(planPath).parent_path();
    return folder.empty() ? name : utf8FromPath(folder / p);
}

std::string planHistoryPath(const std::string& planPath, const Plan& plan) {
    if (!plan.history.empty()) return planRelativePath(planPath, plan.history);
    std::string base = planPath;
    const std::string ending = ".toml";
    if (base.size() > ending.size() && equalsIgnoringCase(base.substr(base.size() - ending.size()), ending))
        base.resize(base.size() - ending.size());
    return base + ".history.jsonl";
}

}  // namespace zave
