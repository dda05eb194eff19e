#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <limits>
#include <string>

#include "link/datemask.h"

namespace zave {
namespace {

LocalTime at(int64_t year, int month, int day, int hour, int minute, int second) {
    LocalTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    return t;
}

struct MaskCase {
    const char* name;
    const char* mask;
    LocalTime time;
    const char* expected;
};

void PrintTo(const MaskCase& c, std::ostream* os) { *os << '"' << c.mask << '"'; }

class DateMaskTest : public ::testing::TestWithParam<MaskCase> {};

TEST_P(DateMaskTest, Formats) {
    const MaskCase& c = GetParam();
    EXPECT_EQ(formatDateMask(c.mask, c.time), c.expected) << "mask \"" << c.mask << "\"";
}

const LocalTime kMorning = at(2026, 12, 7, 9, 5, 3);

INSTANTIATE_TEST_SUITE_P(
    Masks, DateMaskTest,
    ::testing::Values(
        MaskCase{"ClockArrow", "%hh:%ii:%ss ->", kMorning, "09:05:03 ->"},
        MaskCase{"DateAndTime", " %dd.%mm.%yyyy  %hh:%ii:%ss", kMorning, " 07.12.2026  09:05:03"},
        MaskCase{"DateAndTimeOnALeapDay", " %dd.%mm.%yyyy  %hh:%ii:%ss", at(2040, 2, 29, 23, 59, 7),
                 " 29.02.2040  23:59:07"},
        MaskCase{"HoursAndMinutes", "%hh:%ii", at(2026, 1, 1, 0, 0, 0), "00:00"},
        MaskCase{"Year2040", "%yyyy", at(2040, 1, 1, 0, 0, 0), "2040"},
        MaskCase{"YearPaddedToFourDigits", "%yyyy", at(5, 1, 1, 0, 0, 0), "0005"},
        MaskCase{"YearOfFiveDigits", "%yyyy", at(10000, 1, 1, 0, 0, 0), "10000"},
        MaskCase{"NegativeYear", "%yyyy", at(-5, 1, 1, 0, 0, 0), "-0005"},
        MaskCase{"SmallestYear", "%yyyy", at(std::numeric_limits<int64_t>::min(), 1, 1, 0, 0, 0),
                 "-9223372036854775808"},
        // Anything that is not one of the codes is copied as it stands.
        MaskCase{"EmptyMask", "", kMorning, ""},
        MaskCase{"LonePercent", "%", kMorning, "%"},
        MaskCase{"TrailingPercent", "100%", kMorning, "100%"},
        MaskCase{"DoublePercent", "%%hh", kMorning, "%09"},
        MaskCase{"SingleLetterCodes", "%h%i%s%d%m%y", kMorning, "%h%i%s%d%m%y"},
        MaskCase{"ShortYearCodes", "%yyy.%yy", kMorning, "%yyy.%yy"},
        MaskCase{"UppercaseCodes", "%HH %II", kMorning, "%HH %II"},
        MaskCase{"ThreeHs", "%hhh", kMorning, "09h"},
        MaskCase{"FiveYs", "%yyyyy", kMorning, "2026y"},
        MaskCase{"CyrillicText", "Время: %hh ч", kMorning, "Время: 09 ч"},
        MaskCase{"LettersWithoutPercent", "hh ii ss", kMorning, "hh ii ss"}),
    [](const ::testing::TestParamInfo<MaskCase>& info) { return std::string(info.param.name); });

TEST(StampedLogText, StampIsFollowedDirectlyByTheText) {
    EXPECT_EQ(stampedLogText(kMorning, " Порт закрыт"), "09:05:03 -> Порт закрыт");
    EXPECT_EQ(stampedLogText(at(2026, 1, 1, 10, 15, 42), "Обнаружено новое "),
              "10:15:42 ->Обнаружено новое ");
    // A text holding mask codes is not formatted again.
    EXPECT_EQ(stampedLogText(kMorning, "%hh"), "09:05:03 ->%hh");
}

// The C library's local calendar reading of `t`; false when it has none.
bool libraryLocalTime(std::time_t t, std::tm& parts) {
#ifdef _WIN32
    return localtime_s(&parts, &t) == 0;
#else
    return localtime_r(&t, &parts) != nullptr;
#endif
}

TEST(SystemLocalTime, IsACoherentCalendarReading) {
    const std::time_t before = std::time(nullptr);
    const LocalTime t = systemLocalTime();
    std::tm parts{};
    ASSERT_TRUE(libraryLocalTime(before, parts));

    // The date is a real one and the day of week belongs to it (0 = Sunday).
    const std::chrono::year_month_day date{std::chrono::year(int(t.year)),
                                           std::chrono::month(unsigned(t.month)),
                                           std::chrono::day(unsigned(t.day))};
    ASSERT_TRUE(date.ok()) << t.year << "-" << t.month << "-" << t.day;
    EXPECT_EQ(t.dayOfWeek, int(std::chrono::weekday(std::chrono::sys_days(date)).c_encoding()));
    EXPECT_GE(t.hour, 0);
    EXPECT_LE(t.hour, 23);
    EXPECT_GE(t.minute, 0);
    EXPECT_LE(t.minute, 59);
    EXPECT_GE(t.second, 0);
    EXPECT_LE(t.second, 59);
    // Same year as the C library reports (the reading may cross a new year
    // only at the stroke of midnight on 31 December).
    EXPECT_LE(std::abs(t.year - (int64_t(parts.tm_year) + 1900)), 1);
}

}  // namespace
}  // namespace zave
