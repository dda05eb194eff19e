#include "schedule/civil_date.h"

#include <cstdio>

namespace zave {

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

bool isValidDate(const CivilDate& d) {
    return d.year >= 1 && d.year <= 9999 && d.day >= 1 && d.day <= daysInMonth(d.year, d.month);
}

// Howard Hinnant's days-from-civil and civil-from-days.
int64_t dayNumber(const CivilDate& d) {
    const int64_t y = static_cast<int64_t>(d.year) - (d.month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t mp = (d.month + 9) % 12;
    const int64_t doy = (153 * mp + 2) / 5 + d.day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilDate dateFromDayNumber(int64_t n) {
    n += 719468;
    const int64_t era = (n >= 0 ? n : n - 146096) / 146097;
    const int64_t doe = n - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day};
}

CivilDate addDays(const CivilDate& d, int64_t days) { return dateFromDayNumber(dayNumber(d) + days); }

int weekdayOf(const CivilDate& d) {
    // 1970-01-01 was a Thursday (4).
    const int64_t n = dayNumber(d);
    const int64_t w = ((n % 7) + 7 + 3) % 7;  // 0 = Monday
    return static_cast<int>(w) + 1;
}

std::optional<CivilDate> parseDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    auto number = [&](size_t from, size_t count) -> int {
        int v = 0;
        for (size_t i = from; i < from + count; ++i) {
            if (text[i] < '0' || text[i] > '9') return -1;
            v = v * 10 + (text[i] - '0');
        }
        return v;
    };
    const CivilDate d{number(0, 4), number(5, 2), number(8, 2)};
    if (d.year < 0 || d.month < 0 || d.day < 0 || !isValidDate(d)) return std::nullopt;
    return d;
}

std::string formatDate(const CivilDate& d) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

}  // namespace zave
