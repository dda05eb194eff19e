#include "link/datemask.h"

#include <cstdint>

namespace zave {

namespace {

// Appends value with at least `width` digits (leading zeros); a negative
// value gets its sign in front of the padded digits.
void appendNumber(std::string& out, int64_t value, size_t width) {
    // Work on the magnitude as unsigned so that INT64_MIN does not overflow.
    uint64_t magnitude = value < 0 ? uint64_t(0) - uint64_t(value) : uint64_t(value);
    char digits[24];
    size_t n = 0;
    do {
        digits[n++] = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) out.push_back('-');
    for (size_t i = n; i < width; ++i) out.push_back('0');
    while (n > 0) out.push_back(digits[--n]);
}

bool startsWith(std::string_view text, size_t at, std::string_view what) {
    return text.size() - at >= what.size() && text.compare(at, what.size(), what) == 0;
}

}  // namespace

std::string formatDateMask(std::string_view mask, const LocalTime& t) {
    std::string out;
    out.reserve(mask.size() + 8);
    size_t i = 0;
    while (i < mask.size()) {
        if (mask[i] == '%') {
            const size_t at = i + 1;
            if (startsWith(mask, at, "yyyy")) {
                appendNumber(out, t.year, 4);
                i = at + 4;
                continue;
            }
            struct Field {
                std::string_view code;
                int value;
            };
            const Field fields[] = {{"dd", t.day},    {"mm", t.month},  {"hh", t.hour},
                                    {"ii", t.minute}, {"ss", t.second}};
            bool matched = false;
            for (const Field& f : fields) {
                if (startsWith(mask, at, f.code)) {
                    appendNumber(out, f.value, 2);
                    i = at + f.code.size();
                    matched = true;
                    break;
                }
            }
            if (matched) continue;
        }
        out.push_back(mask[i]);
        ++i;
    }
    return out;
}

std::string stampedLogText(const LocalTime& t, std::string_view text) {
    std::string out = formatDateMask("%hh:%ii:%ss ->", t);
    out.append(text);
    return out;
}

}  // namespace zave
