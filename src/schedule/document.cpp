#include "schedule/document.h"

#include "schedule/utf8.h"

namespace zave {

const std::array<std::string_view, kDayCount> kDayNames = {
    "Понедельник", "Вторник", "Среда", "Четверг", "Пятница", "Суббота", "Воскресенье",
};

const std::array<std::string_view, 3> kSoundTypeNames = {
    "Сигнал №1", "Сигнал №2", "Сигнал №3",
};

void resetDocument(ScheduleDocument& doc) {
    doc = ScheduleDocument{};
    for (DayPlan& day : doc.days)
        for (TimeSlot& slot : day.slots) slot = TimeSlot{};
    doc.soundType = 1;
    doc.pulseSwitchTime = "10";
    doc.soundDisabled = 0;
    doc.currentDay = 1;
}

namespace {

// Lower-case form of a Latin or Cyrillic letter; other characters unchanged.
char32_t foldCase(char32_t cp) {
    if (cp >= U'A' && cp <= U'Z') return cp + (U'a' - U'A');
    if (cp >= 0x0410 && cp <= 0x042F) return cp + 0x20;   // А..Я -> а..я
    if (cp >= 0x0400 && cp <= 0x040F) return cp + 0x50;   // Ѐ..Џ (Ё among them) -> ѐ..џ
    return cp;
}

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const utf8::Step x = utf8::decodeAt(a, i);
        const utf8::Step y = utf8::decodeAt(b, j);
        if (x.ok != y.ok) return false;
        if (x.ok) {
            if (foldCase(x.codePoint) != foldCase(y.codePoint)) return false;
        } else if (a.substr(i, x.length) != b.substr(j, y.length)) {
            return false;  // broken bytes only match the very same bytes
        }
        i += x.length;
        j += y.length;
    }
    return i == a.size() && j == b.size();
}

int dayNumberByName(std::string_view name) {
    for (int d = 0; d < kDayCount; ++d)
        if (equalsIgnoringCase(name, kDayNames[static_cast<size_t>(d)])) return d + 1;
    return 0;
}

int soundTypeByName(std::string_view name) {
    for (int t = 0; t < static_cast<int>(kSoundTypeNames.size()); ++t)
        if (equalsIgnoringCase(name, kSoundTypeNames[static_cast<size_t>(t)])) return t + 1;
    return 0;
}

bool setCurrentDay(ScheduleDocument& doc, int day) {
    if (day < 1 || day > kDayCount) return false;
    doc.currentDay = day;
    return true;
}

bool setCurrentDayByName(ScheduleDocument& doc, std::string_view name) {
    return setCurrentDay(doc, dayNumberByName(name));
}

}  // namespace zave
