#include "link/frame.h"

#include <gtest/gtest.h>

#include <string>

namespace zave {
namespace {

TEST(RenderByte, WritesTwoUppercaseDigitsPaddedOrCut) {
    struct Case {
        int64_t value;
        const char* text;
    } cases[] = {
        {0, "00"},     {5, "05"},     {10, "0A"},    {171, "AB"},   {255, "FF"},
        {256, "10"},   {300, "12"},   {4095, "FF"},  {4096, "10"},  {-1, "FF"},
        {-200, "FF"},  {INT64_MIN, "80"}, {INT64_MAX, "7F"},
    };
    for (const auto& c : cases) EXPECT_EQ(renderByte(c.value), c.text) << c.value;
}

TEST(FrameChecksum, SumsCharacterCodesModulo256) {
    EXPECT_EQ(frameChecksum(""), "00");
    EXPECT_EQ(frameChecksum("800000"), "28");  // 56 + 5 * 48 = 296
    EXPECT_EQ(frameChecksum("\xFF\x01"), "00");
}

TEST(QueryFrame, WireExamples) {
    struct Case {
        int64_t code, p1, p2;
        const char* wire;
    } cases[] = {
        {Status, 0, 0, "80000028\r"},
        {ReadHourBlock, 11, 20, "830B1442\r"},
        {ReadSettings, 0, 0, "8600002E\r"},
        // 0x38 + 0x33 + 0x31 + 0x32 + 0x46 + 0x46 = 0x15A
        {ReadHourBlock, 300, -1, "8312FF5A\r"},
    };
    for (const auto& c : cases) EXPECT_EQ(queryFrame(c.code, c.p1, c.p2), c.wire);
}

TEST(CommandFrame, WireExamples) {
    const CommandParams settings{0, 10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(commandFrame(WriteSettings, settings), "07000A01" + std::string(18, '0') + "F9\r");

    const CommandParams clock{3, 5, 9, 1, 7, 12, 26, 0, 0, 0, 0, 0};
    EXPECT_EQ(commandFrame(SetClock, clock), "0103050901070C1A" + std::string(10, '0') + "1F\r");

    // Out-of-range parameters follow the byte rule.
    const CommandParams odd{300, -1, 256, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const std::string body = "0412FF10" + std::string(18, '0');
    EXPECT_EQ(commandFrame(WriteHourBlock, odd), body + frameChecksum(body) + "\r");
    EXPECT_EQ(commandFrame(WriteHourBlock, odd).size(), 29u);
}

TEST(CountTokens, CountsEveryOccurrence) {
    struct Case {
        const char* reply;
        int on, os, ol, of;
    } cases[] = {
        {"", 0, 0, 0, 0},
        {"on#\r", 1, 0, 0, 0},
        {"of#\r", 0, 0, 0, 1},
        {"os#ol#\r", 0, 1, 1, 0},
        {"on#os#on#\r", 2, 1, 0, 0},
        {"18051E0C01070C1A000024on#\r", 1, 0, 0, 0},
        {"ON#Os#oN#o s#", 0, 0, 0, 0},
        {"oon##ol#of#", 1, 0, 1, 1},
    };
    for (const auto& c : cases) {
        const TokenCounts t = countTokens(c.reply);
        EXPECT_EQ(t.on, c.on) << c.reply;
        EXPECT_EQ(t.os, c.os) << c.reply;
        EXPECT_EQ(t.ol, c.ol) << c.reply;
        EXPECT_EQ(t.of, c.of) << c.reply;
    }
}

TEST(DecodeQueryReply, AcceptsTheExampleInEveryAllowedShape) {
    const std::array<int32_t, 10> expected{24, 5, 30, 12, 1, 7, 12, 26, 0, 0};
    const char* replies[] = {
        "18051E0C01070C1A000024on#\r",
        "18051E0C01070C1A000024",              // no 'o' at all: the whole text
        "\n18051E0C\r\n01070C1A00\n0024on#\r",  // line breaks anywhere
        "18051E0C01070C1A000024on#os#\r",
        "18051E0C01070C1A000024oXYZ",           // only the text before the first 'o' counts
    };
    for (const char* r : replies) {
        const auto data = decodeQueryReply(r);
        ASSERT_TRUE(data.has_value()) << r;
        EXPECT_EQ(*data, expected) << r;
    }
}

TEST(DecodeQueryReply, LowercaseDigitsCheckedAsReceived) {
    // "18051e0c01070c1a0000": the sum differs from the uppercase form by
    // 4 * 32 = 128 (e, c, c, a), so the checksum is 0x24 + 0x80 = 0xA4.
    const auto data = decodeQueryReply("18051e0c01070c1a0000A4on#\r");
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ((*data)[2], 30);
    EXPECT_EQ((*data)[3], 12);
    EXPECT_EQ((*data)[7], 26);
    // Lowercase checksum digits are read the same way.
    std::string digits = "0A0B0C0D0E0F10111213";
    std::string sum = frameChecksum(digits);
    for (char& c : sum) c = char(std::tolower(static_cast<unsigned char>(c)));
    ASSERT_TRUE(decodeQueryReply(digits + sum + "on#\r").has_value());
    // The uppercase checksum over lowercase digits does not match.
    EXPECT_FALSE(decodeQueryReply("18051e0c01070c1a000024on#\r").has_value());
}

TEST(DecodeQueryReply, RefusesMalformedReplies) {
    const char* replies[] = {
        "on#\r",                            // nothing before the 'o'
        "",
        "18051E0C01070C1A00002on#\r",       // 21 characters
        "18051E0C01070C1A0000240on#\r",     // 23 characters
        "18051E0C01070C1A000025on#\r",      // wrong checksum
        "18051E0C01070C1A0000 24on#\r",     // a blank is not removed
        "18051G0C01070C1A000024on#\r",      // not a hex digit
        "18051E0C01070C1A000024\xFF" "on#\r",
        "O18051E0C01070C1A000024on#\r",    // an uppercase 'O' is no separator
    };
    for (const char* r : replies) EXPECT_FALSE(decodeQueryReply(r).has_value()) << r;
}

TEST(DecodeQueryReply, ChecksumSpansAllTwentyDigits) {
    // Every data position matters: changing any digit breaks the checksum.
    const std::string good = "18051E0C01070C1A0000";
    for (size_t i = 0; i < good.size(); ++i) {
        std::string bad = good;
        bad[i] = bad[i] == '0' ? '1' : '0';
        EXPECT_FALSE(decodeQueryReply(bad + "24on#\r").has_value()) << i;
    }
}

}  // namespace
}  // namespace zave
