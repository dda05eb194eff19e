// Small UTF-8 helpers shared by the text code of the schedule module.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zave::utf8 {

struct Step {
    char32_t codePoint = 0;  // valid only when ok
    size_t length = 1;       // bytes taken, at least 1 while input remains
    bool ok = false;
};

// Decodes the character that starts at text[pos] (pos < text.size()).
// Overlong forms, surrogates and values above U+10FFFF are refused; an
// invalid sequence takes its longest valid-looking prefix (at least one byte)
// so that the caller can replace it with one substitute and go on.
inline Step decodeAt(std::string_view text, size_t pos) {
    Step step;
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        step.codePoint = lead;
        step.ok = true;
        return step;
    }
    size_t need;
    char32_t cp;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1; cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2; cp = lead & 0x0F;
        if (lead == 0xE0) lo = 0xA0;
        if (lead == 0xED) hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3; cp = lead & 0x07;
        if (lead == 0xF0) lo = 0x90;
        if (lead == 0xF4) hi = 0x8F;
    } else {
        return step;  // stray continuation byte or a lead that never occurs
    }
    for (size_t i = 1; i <= need; ++i) {
        if (pos + i >= text.size()) { step.length = i; return step; }
        const unsigned char b = byte(pos + i);
        const unsigned char min = i == 1 ? lo : 0x80;
        const unsigned char max = i == 1 ? hi : 0xBF;
        if (b < min || b > max) { step.length = i; return step; }
        cp = (cp << 6) | (b & 0x3F);
    }
    step.codePoint = cp;
    step.length = need + 1;
    step.ok = true;
    return step;
}

inline void append(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace zave::utf8
