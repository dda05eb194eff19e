#include "schedule/history_log.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

namespace zave {

namespace {

using nlohmann::json;

std::filesystem::path pathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

const char* eventName(HistoryEvent e) {
    switch (e) {
    case HistoryEvent::Verify: return "verify";
    case HistoryEvent::Clock: return "clock";
    case HistoryEvent::Write: break;
    }
    return "write";
}

const char* settingName(DifferenceKind k) {
    switch (k) {
    case DifferenceKind::SoundType: return "soundType";
    case DifferenceKind::PulseSwitchTime: return "pulseSwitchTime";
    case DifferenceKind::SoundDisabled: return "soundDisabled";
    case DifferenceKind::Slot: break;
    }
    return "slot";
}

json slotJson(const TimeSlot& s) {
    return {{"enabled", s.enabled}, {"hour", s.hour}, {"minute", s.minute}, {"volume", s.volume}};
}

json settingJson(const ScheduleDocument& d, DifferenceKind k) {
    switch (k) {
    case DifferenceKind::SoundType: return d.soundType;
    case DifferenceKind::PulseSwitchTime: return d.pulseSwitchTime;
    case DifferenceKind::SoundDisabled: return d.soundDisabled;
    case DifferenceKind::Slot: break;
    }
    return nullptr;
}

std::string slotShown(const json& s) {
    char text[64];
    std::snprintf(text, sizeof text, "%02d:%02d %s %d%%", s.value("hour", 0), s.value("minute", 0),
                  s.value("enabled", 0) == 1 ? "вкл." : "выкл.", s.value("volume", 0));
    return text;
}

std::string valueShown(const json& v) { return v.is_string() ? v.get<std::string>() : v.dump(); }

std::string changeText(const json& c) {
    if (c.contains("setting"))
        return valueShown(c["setting"]) + ": " + valueShown(c.value("from", json())) + " -> " +
               valueShown(c.value("to", json()));
    const int day = c.value("day", 0);
    const std::string name = day >= 1 && day <= kDayCount ? std::string(kDayNames[static_cast<size_t>(day - 1)])
                                                          : "день " + std::to_string(day);
    std::string text = name + ", слот " + std::to_string(c.value("slot", 0)) + ": ";
    text += c.contains("from") && c["from"].is_object() ? slotShown(c["from"]) : "?";
    text += " -> ";
    text += c.contains("to") && c["to"].is_object() ? slotShown(c["to"]) : "?";
    return text;
}

}  // namespace

std::string historyLine(const HistoryEntry& e) {
    json j = {{"format", kHistoryFormat}, {"time", e.time},   {"command", e.command},
              {"device", e.device},       {"port", e.port},   {"event", eventName(e.event)},
              {"ok", e.ok}};
    if (!e.date.empty()) j["date"] = e.date;
    if (!e.program.empty()) j["program"] = e.program;
    if (e.before && e.after) {
        json changes = json::array();
        for (const DocumentDifference& d : e.differences) {
            if (d.kind == DifferenceKind::Slot) {
                changes.push_back({{"day", d.day},
                                   {"dayName", std::string(kDayNames[static_cast<size_t>(d.day - 1)])},
                                   {"slot", d.slot},
                                   {"from", slotJson(e.before->slot(d.day, d.slot))},
                                   {"to", slotJson(e.after->slot(d.day, d.slot))}});
            } else {
                changes.push_back({{"setting", settingName(d.kind)},
                                   {"from", settingJson(*e.before, d.kind)},
                                   {"to", settingJson(*e.after, d.kind)}});
            }
        }
        j["changes"] = std::move(changes);
    }
    if (e.drift) j["drift"] = *e.drift;
    if (!e.detail.empty()) j["detail"] = e.detail;
    // Invalid UTF-8 in a name or message is replaced, never a reason to lose the line.
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

bool appendHistoryLine(const std::string& path, const std::string& line) {
    std::error_code ec;
    const std::filesystem::path p = pathFromUtf8(path);
    if (p.has_parent_path() && !std::filesystem::is_directory(p.parent_path(), ec)) return false;
    std::ofstream out(p, std::ios::binary | std::ios::app);
    if (!out) return false;
    const std::string text = line + "\n";
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    return static_cast<bool>(out);
}

bool historyAppendable(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path p = pathFromUtf8(path);
    if (p.has_parent_path() && !std::filesystem::is_directory(p.parent_path(), ec)) return false;
    std::ofstream out(p, std::ios::binary | std::ios::app);
    return static_cast<bool>(out);
}

HistoryRead parseHistory(const std::string& text) {
    HistoryRead read;
    read.opened = true;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        const json j = json::parse(line, nullptr, false);
        if (j.is_discarded() || !j.is_object() || !j.contains("time") || !j.contains("event")) {
            read.errors.push_back("строка " + std::to_string(number) + ": не запись истории");
            continue;
        }
        HistoryRecord r;
        try {
        auto str = [&](const char* key) {
            const auto it = j.find(key);
            return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
        };
        r.time = str("time");
        r.command = str("command");
        r.device = str("device");
        r.port = str("port");
        r.event = str("event");
        r.date = str("date");
        r.detail = str("detail");
        r.ok = j.value("ok", false);
        if (const auto it = j.find("drift"); it != j.end() && it->is_number_integer()) r.drift = it->get<int64_t>();
        if (const auto it = j.find("changes"); it != j.end() && it->is_array())
            for (const json& c : *it)
                if (c.is_object()) r.changes.push_back(changeText(c));
        } catch (const json::exception&) {
            read.errors.push_back("строка " + std::to_string(number) + ": не запись истории");
            continue;
        }
        r.json = line;
        read.records.push_back(std::move(r));
    }
    return read;
}

HistoryRead readHistoryFile(const std::string& path) {
    std::ifstream in(pathFromUtf8(path), std::ios::binary);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return parseHistory(text.str());
}

}  // namespace zave
