#include "cli/json.h"

#include <cstdio>

#include "cli/render.h"
#include "schedule/validation.h"

namespace zave::cli {

namespace {

std::string checkName(DayCheckResult r) {
    switch (r) {
    case DayCheckResult::DuplicateTimes: return "duplicateTimes";
    case DayCheckResult::VolumeOutOfRange: return "volumeOutOfRange";
    case DayCheckResult::None: break;
    }
    return "none";
}

std::string intList(const std::vector<int>& values) {
    std::string text = "[";
    for (size_t i = 0; i < values.size(); ++i) text += (i ? ", " : "") + std::to_string(values[i]);
    return text + "]";
}

}  // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04X", c);
                out += esc;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string programJson(const ScheduleDocument& doc) {
    std::string j = "{\n";
    j += "  \"currentDay\": " + std::to_string(doc.currentDay) + ",\n";
    j += "  \"currentDayName\": " + jsonString(dayName(doc.currentDay)) + ",\n";
    j += "  \"soundType\": " + std::to_string(doc.soundType) + ",\n";
    j += "  \"soundTypeName\": " + jsonString(doc.soundType >= 1 && doc.soundType <= 3 ? soundTypeText(doc.soundType) : "") + ",\n";
    j += "  \"pulseSwitchTime\": " + jsonString(doc.pulseSwitchTime) + ",\n";
    j += "  \"soundDisabled\": " + std::to_string(doc.soundDisabled) + ",\n";
    j += "  \"days\": [\n";
    std::string faults;
    for (int d = 1; d <= kDayCount; ++d) {
        const DayPlan& day = doc.day(d);
        j += "    {\n";
        j += "      \"day\": " + std::to_string(d) + ",\n";
        j += "      \"name\": " + jsonString(dayName(d)) + ",\n";
        j += "      \"check\": " + jsonString(checkName(checkDayPlan(day))) + ",\n";
        j += "      \"slots\": [\n";
        for (int k = 1; k <= kSlotCount; ++k) {
            const TimeSlot& s = day.slot(k);
            j += "        {\"slot\": " + std::to_string(k) + ", \"enabled\": " + std::to_string(s.enabled) +
                 ", \"hour\": " + std::to_string(s.hour) + ", \"minute\": " + std::to_string(s.minute) +
                 ", \"time\": " + jsonString(timeText(s.hour, s.minute)) + ", \"volume\": " + std::to_string(s.volume) +
                 "}" + (k < kSlotCount ? ",\n" : "\n");
        }
        j += "      ]\n";
        j += std::string("    }") + (d < kDayCount ? ",\n" : "\n");
        for (const DayFault& f : dayFaults(day)) {
            if (!faults.empty()) faults += ",\n";
            faults += "    {\"day\": " + std::to_string(d) + ", \"dayName\": " + jsonString(dayName(d)) +
                      ", \"kind\": " + jsonString(checkName(f.kind)) + ", \"slots\": " + intList(f.slots) +
                      ", \"message\": " + jsonString(dayCheckMessage(f.kind)) + "}";
        }
    }
    j += "  ],\n";
    j += "  \"faults\": [" + (faults.empty() ? std::string() : "\n" + faults + "\n  ") + "]\n";
    j += "}\n";
    return j;
}

}  // namespace zave::cli
