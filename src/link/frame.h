// The wire format: ASCII hexadecimal frames with a modulo-256 checksum.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zave {

using CommandParams = std::array<int64_t, 12>;
// replyData: index 0 unused, 1..10 the data bytes of the last accepted reply.
using ReplyData = std::array<int32_t, 11>;

// The data of a status reply by name.
struct StatusReply {
    int32_t deviceType;
    int32_t second, minute, hour;
    int32_t weekday;  // 1 = Monday .. 7
    int32_t day, month;
    int32_t yearInCentury;  // the year less 2000
};
constexpr StatusReply statusReply(const ReplyData& d) { return {d[1], d[2], d[3], d[4], d[5], d[6], d[7], d[8]}; }

// The data of the settings reply (query ReadSettings) by name.
struct SettingsReply {
    int32_t soundDisabled;
    int32_t pulseSwitchTime;
    int32_t soundType;
};
constexpr SettingsReply settingsReply(const ReplyData& d) { return {d[1], d[2], d[3]}; }

enum CommandCode : int {
    SetClock = 0x01,
    WriteHourBlock = 0x04,
    WriteMinuteBlock = 0x05,
    WriteVolumeBlock = 0x06,
    WriteSettings = 0x07,
    Simulate = 0x08,
    Status = 0x80,
    ReadHourBlock = 0x83,
    ReadMinuteBlock = 0x84,
    ReadVolumeBlock = 0x85,
    ReadSettings = 0x86,
};

// Hexadecimal of the value as a 64-bit two's-complement quantity, padded to
// two characters or cut to its first two: 300 -> "12", -1 -> "FF".
std::string renderByte(int64_t value);
// The checksum of frames and replies: the sum of the character codes modulo 256.
unsigned checksumByte(std::string_view text);
// The checksum rendered as above.
std::string frameChecksum(std::string_view text);
// 29 characters: code, p1..p12, checksum, CR.
std::string commandFrame(int64_t code, const CommandParams& params);
// 9 characters: code, p1, p2, checksum, CR.
std::string queryFrame(int64_t code, int64_t p1, int64_t p2);

struct TokenCounts {
    int on = 0, os = 0, ol = 0, of = 0;
};
TokenCounts countTokens(std::string_view reply);

// Line feeds and carriage returns removed; exactly 22 characters before the
// first 'o': 20 hex digits and their checksum. Data bytes in [0..9].
std::optional<std::array<int32_t, 10>> decodeQueryReply(std::string_view reply);

inline constexpr std::string_view kReplyTerminator = "#\r";

}  // namespace zave
