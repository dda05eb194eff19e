#include "cli/json_report.h"

#include "cli/render.h"

namespace zave::cli {

namespace {

const char* checkName(DayCheckResult r) {
    switch (r) {
    case DayCheckResult::DuplicateTimes: return "duplicateTimes";
    case DayCheckResult::VolumeOutOfRange: return "volumeOutOfRange";
    case DayCheckResult::None: break;
    }
    return "none";
}

Json slotJson(const TimeSlot& s) {
    return Json{{"enabled", s.enabled},
                {"hour", s.hour},
                {"minute", s.minute},
                {"time", timeText(s.hour, s.minute)},
                {"volume", s.volume}};
}

}  // namespace

std::string_view zavectlVersion() { return ZAVE_VERSION; }

Json jsonReport(std::string_view command) {
    return Json{{"format", kJsonFormat}, {"version", zavectlVersion()}, {"command", command}};
}

Json faultJson(const DocumentFault& f) {
    return Json{{"day", f.day},
                {"dayName", dayName(f.day)},
                {"kind", checkName(f.fault.kind)},
                {"slots", f.fault.slots},
                {"message", dayCheckMessage(f.fault.kind)}};
}

Json faultsJson(const std::vector<DocumentFault>& faults) {
    Json list = Json::array();
    for (const DocumentFault& f : faults) list.push_back(faultJson(f));
    return list;
}

Json programJson(const ScheduleDocument& doc) {
    Json j;
    j["currentDay"] = doc.currentDay;
    j["currentDayName"] = dayName(doc.currentDay);
    j["soundType"] = doc.soundType;
    j["soundTypeName"] = doc.soundType >= 1 && doc.soundType <= 3 ? soundTypeText(doc.soundType) : "";
    j["pulseSwitchTime"] = doc.pulseSwitchTime;
    j["soundDisabled"] = doc.soundDisabled;
    Json days = Json::array();
    for (int d = 1; d <= kDayCount; ++d) {
        const DayPlan& day = doc.day(d);
        Json slots = Json::array();
        for (int k = 1; k <= kSlotCount; ++k) {
            Json slot{{"slot", k}};
            slot.update(slotJson(day.slot(k)));
            slots.push_back(std::move(slot));
        }
        days.push_back(Json{{"day", d},
                            {"name", dayName(d)},
                            {"check", checkName(checkDayPlan(day))},
                            {"slots", std::move(slots)}});
    }
    j["days"] = std::move(days);
    j["faults"] = faultsJson(documentFaults(doc));
    return j;
}

Json differencesJson(const ScheduleDocument& a, const ScheduleDocument& b,
                     const std::vector<DocumentDifference>& differences, const char* aName, const char* bName) {
    Json list = Json::array();
    for (const DocumentDifference& d : differences) {
        Json j;
        switch (d.kind) {
        case DifferenceKind::Slot:
            j = Json{{"kind", "slot"}, {"day", d.day}, {"dayName", dayName(d.day)}, {"slot", d.slot}};
            j[aName] = slotJson(a.slot(d.day, d.slot));
            j[bName] = slotJson(b.slot(d.day, d.slot));
            break;
        case DifferenceKind::SoundType:
            j = Json{{"kind", "soundType"}, {aName, a.soundType}, {bName, b.soundType}};
            break;
        case DifferenceKind::PulseSwitchTime:
            j = Json{{"kind", "pulseSwitchTime"}, {aName, a.pulseSwitchTime}, {bName, b.pulseSwitchTime}};
            break;
        case DifferenceKind::SoundDisabled:
            j = Json{{"kind", "soundDisabled"}, {aName, a.soundDisabled}, {bName, b.soundDisabled}};
            break;
        }
        list.push_back(std::move(j));
    }
    return list;
}

std::string jsonText(const Json& report) {
    return report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace zave::cli
