// The wire format: ASCII hexadecimal frames with a modulo-256 checksum.
#include "link/frame.h"

namespace zave {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

size_t countOf(std::string_view text, std::string_view token) {
    size_t count = 0;
    for (size_t at = text.find(token); at != std::string_view::npos; at = text.find(token, at + 1))
        ++count;
    return count;
}

}  // namespace

std::string renderByte(int64_t value) {
    // Hexadecimal without leading zeros of the 64-bit two's-complement value.
    uint64_t bits = static_cast<uint64_t>(value);
    std::string hex;
    do {
        hex.insert(hex.begin(), kHexDigits[bits & 0xF]);
        bits >>= 4;
    } while (bits != 0);
    if (hex.size() < 2) hex.insert(hex.begin(), 2 - hex.size(), '0');
    hex.resize(2);
    return hex;
}

unsigned checksumByte(std::string_view text) {
    unsigned sum = 0;
    for (unsigned char c : text) sum = (sum + c) & 0xFF;
    return sum;
}

std::string frameChecksum(std::string_view text) { return renderByte(checksumByte(text)); }

std::string commandFrame(int64_t code, const CommandParams& params) {
    std::string frame = renderByte(code);
    frame.reserve(29);
    for (int64_t p : params) frame += renderByte(p);
    frame += frameChecksum(frame);
    frame += '\r';
    return frame;
}

std::string queryFrame(int64_t code, int64_t p1, int64_t p2) {
    std::string frame = renderByte(code) + renderByte(p1) + renderByte(p2);
    frame += frameChecksum(frame);
    frame += '\r';
    return frame;
}

TokenCounts countTokens(std::string_view reply) {
    TokenCounts counts;
    counts.on = int(countOf(reply, "on#"));
    counts.os = int(countOf(reply, "os#"));
    counts.ol = int(countOf(reply, "ol#"));
    counts.of = int(countOf(reply, "of#"));
    return counts;
}

std::optional<std::array<int32_t, 10>> decodeQueryReply(std::string_view reply) {
    // The digits are what comes before the first lowercase 'o' once line
    // breaks are gone; without an 'o' the whole text is taken, and the
    // length rule decides.
    std::string digits;
    for (char c : reply) {
        if (c == '\n' || c == '\r') continue;
        if (c == 'o') break;
        digits += c;
        if (digits.size() > 22) return std::nullopt;
    }
    if (digits.size() != 22) return std::nullopt;
    for (char c : digits)
        if (hexValue(c) < 0) return std::nullopt;

    const unsigned expected = unsigned(hexValue(digits[20]) * 16 + hexValue(digits[21]));
    if (checksumByte(std::string_view(digits).substr(0, 20)) != expected) return std::nullopt;

    std::array<int32_t, 10> data{};
    for (size_t i = 0; i < 10; ++i) data[i] = hexValue(digits[2 * i]) * 16 + hexValue(digits[2 * i + 1]);
    return data;
}

}  // namespace zave
