#include "schedule/number_rule.h"

#include <limits>

namespace zave {

NumberStart skipBlanksAndSign(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    return {i, negative};
}

int32_t readInteger(std::string_view text) {
    auto [i, negative] = skipBlanksAndSign(text);
    // Accumulate as a negative number so that INT32_MIN itself fits.
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    int64_t value = 0;
    bool saturated = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (saturated) continue;
        value = value * 10 - (text[i] - '0');
        if (value < kMin) saturated = true;
    }
    if (negative) return saturated ? static_cast<int32_t>(kMin) : static_cast<int32_t>(value);
    if (saturated || -value > kMax) return static_cast<int32_t>(kMax);
    return static_cast<int32_t>(-value);
}

}  // namespace zave
