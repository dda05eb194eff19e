#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "schedule/cp1251.h"
#include "schedule/ptm_codec.h"

namespace zave {
namespace {

using Bytes = std::vector<uint8_t>;

void append(Bytes& out, std::string_view s) { out.insert(out.end(), s.begin(), s.end()); }

Bytes bytesOf(std::string_view s) { return Bytes(s.begin(), s.end()); }

// A literal with embedded NUL bytes, whole.
template <size_t N>
std::string bin(const char (&s)[N]) { return std::string(s, N - 1); }

std::string textAt(const Bytes& b, size_t from, size_t to) {  // [from, to]
    return std::string(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(to) + 1);
}

// A document that differs from the default in every field.
ScheduleDocument busyDocument() {
    ScheduleDocument doc;
    for (int d = 1; d <= kDayCount; ++d)
        for (int k = 1; k <= kSlotCount; ++k)
            doc.slot(d, k) = TimeSlot{(d + k) % 2, (d * 5 + k) % 24, (d * 7 + k * 3) % 60, (d * 13 + k) % 101};
    doc.soundType = 3;
    doc.pulseSwitchTime = "42";
    doc.soundDisabled = 1;
    doc.currentDay = 4;
    return doc;
}

TEST(PtmEncode, WorkedExampleByteForByte) {
    ScheduleDocument doc;
    resetDocument(doc);
    doc.slot(1, 1) = TimeSlot{1, 8, 30, 50};
    const Bytes b = encodeDocument(doc);

    ASSERT_EQ(b.size(), 383u);
    EXPECT_EQ(textAt(b, 0, 15), "wersia 3.00 unic");
    EXPECT_EQ(textAt(b, 16, 17), "\r\n");
    EXPECT_EQ(textAt(b, 18, 28), utf8ToCp1251("Понедельник"));
    EXPECT_EQ(textAt(b, 18, 28), "\xCF\xEE\xED\xE5\xE4\xE5\xEB\xFC\xED\xE8\xEA");
    EXPECT_EQ(textAt(b, 29, 30), "\r\n");
    EXPECT_EQ(b[31], 0x01);
    EXPECT_EQ(b[32], 0x08);
    EXPECT_EQ(b[33], 0x1E);
    EXPECT_EQ(b[34], 0x32);
    for (size_t i = 35; i <= 366; ++i) EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(textAt(b, 367, 375), "\xD1\xE8\xE3\xED\xE0\xEB \xB9" "1");
    EXPECT_EQ(textAt(b, 376, 377), "\r\n");
    EXPECT_EQ(textAt(b, 378, 379), "10");
    EXPECT_EQ(textAt(b, 380, 381), "\r\n");
    EXPECT_EQ(b[382], 0);

    ScheduleDocument back = busyDocument();
    ASSERT_EQ(decodeDocument(b, back), DocumentReadStatus::Ok);
    EXPECT_EQ(back, doc);
}

TEST(PtmEncode, SlotAddressFollowsTheDayNameLength) {
    for (int shown = 1; shown <= kDayCount; ++shown) {
        ScheduleDocument doc;
        doc.currentDay = shown;
        doc.slot(5, 9) = TimeSlot{1, 21, 45, 77};
        const Bytes b = encodeDocument(doc);
        const size_t nameLength = utf8ToCp1251(kDayNames[static_cast<size_t>(shown - 1)]).size();
        const size_t at = 20 + nameLength + 4 * (12 * (5 - 1) + (9 - 1));
        ASSERT_LT(at + 3, b.size());
        EXPECT_EQ(b[at], 1);
        EXPECT_EQ(b[at + 1], 21);
        EXPECT_EQ(b[at + 2], 45);
        EXPECT_EQ(b[at + 3], 77);
        EXPECT_EQ(b.size(), 18 + nameLength + 2 + 336 + 11 + 4 + 1) << shown;
    }
}

TEST(PtmEncode, SettingsLines) {
    struct Row { int soundType; std::string pulse; int soundDisabled; std::string tail; };
    // tail = everything after the slot block
    const Row rows[] = {
        {1, "10", 0, bin("\xD1\xE8\xE3\xED\xE0\xEB \xB9" "1\r\n10\r\n\x00")},
        {2, "", 1, "\xD1\xE8\xE3\xED\xE0\xEB \xB9" "2\r\n\r\n\x01"},
        {3, "255", 7, "\xD1\xE8\xE3\xED\xE0\xEB \xB9" "3\r\n255\r\n\x01"},     // the box is ticked
        {0, "5", -1, "\r\n5\r\n\x01"},                                          // no signal shown
        {4, "5", 0, bin("\r\n5\r\n\x00")},
        {1, "тест", 0, bin("\xD1\xE8\xE3\xED\xE0\xEB \xB9" "1\r\n\xF2\xE5\xF1\xF2\r\n\x00")},
        {1, "日1", 0, bin("\xD1\xE8\xE3\xED\xE0\xEB \xB9" "1\r\n?1\r\n\x00")},
        {1, "1\r\n2", 0, bin("\xD1\xE8\xE3\xED\xE0\xEB \xB9" "1\r\n1??2\r\n\x00")},
    };
    for (const Row& r : rows) {
        ScheduleDocument doc;
        doc.soundType = r.soundType;
        doc.pulseSwitchTime = r.pulse;
        doc.soundDisabled = r.soundDisabled;
        const Bytes b = encodeDocument(doc);
        const size_t blockEnd = 18 + 13 + 336;
        ASSERT_GE(b.size(), blockEnd);
        EXPECT_EQ(std::string(b.begin() + blockEnd, b.end()), r.tail) << r.soundType << " '" << r.pulse << "'";
    }
}

TEST(PtmRoundTrip, EveryFieldOfEveryDay) {
    const int32_t volumes[] = {-128, 127, 200, 0, 100, -1, 255, 13, 10};
    for (int signal = 1; signal <= 3; ++signal) {
        ScheduleDocument doc;
        for (int d = 1; d <= kDayCount; ++d)
            for (int k = 1; k <= kSlotCount; ++k)
                doc.slot(d, k) = TimeSlot{(d * k) % 2, k % 3 == 0 ? 13 : (d + k) % 24, k % 4 == 0 ? 10 : (d * k) % 60,
                                          volumes[(d * 12 + k) % 9]};
        doc.slot(7, 12) = TimeSlot{1, 13, 10, 200};
        doc.soundType = signal;
        doc.pulseSwitchTime = "Время 12 №5 ё";
        doc.soundDisabled = signal == 2 ? 1 : 0;
        doc.currentDay = 3;

        const Bytes b = encodeDocument(doc);
        ScheduleDocument back;
        ASSERT_EQ(decodeDocument(b, back), DocumentReadStatus::Ok);

        ScheduleDocument expected = doc;
        for (DayPlan& day : expected.days)
            for (TimeSlot& s : day.slots) s.volume = static_cast<int8_t>(s.volume & 0xFF);
        EXPECT_EQ(back, expected) << signal;
        EXPECT_EQ(back.slot(7, 12), (TimeSlot{1, 13, 10, -56}));
        EXPECT_EQ(back.currentDay, 3);
        EXPECT_EQ(back.soundType, signal);
        EXPECT_EQ(back.pulseSwitchTime, "Время 12 №5 ё");
    }
}

// Builds file content from its parts, with chosen line ends.
struct FileParts {
    std::string format = "wersia 3.00 unic";
    std::string day = "\xD1\xF0\xE5\xE4\xE0";  // Среда
    Bytes block = Bytes(336, 0);
    std::string signal = "\xD1\xE8\xE3\xED\xE0\xEB \xB9" "2";
    std::string pulse = "200";
    Bytes last = {1};
    std::string end1 = "\r\n", end2 = "\r\n", end4 = "\r\n", end5 = "\r\n";
    Bytes build() const {
        Bytes b;
        append(b, format); append(b, end1);
        append(b, day); append(b, end2);
        b.insert(b.end(), block.begin(), block.end());
        append(b, signal); append(b, end4);
        append(b, pulse); append(b, end5);
        b.insert(b.end(), last.begin(), last.end());
        return b;
    }
};

TEST(PtmDecode, LineEnds) {
    struct Row { const char* what; std::string e1, e2, e4, e5; };
    const Row rows[] = {
        {"CR LF", "\r\n", "\r\n", "\r\n", "\r\n"},
        {"lone LF", "\n", "\n", "\n", "\n"},
        {"lone CR", "\r", "\r", "\r", "\r"},
        {"mixed", "\n", "\r", "\r\n", "\r"},
    };
    for (const Row& r : rows) {
        FileParts parts;
        parts.end1 = r.e1; parts.end2 = r.e2; parts.end4 = r.e4; parts.end5 = r.e5;
        parts.block[0] = 1; parts.block[1] = 0x0D; parts.block[2] = 0x0A; parts.block[3] = 0x0D;
        parts.block[335] = 0x0A;
        ScheduleDocument doc;
        ASSERT_EQ(decodeDocument(parts.build(), doc), DocumentReadStatus::Ok) << r.what;
        EXPECT_EQ(doc.currentDay, 3) << r.what;
        EXPECT_EQ(doc.slot(1, 1), (TimeSlot{1, 13, 10, 13})) << r.what;
        EXPECT_EQ(doc.slot(7, 12).volume, 10) << r.what;
        EXPECT_EQ(doc.soundType, 2) << r.what;
        EXPECT_EQ(doc.pulseSwitchTime, "200") << r.what;
        EXPECT_EQ(doc.soundDisabled, 1) << r.what;
    }
}

TEST(PtmDecode, NamesAndSettings) {
    struct Row {
        const char* what;
        std::string day, signal, pulse;
        Bytes last;
        int currentDay, soundType;
        std::string pulseText;
        int soundDisabled;
    };
    // The document starts showing Saturday with signal 3.
    const Row rows[] = {
        {"upper-case names", "\xD1\xD0\xC5\xC4\xC0", "\xD1\xC8\xC3\xCD\xC0\xCB \xB9" "1", "7", {0}, 3, 1, "7", 0},
        {"lower-case Ё day name is no day", "\xB8", "x", "", {}, 6, 3, "", 0},
        {"day name stored as UTF-8 is no day", "Среда", "Сигнал №1", "1", {1}, 6, 3, "1", 1},
        {"empty names", "", "", "", {0}, 6, 3, "", 0},
        {"name with a trailing blank", "\xD1\xF0\xE5\xE4\xE0 ", "\xD1\xE8\xE3\xED\xE0\xEB \xB9" "1 ", "x", {2}, 6, 3,
         "x", 2},
        {"pulse kept uncorrected", "\xD1\xF0\xE5\xE4\xE0", "", "0", {0xFF}, 3, 3, "0", 255},
        {"pulse with Cyrillic and the empty cell", "", "", "\xE4\xE2\xE0 \x98", {0x80}, 6, 3, "два \xC2\x98", 128},
    };
    for (const Row& r : rows) {
        FileParts parts;
        parts.day = r.day; parts.signal = r.signal; parts.pulse = r.pulse; parts.last = r.last;
        ScheduleDocument doc;
        doc.currentDay = 6;
        doc.soundType = 3;
        ASSERT_EQ(decodeDocument(parts.build(), doc), DocumentReadStatus::Ok) << r.what;
        EXPECT_EQ(doc.currentDay, r.currentDay) << r.what;
        EXPECT_EQ(doc.soundType, r.soundType) << r.what;
        EXPECT_EQ(doc.pulseSwitchTime, r.pulseText) << r.what;
        EXPECT_EQ(doc.soundDisabled, r.soundDisabled) << r.what;
    }
}

TEST(PtmDecode, RefusedFormatLineLeavesTheDocumentUnchanged) {
    const Bytes good = encodeDocument(ScheduleDocument{});
    struct Row { const char* what; Bytes content; };
    std::vector<Row> rows = {
        {"empty file", {}},
        {"capital W", bytesOf("Wersia 3.00 unic\r\n")},
        {"all capitals", bytesOf("WERSIA 3.00 UNIC\r\n")},
        {"other version", bytesOf("wersia 3.01 unic\r\n")},
        {"trailing blank", bytesOf("wersia 3.00 unic \r\n")},
        {"leading blank", bytesOf(" wersia 3.00 unic\r\n")},
        {"byte-order mark", bytesOf("\xEF\xBB\xBFwersia 3.00 unic\r\n")},
        {"cut format line", bytesOf("wersia 3.00 uni")},
        {"a blank line first", bytesOf("\r\nwersia 3.00 unic\r\n")},
        {"format line longer than any kept line",
         bytesOf("wersia 3.00 unic" + std::string(kPtmLineLimit * 2, 'x') + "\r\n")},
    };
    rows.push_back({"NUL before the line end", bytesOf(bin("wersia 3.00 unic\0\r\n"))});
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("wersia 3.00 unic")) utf16 += std::string{c, '\0'};
    rows.push_back({"UTF-16", bytesOf(utf16)});

    const ScheduleDocument before = busyDocument();
    for (const Row& r : rows) {
        ScheduleDocument doc = before;
        EXPECT_EQ(decodeDocument(r.content, doc), DocumentReadStatus::BadFormat) << r.what;
        EXPECT_EQ(doc, before) << r.what;
    }
}

TEST(PtmDecode, ShortFilesReadMissingBytesAsZero) {
    const ScheduleDocument saved = busyDocument();
    const Bytes full = encodeDocument(saved);  // Thursday shown: 7-byte name
    const size_t blockStart = 18 + 9;
    ASSERT_EQ(full.size(), blockStart + 336 + 11 + 4 + 1);

    ScheduleDocument start;
    start.soundType = 2;
    start.pulseSwitchTime = "99";
    start.soundDisabled = 1;
    start.currentDay = 7;
    for (int d = 1; d <= kDayCount; ++d)
        for (int k = 1; k <= kSlotCount; ++k) start.slot(d, k) = TimeSlot{1, 1, 1, 1};

    // Cut at several points; slots read before the cut come from the file.
    for (size_t keep : {size_t{16}, size_t{18}, size_t{20}, blockStart, blockStart + 1, blockStart + 101,
                        blockStart + 335, blockStart + 336, blockStart + 336 + 5, blockStart + 336 + 9, full.size() - 1}) {
        ScheduleDocument doc = start;
        ASSERT_EQ(decodeDocument(std::span(full.data(), keep), doc), DocumentReadStatus::Ok) << keep;
        EXPECT_EQ(doc.currentDay, keep >= blockStart - 2 ? 4 : 7) << keep;
        const size_t slotBytes = keep > blockStart ? std::min<size_t>(keep - blockStart, 336) : 0;
        for (int d = 1; d <= kDayCount; ++d) {
            for (int k = 1; k <= kSlotCount; ++k) {
                const size_t at = static_cast<size_t>(4 * (12 * (d - 1) + (k - 1)));
                const TimeSlot& s = doc.slot(d, k);
                const TimeSlot& src = saved.slot(d, k);
                EXPECT_EQ(s.enabled, at + 0 < slotBytes ? src.enabled : 0) << keep << " " << d << "/" << k;
                EXPECT_EQ(s.hour, at + 1 < slotBytes ? src.hour : 0) << keep << " " << d << "/" << k;
                EXPECT_EQ(s.minute, at + 2 < slotBytes ? src.minute : 0) << keep << " " << d << "/" << k;
                EXPECT_EQ(s.volume, at + 3 < slotBytes ? src.volume : 0) << keep << " " << d << "/" << k;
            }
        }
        const bool signalRead = keep >= blockStart + 336 + 9;  // "Сигнал №3" whole, ended by the end of data
        EXPECT_EQ(doc.soundType, signalRead ? 3 : 2) << keep;
        EXPECT_EQ(doc.pulseSwitchTime, keep == full.size() - 1 ? "42" : "") << keep;
        EXPECT_EQ(doc.soundDisabled, 0) << keep;
    }
}

TEST(PtmDecode, BytesAfterTheLastFieldAreIgnored) {
    const ScheduleDocument saved = busyDocument();
    Bytes b = encodeDocument(saved);
    append(b, "wersia 3.00 unic\r\nextra\r\n");
    b.resize(b.size() + 5000, 0xAA);
    ScheduleDocument doc;
    ASSERT_EQ(decodeDocument(b, doc), DocumentReadStatus::Ok);
    EXPECT_EQ(doc, saved);
}

TEST(PtmDecode, OverLongLinesAreCutAndSkipped) {
    {   // day line: no day by that name, but every later field is found
        FileParts parts;
        parts.day = "\xD1\xF0\xE5\xE4\xE0" + std::string(kPtmLineLimit + 700, 'z');
        parts.block[4] = 1;
        ScheduleDocument doc;
        doc.currentDay = 2;
        ASSERT_EQ(decodeDocument(parts.build(), doc), DocumentReadStatus::Ok);
        EXPECT_EQ(doc.currentDay, 2);
        EXPECT_EQ(doc.slot(1, 2).enabled, 1);
        EXPECT_EQ(doc.soundType, 2);
        EXPECT_EQ(doc.pulseSwitchTime, "200");
        EXPECT_EQ(doc.soundDisabled, 1);
    }
    {   // pulse line: the first kPtmLineLimit bytes are kept
        FileParts parts;
        parts.pulse = std::string(kPtmLineLimit + 1000, '7');
        parts.last = {1};
        ScheduleDocument doc;
        ASSERT_EQ(decodeDocument(parts.build(), doc), DocumentReadStatus::Ok);
        EXPECT_EQ(doc.pulseSwitchTime, std::string(kPtmLineLimit, '7'));
        EXPECT_EQ(doc.soundDisabled, 1);
    }
    {   // a line of exactly the limit is kept whole
        FileParts parts;
        parts.pulse = std::string(kPtmLineLimit, '\xE9');  // й
        ScheduleDocument doc;
        ASSERT_EQ(decodeDocument(parts.build(), doc), DocumentReadStatus::Ok);
        std::string expected;
        for (size_t i = 0; i < kPtmLineLimit; ++i) expected += "й";
        EXPECT_EQ(doc.pulseSwitchTime, expected);
    }
}

// Mutated copies of valid files: the reader never fails other than by
// refusing the format line, and what it reads is a document that saves and
// reloads to itself.
TEST(PtmDecode, MutatedFilesNeverBreakTheReader) {
    std::mt19937 gen(20240611u);
    const Bytes seeds[] = {encodeDocument(busyDocument()), encodeDocument(ScheduleDocument{})};
    const uint8_t specials[] = {0x00, 0x0A, 0x0D, 0x80, 0x98, 0xB9, 0xFF};
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes b = seeds[round % 2];
        const int edits = 1 + static_cast<int>(gen() % 8);
        for (int e = 0; e < edits; ++e) {
            const size_t at = b.empty() ? 0 : gen() % b.size();
            switch (gen() % 6) {
                case 0: if (!b.empty()) b[at] = static_cast<uint8_t>(gen()); break;
                case 1: if (!b.empty()) b[at] = specials[gen() % sizeof specials]; break;
                case 2: b.insert(b.begin() + static_cast<long>(at), specials[gen() % sizeof specials]); break;
                case 3: if (!b.empty()) b.erase(b.begin() + static_cast<long>(at)); break;
                case 4: b.resize(at); break;
                case 5: b.insert(b.begin() + static_cast<long>(at), gen() % 64, static_cast<uint8_t>(gen())); break;
            }
        }
        const ScheduleDocument before = busyDocument();
        ScheduleDocument doc = before;
        const DocumentReadStatus status = decodeDocument(b, doc);
        if (status == DocumentReadStatus::BadFormat) {
            ASSERT_EQ(doc, before) << round;
            continue;
        }
        ASSERT_EQ(status, DocumentReadStatus::Ok) << round;
        ++accepted;
        ASSERT_GE(doc.currentDay, 1);
        ASSERT_LE(doc.currentDay, 7);
        ASSERT_GE(doc.soundType, 1);
        ASSERT_LE(doc.soundType, 3);
        ASSERT_GE(doc.soundDisabled, 0);
        ASSERT_LE(doc.soundDisabled, 255);
        for (const DayPlan& day : doc.days)
            for (const TimeSlot& s : day.slots)
                for (int32_t v : {s.enabled, s.hour, s.minute, s.volume}) {
                    ASSERT_GE(v, -128);
                    ASSERT_LE(v, 127);
                }
        ASSERT_LE(doc.pulseSwitchTime.size(), kPtmLineLimit * 3);

        const Bytes once = encodeDocument(doc);
        ScheduleDocument again;
        ASSERT_EQ(decodeDocument(once, again), DocumentReadStatus::Ok) << round;
        ASSERT_EQ(again.days, doc.days) << round;
        ASSERT_EQ(again.currentDay, doc.currentDay) << round;
        ASSERT_EQ(again.soundType, doc.soundType) << round;
        ASSERT_EQ(again.soundDisabled, doc.soundDisabled != 0 ? 1 : 0) << round;
        ASSERT_EQ(encodeDocument(again), once) << round;
    }
    EXPECT_GT(accepted, 100);  // the loop really exercised the accepting path
}

}  // namespace
}  // namespace zave
