// Programs, faults and differences as text a person reads.
#pragma once

#include <string>
#include <vector>

#include "schedule/compare.h"
#include "schedule/document.h"
#include "schedule/validation.h"

namespace zave::cli {

// "Понедельник" .. "Воскресенье" for 1..7; empty otherwise.
std::string dayName(int day);
// "08:30": hours and minutes with at least two digits each, as stored.
std::string timeText(int hour, int minute);
// "08:30 вкл. 50%" / "08:30 выкл. 50%"; an enabled value other than 0 and 1
// is shown as a number ("выкл.(2)").
std::string slotText(const TimeSlot& slot);
// "Сигнал №2", or "не выбран" for a number outside 1..3.
std::string soundTypeText(int soundType);
// "нет" / "да"; another value as "да (N)".
std::string soundDisabledText(int soundDisabled);
// "слоты 1, 2 (08:00): Задано несколько, одинаковых, временных интервалов"
// or "слот 4 (120%): Уровень громкости вне диапазона 0..100%".
std::string faultText(const DayPlan& day, const DayFault& fault);
// "Вторник, " followed by faultText.
std::string documentFaultText(const ScheduleDocument& doc, const DocumentFault& fault);
// A note when the window's field would replace the pulse time (it takes
// 1..255); empty otherwise. Not a fault: the window does not check it.
std::string pulseTimeNote(const ScheduleDocument& doc);

// The week as `show` prints it: one block per day with the enabled slots in
// time order, the disabled ones counted, the day's faults, then the sound
// settings.
std::vector<std::string> programTable(const ScheduleDocument& doc);

// One line per difference: "Вторник, слот 3: <in a> -> <in b>".
std::vector<std::string> differenceLines(const ScheduleDocument& a, const ScheduleDocument& b,
                                         const std::vector<DocumentDifference>& differences);

}  // namespace zave::cli
