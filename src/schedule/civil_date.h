// A date of the local calendar (no time, no zone): what a plan's rules name
// and what the week is composed from.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zave {

struct CivilDate {
    int year = 2000;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    friend auto operator<=>(const CivilDate&, const CivilDate&) = default;
};

bool isLeapYear(int year);
int daysInMonth(int year, int month);
bool isValidDate(const CivilDate& d);

// Days since 1970-01-01 (negative before) and back.
int64_t dayNumber(const CivilDate& d);
CivilDate dateFromDayNumber(int64_t n);
CivilDate addDays(const CivilDate& d, int64_t days);
// 1 = Monday .. 7 = Sunday, from the date itself.
int weekdayOf(const CivilDate& d);

// "2026-12-09"; only this form, a real date, is accepted.
std::optional<CivilDate> parseDate(std::string_view text);
std::string formatDate(const CivilDate& d);

}  // namespace zave
