#include "cli/render.h"

#include <algorithm>
#include <cstdio>

#include "schedule/number_rule.h"

namespace zave::cli {

namespace {

std::string twoDigits(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

std::string volumeText(int volume) { return std::to_string(volume) + "%"; }

std::string slotList(const std::vector<int>& slots) {
    std::string text = slots.size() == 1 ? "слот " : "слоты ";
    for (size_t i = 0; i < slots.size(); ++i) text += (i ? ", " : "") + std::to_string(slots[i]);
    return text;
}

}  // namespace

std::string dayName(int day) {
    return day >= 1 && day <= kDayCount ? std::string(kDayNames[static_cast<size_t>(day - 1)]) : "";
}

std::string timeText(int hour, int minute) { return twoDigits(hour) + ":" + twoDigits(minute); }

std::string slotText(const TimeSlot& slot) {
    std::string state = slot.enabled == 1 ? "вкл." : "выкл.";
    if (slot.enabled != 0 && slot.enabled != 1) state += "(" + std::to_string(slot.enabled) + ")";
    return timeText(slot.hour, slot.minute) + " " + state + " " + volumeText(slot.volume);
}

std::string soundTypeText(int soundType) {
    if (soundType < 1 || soundType > static_cast<int>(kSoundTypeNames.size())) return "не выбран";
    return std::string(kSoundTypeNames[static_cast<size_t>(soundType - 1)]);
}

std::string soundDisabledText(int soundDisabled) {
    if (soundDisabled == 0) return "нет";
    if (soundDisabled == 1) return "да";
    return "да (" + std::to_string(soundDisabled) + ")";
}

std::string faultText(const DayPlan& day, const DayFault& fault) {
    const TimeSlot& first = day.slot(fault.slots.front());
    const std::string detail = fault.kind == DayCheckResult::DuplicateTimes ? timeText(first.hour, first.minute)
                                                                             : volumeText(first.volume);
    return slotList(fault.slots) + " (" + detail + "): " + std::string(dayCheckMessage(fault.kind));
}

std::string documentFaultText(const ScheduleDocument& doc, const DocumentFault& fault) {
    return dayName(fault.day) + ", " + faultText(doc.day(fault.day), fault.fault);
}

std::string pulseTimeNote(const ScheduleDocument& doc) {
    const std::optional<std::string> corrected = correctedPulseSwitchTime(doc.pulseSwitchTime);
    if (!corrected) return {};
    return "Время перехода на частые звук.импульсы \"" + doc.pulseSwitchTime + "\" вне 1..255: в устройство уйдёт " +
           std::to_string(readInteger(doc.pulseSwitchTime)) + ", окно при правке заменит на " + *corrected;
}

std::vector<std::string> programTable(const ScheduleDocument& doc) {
    std::vector<std::string> lines;
    lines.push_back("День, показанный в окне: " + dayName(doc.currentDay));
    for (int d = 1; d <= kDayCount; ++d) {
        const DayPlan& day = doc.day(d);
        const std::vector<DayFault> faults = dayFaults(day);
        lines.emplace_back();
        lines.push_back(dayName(d) + (faults.empty() ? "" : " — ошибок: " + std::to_string(faults.size())));
        for (const DayFault& f : faults) lines.push_back("  ! " + faultText(day, f));

        std::vector<int> enabled;
        for (int k = 1; k <= kSlotCount; ++k)
            if (day.slot(k).enabled == 1) enabled.push_back(k);
        std::stable_sort(enabled.begin(), enabled.end(), [&](int a, int b) {
            const TimeSlot& x = day.slot(a);
            const TimeSlot& y = day.slot(b);
            return x.hour != y.hour ? x.hour < y.hour : x.minute < y.minute;
        });
        const int disabled = kSlotCount - static_cast<int>(enabled.size());
        if (enabled.empty()) {
            lines.push_back("  включённых слотов нет, выключено: " + std::to_string(disabled));
            continue;
        }
        for (int k : enabled) {
            const TimeSlot& s = day.slot(k);
            bool faulty = false;
            for (const DayFault& f : faults)
                faulty = faulty || std::find(f.slots.begin(), f.slots.end(), k) != f.slots.end();
            char volume[24];
            std::snprintf(volume, sizeof volume, "%5s", volumeText(s.volume).c_str());
            lines.push_back("  " + timeText(s.hour, s.minute) + "  " + volume + "  слот " + std::to_string(k) +
                            (faulty ? "  !" : ""));
        }
        lines.push_back("  выключено: " + std::to_string(disabled));
    }
    lines.emplace_back();
    lines.push_back("Вид звукового сопровождения: " + soundTypeText(doc.soundType));
    lines.push_back("Время перехода на частые звук.импульсы: " + doc.pulseSwitchTime);
    lines.push_back("Отключить звуковое сопровождение: " + soundDisabledText(doc.soundDisabled));
    if (const std::string note = pulseTimeNote(doc); !note.empty()) lines.push_back("  замечание: " + note);
    return lines;
}

std::vector<std::string> differenceLines(const ScheduleDocument& a, const ScheduleDocument& b,
                                         const std::vector<DocumentDifference>& differences) {
    std::vector<std::string> lines;
    for (const DocumentDifference& d : differences) {
        switch (d.kind) {
        case DifferenceKind::Slot:
            lines.push_back(dayName(d.day) + ", слот " + std::to_string(d.slot) + ": " + slotText(a.slot(d.day, d.slot)) +
                            " -> " + slotText(b.slot(d.day, d.slot)));
            break;
        case DifferenceKind::SoundType:
            lines.push_back("Вид звукового сопровождения: " + soundTypeText(a.soundType) + " -> " +
                            soundTypeText(b.soundType));
            break;
        case DifferenceKind::PulseSwitchTime:
            lines.push_back("Время перехода на частые звук.импульсы: \"" + a.pulseSwitchTime + "\" -> \"" +
                            b.pulseSwitchTime + "\"");
            break;
        case DifferenceKind::SoundDisabled:
            lines.push_back("Отключить звуковое сопровождение: " + soundDisabledText(a.soundDisabled) + " -> " +
                            soundDisabledText(b.soundDisabled));
            break;
        }
    }
    return lines;
}

}  // namespace zave::cli
