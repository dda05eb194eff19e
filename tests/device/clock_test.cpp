#include "device/clock.h"

#include <gtest/gtest.h>

#include "link/frame.h"

namespace zave {
namespace {

LocalTime at(int64_t year, int month, int day, int hour, int minute, int second, int dayOfWeek) {
    return LocalTime{year, month, day, hour, minute, second, dayOfWeek};
}

ReplyData statusReply(int second, int minute, int hour, int weekday, int day, int month, int yearByte) {
    ReplyData r{};
    r[1] = 24;
    r[2] = second;
    r[3] = minute;
    r[4] = hour;
    r[5] = weekday;
    r[6] = day;
    r[7] = month;
    r[8] = yearByte;
    return r;
}

TEST(ClockTest, WeekdayAbbreviations) {
    const char* expected[] = {"", "Пн.", "Вт.", "Ср.", "Чт.", "Пт.", "Сб.", "Вс.", ""};
    for (int w = 0; w <= 8; ++w) EXPECT_EQ(weekdayAbbreviation(w), expected[w]) << w;
    EXPECT_EQ(weekdayAbbreviation(-1), "");
}

TEST(ClockTest, ComputerDateText) {
    struct Case {
        LocalTime t;
        const char* text;
    } cases[] = {
        {at(2026, 12, 7, 9, 5, 3, 1), "Пн. 07.12.2026  09:05:03"},
        {at(2026, 12, 13, 23, 59, 59, 0), "Вс. 13.12.2026  23:59:59"},  // Sunday is 0 for the system
        {at(2026, 12, 12, 0, 0, 0, 6), "Сб. 12.12.2026  00:00:00"},
        {at(2040, 2, 29, 12, 30, 0, 3), "Ср. 29.02.2040  12:30:00"},    // after 2038, in full
    };
    for (const Case& c : cases) EXPECT_EQ(computerDateText(c.t), c.text);
}

TEST(ClockTest, ClockRecord) {
    struct Case {
        LocalTime t;
        CommandParams record;
    } cases[] = {
        {at(2026, 12, 7, 9, 5, 3, 1), {3, 5, 9, 1, 7, 12, 26, 0, 0, 0, 0, 0}},
        {at(2026, 12, 13, 23, 59, 59, 0), {59, 59, 23, 7, 13, 12, 26, 0, 0, 0, 0, 0}},
        {at(1999, 12, 31, 23, 0, 0, 5), {0, 0, 23, 5, 31, 12, 0, 0, 0, 0, 0, 0}},
        {at(2000, 1, 1, 0, 0, 0, 6), {0, 0, 0, 6, 1, 1, 0, 0, 0, 0, 0, 0}},
        {at(2040, 3, 1, 1, 2, 3, 4), {3, 2, 1, 4, 1, 3, 40, 0, 0, 0, 0, 0}},
        {at(2300, 1, 1, 0, 0, 0, 1), {0, 0, 0, 1, 1, 1, 300, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) EXPECT_EQ(clockRecord(c.t), c.record) << c.t.year;
}

TEST(ClockTest, ClockRecordOnTheWire) {
    EXPECT_EQ(commandFrame(SetClock, clockRecord(at(2026, 12, 7, 9, 5, 3, 1))),
              "0103050901070C1A" + std::string(10, '0') + "1F\r");
}

TEST(ClockTest, DeviceDateText) {
    struct Case {
        ReplyData reply;
        std::optional<std::string> text;
    } cases[] = {
        {statusReply(3, 5, 9, 1, 7, 12, 26), "Пн. 07.12.2026  09:05:03"},
        {statusReply(59, 59, 23, 7, 31, 12, 99), "Вс. 31.12.2099  23:59:59"},
        // The weekday shown is the device's own, whatever the date.
        {statusReply(0, 0, 0, 3, 7, 12, 26), "Ср. 07.12.2026  00:00:00"},
        {statusReply(0, 0, 0, 1, 1, 1, 255), "Пн. 01.01.2255  00:00:00"},
        // Out of range: nothing shown.
        {statusReply(3, 5, 24, 1, 7, 12, 26), std::nullopt},
        {statusReply(3, 5, 9, 0, 7, 12, 26), std::nullopt},
        {statusReply(3, 5, 9, 8, 7, 12, 26), std::nullopt},
        {statusReply(3, 5, 9, 1, 7, 13, 26), std::nullopt},
        {statusReply(3, 5, 9, 1, 7, 0, 26), std::nullopt},
        {statusReply(3, 5, 9, 1, 0, 12, 26), std::nullopt},
        {statusReply(3, 5, 9, 1, 32, 12, 26), std::nullopt},
        {statusReply(60, 5, 9, 1, 7, 12, 26), std::nullopt},
        {statusReply(3, 60, 9, 1, 7, 12, 26), std::nullopt},
        {statusReply(255, 255, 255, 255, 255, 255, 255), std::nullopt},
        {statusReply(-1, 5, 9, 1, 7, 12, 26), std::nullopt},
        // In range but no calendar date: zeros after the device's weekday.
        {statusReply(3, 5, 9, 4, 31, 4, 26), "Чт. 00.00.0000  00:00:00"},
        {statusReply(3, 5, 9, 7, 29, 2, 26), "Вс. 00.00.0000  00:00:00"},
        {statusReply(3, 5, 9, 4, 29, 2, 24), "Чт. 29.02.2024  09:05:03"},
        {statusReply(3, 5, 9, 2, 29, 2, 0), "Вт. 29.02.2000  09:05:03"},    // divisible by 400
        {statusReply(3, 5, 9, 2, 29, 2, 100), "Вт. 00.00.0000  00:00:00"},  // 2100: by 100 only
        {statusReply(3, 5, 9, 2, 30, 2, 24), "Вт. 00.00.0000  00:00:00"},
        {statusReply(3, 5, 9, 2, 31, 6, 24), "Вт. 00.00.0000  00:00:00"},
        {statusReply(3, 5, 9, 2, 30, 6, 24), "Вт. 30.06.2024  09:05:03"},
    };
    for (const Case& c : cases) EXPECT_EQ(deviceDateText(c.reply), c.text) << c.reply[6] << "." << c.reply[7];
}

}  // namespace
}  // namespace zave
