#include "device/volume.h"

#include "schedule/number_rule.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>

namespace zave {

namespace {

// The factor between percent and level, stored in single precision as the
// firmware's own arithmetic expects.
constexpr float kLevelFactor = 2.55f;

// Nearest integer, ties to even, independent of the floating-point
// environment's rounding mode. x must be finite.
double roundHalfEven(double x) {
    const double lower = std::floor(x);
    const double diff = x - lower;
    if (diff < 0.5) return lower;
    if (diff > 0.5) return lower + 1.0;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

// A rounded value as a 32-bit integer; values beyond the range saturate.
int32_t saturateToInt32(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (x <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(x);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int32_t volumeToLevel(int32_t volume) {
    if (volume == 0) return 0;
    const double level =
        (static_cast<double>(volume) * static_cast<double>(kVolumeGain) + static_cast<double>(kVolumeOffset) + 0.0) *
        static_cast<double>(kLevelFactor);
    return saturateToInt32(roundHalfEven(level));
}

int32_t levelToVolume(int32_t level) {
    if (level == 0) return 0;
    const double q = ((static_cast<double>(level) / static_cast<double>(kLevelFactor)) -
                      static_cast<double>(kVolumeOffset) + 0.0) /
                     static_cast<double>(kVolumeGain);
    const float stored = static_cast<float>(q);  // |q| stays far inside the float range
    return saturateToInt32(roundHalfEven(static_cast<double>(stored)));
}

namespace {

// The leading decimal number of a text as a float: optional sign, digits
// with an optional fraction, an optional exponent. No number reads as 0.
// Magnitudes beyond the float range give an infinity, tiny ones zero.
float leadingDecimal(std::string_view text) {
    auto [i, negative] = skipBlanksAndSign(text);
    const size_t numberStart = i;

    // Mantissa; remember where its first non-zero digit stands relative to
    // the decimal point, to tell an overflow from an underflow.
    size_t intDigits = 0, fracDigits = 0;
    bool seenNonZero = false;
    int64_t firstNonZeroPower = 0;  // decimal power of the first non-zero digit
    while (i < text.size() && isDigit(text[i])) {
        if (!seenNonZero && text[i] != '0') {
            seenNonZero = true;
            firstNonZeroPower = static_cast<int64_t>(intDigits);  // corrected below
        }
        ++intDigits;
        ++i;
    }
    if (seenNonZero) firstNonZeroPower = static_cast<int64_t>(intDigits) - 1 - firstNonZeroPower;
    if (i < text.size() && text[i] == '.') {
        size_t j = i + 1;
        while (j < text.size() && isDigit(text[j])) {
            ++fracDigits;
            if (!seenNonZero && text[j] != '0') {
                seenNonZero = true;
                firstNonZeroPower = -static_cast<int64_t>(fracDigits);
            }
            ++j;
        }
        if (intDigits + fracDigits > 0) i = j;
    }
    if (intDigits + fracDigits == 0) return 0.0f;

    // Exponent, taken only when digits follow the letter (and its sign).
    int64_t exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        bool expNegative = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            expNegative = text[j] == '-';
            ++j;
        }
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) {
                if (exponent < 1'000'000'000) exponent = exponent * 10 + (text[j] - '0');
                ++j;
            }
            if (expNegative) exponent = -exponent;
            i = j;
        }
    }

    if (!seenNonZero) return negative ? -0.0f : 0.0f;

    float value = 0.0f;
    const char* first = text.data() + numberStart;
    const char* last = text.data() + i;
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        // Out of the float range: a magnitude of at least 1 overflowed, a
        // smaller one underflowed (the float range spans 1e-45 .. 3.4e38).
        value = firstNonZeroPower + exponent >= 0 ? std::numeric_limits<float>::infinity() : 0.0f;
    } else if (ec != std::errc()) {
        value = 0.0f;
    }
    return negative ? -value : value;
}

}  // namespace

int32_t simulationLevelFromText(std::string_view text) {
    const float v = leadingDecimal(text);
    double level = 0.0;
    if (!(v == 0.0f || std::isnan(v))) {
        level = (static_cast<double>(v) * static_cast<double>(kVolumeGain) + static_cast<double>(kVolumeOffset)) *
                static_cast<double>(kLevelFactor);
        if (std::isfinite(level)) level = roundHalfEven(level);
    }
    if (level > 250.0) return 250;
    if (level < 5.0) return 5;
    return static_cast<int32_t>(level);
}

}  // namespace zave
