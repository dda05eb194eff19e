// What a read gives back after a write, and the device clock as a time.
#include <gtest/gtest.h>

#include "device/clock.h"
#include "device/program_image.h"
#include "device/volume.h"

namespace zave {
namespace {

TEST(DeviceReadBack, ValuesTheEditorMakesComeBackUnchanged) {
    ScheduleDocument doc;
    int n = 0;
    for (int d = 1; d <= kDayCount; ++d)
        for (int k = 1; k <= kSlotCount; ++k, ++n) doc.slot(d, k) = TimeSlot{n % 2, n % 24, (n * 7) % 60, n % 101};
    doc.soundType = 2;
    doc.pulseSwitchTime = "200";
    doc.soundDisabled = 1;
    doc.currentDay = 4;
    EXPECT_EQ(deviceReadBack(doc), doc);
}

TEST(DeviceReadBack, WhatTheDeviceCannotHold) {
    struct Row {
        const char* what;
        TimeSlot written;
        TimeSlot readBack;
    } rows[] = {
        {"enabled 2 reads as disabled", {2, 8, 30, 50}, {0, 8, 30, 50}},
        // Level 275 = 0x113 travels as "11": level 17 reads as 17 - 150 %.
        {"volume 120 is cut by the frame's byte", {1, 8, 0, 120}, {1, 8, 0, -133}},
        {"volume -5 has a level of its own", {1, 8, 0, -5}, {1, 8, 0, -5}},
        // 200 + 128 = 0x148 travels as "14": hour 20 without the mark.
        {"hour 200 enabled", {1, 200, 0, 0}, {0, 20, 0, 0}},
        {"minute 300 travels as 0x12", {0, 1, 300, 0}, {0, 1, 18, 0}},
    };
    for (const Row& r : rows) {
        ScheduleDocument doc;
        doc.slot(3, 5) = r.written;
        EXPECT_EQ(deviceReadBack(doc).slot(3, 5), r.readBack) << r.what;
    }
}

TEST(DeviceReadBack, Settings) {
    struct Row {
        const char* pulseText;
        int soundDisabled;
        int soundType;
        const char* pulseBack;
        int disabledBack;
    } rows[] = {
        {"10", 0, 1, "10", 0},
        {" 010", 0, 1, "10", 0},
        {"abc", 0, 1, "0", 0},
        {"300", 0, 1, "18", 0},  // 300 = 0x12C travels as "12"
        {"-1", 0, 1, "255", 0},
        {"7", 5, 3, "7", 1},     // any set flag is sent as 1
    };
    for (const auto& r : rows) {
        ScheduleDocument doc;
        doc.pulseSwitchTime = r.pulseText;
        doc.soundDisabled = r.soundDisabled;
        doc.soundType = r.soundType;
        const ScheduleDocument back = deviceReadBack(doc);
        EXPECT_EQ(back.pulseSwitchTime, r.pulseBack) << r.pulseText;
        EXPECT_EQ(back.soundDisabled, r.disabledBack) << r.pulseText;
        EXPECT_EQ(back.soundType, r.soundType) << r.pulseText;
    }
}

ReplyData statusReply(int second, int minute, int hour, int weekday, int day, int month, int yearByte) {
    return ReplyData{0, 24, second, minute, hour, weekday, day, month, yearByte, 0, 0};
}

TEST(DeviceClockTime, Table) {
    struct Row {
        const char* what;
        ReplyData reply;
        bool valid;
        LocalTime t;
    } rows[] = {
        {"plain", statusReply(3, 5, 9, 1, 7, 12, 26), true, {2026, 12, 7, 9, 5, 3, 1}},
        {"weekday as sent", statusReply(0, 0, 0, 5, 1, 1, 0), true, {2000, 1, 1, 0, 0, 0, 5}},
        {"hour 24", statusReply(0, 0, 24, 1, 1, 1, 26), false, {}},
        {"weekday 0", statusReply(0, 0, 0, 0, 1, 1, 26), false, {}},
        {"month 13", statusReply(0, 0, 0, 1, 1, 13, 26), false, {}},
        {"31 April", statusReply(0, 0, 0, 1, 31, 4, 26), false, {}},
        {"29 February of a leap year", statusReply(0, 0, 0, 1, 29, 2, 28), true, {2028, 2, 29, 0, 0, 0, 1}},
        {"29 February of a common year", statusReply(0, 0, 0, 1, 29, 2, 27), false, {}},
    };
    for (const Row& r : rows) {
        const auto t = deviceClockTime(r.reply);
        ASSERT_EQ(t.has_value(), r.valid) << r.what;
        if (t) {
            EXPECT_EQ(*t, r.t) << r.what;
        }
    }
}

TEST(DeviceClockTime, SecondsBetween) {
    struct Row {
        LocalTime from, to;
        int64_t seconds;
    } rows[] = {
        {{2026, 12, 7, 9, 5, 3, 1}, {2026, 12, 7, 9, 5, 10, 1}, 7},
        {{2026, 12, 7, 9, 5, 10, 1}, {2026, 12, 7, 9, 5, 3, 1}, -7},
        {{2026, 12, 31, 23, 59, 59, 4}, {2027, 1, 1, 0, 0, 1, 5}, 2},
        {{2028, 2, 28, 12, 0, 0, 1}, {2028, 3, 1, 12, 0, 0, 3}, 2 * 86400},
        {{2027, 2, 28, 12, 0, 0, 0}, {2027, 3, 1, 12, 0, 0, 1}, 86400},
        {{2000, 1, 1, 0, 0, 0, 6}, {2026, 1, 1, 0, 0, 0, 4}, int64_t{9497} * 86400},
        {{2026, 6, 1, 0, 0, 0, 1}, {2026, 6, 1, 0, 0, 0, 3}, 0},  // the day of week plays no part
    };
    for (const Row& r : rows) EXPECT_EQ(secondsBetween(r.from, r.to), r.seconds);
}

// The time a reply waited before it was looked at is the computer's, not
// the device's drift.
TEST(DeviceClockTime, DriftCountsFromWhenTheReplyCame) {
    using std::chrono::milliseconds;
    const LocalTime now{2026, 12, 9, 18, 30, 10, 3};
    struct Row {
        LocalTime device;
        milliseconds age;
        int64_t drift;
    } rows[] = {
        {{2026, 12, 9, 18, 30, 10, 3}, milliseconds(0), 0},
        {{2026, 12, 9, 18, 30, 6, 3}, milliseconds(3900), 0},
        {{2026, 12, 9, 18, 30, 6, 3}, milliseconds(400), -4},
        {{2026, 12, 9, 18, 30, 15, 3}, milliseconds(1600), 7},
        {{2026, 12, 9, 18, 30, 10, 3}, milliseconds(-800), 0},  // never counted backwards
    };
    for (const Row& r : rows) EXPECT_EQ(clockDrift(now, r.device, r.age), r.drift) << r.age.count();
}

}  // namespace
}  // namespace zave
