#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "schedule/number_rule.h"

namespace zave {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

TEST(NumberRule, Table) {
    struct Row { std::string text; int32_t value; };
    const Row rows[] = {
        {"", 0},
        {"abc", 0},
        {"12abc", 12},
        {"42", 42},
        {"  \t42", 42},
        {"\t\t7", 7},
        {"+7", 7},
        {"-5", -5},
        {"- 5", 0},          // a blank after the sign ends the number
        {"+-5", 0},
        {"--5", 0},
        {"+", 0},
        {"-", 0},
        {"007", 7},
        {"1 000", 1},
        {"12.7", 12},
        {"42  ", 42},
        {"\n42", 0},         // only blanks and tabs are skipped
        {"\r42", 0},
        {"\v42", 0},
        {"\xC2\xA0" "42", 0},  // a no-break space is not a blank
        {"x42", 0},
        {"٣", 0},            // non-ASCII digits are not digits
        {"2147483647", kMax},
        {"2147483648", kMax},
        {"99999999999", kMax},
        {"99999999999999999999999999999", kMax},
        {"-2147483648", kMin},
        {"-2147483649", kMin},
        {"-99999999999999999999999999999", kMin},
        {"+2147483647x", kMax},
        {"-0", 0},
        {std::string("5\0" "7", 3), 5},
    };
    for (const Row& r : rows) EXPECT_EQ(readInteger(r.text), r.value) << "'" << r.text << "'";
}

TEST(NumberRule, LongRunOfDigitsSaturatesWithoutOverflow) {
    EXPECT_EQ(readInteger(std::string(100000, '9')), kMax);
    EXPECT_EQ(readInteger("-" + std::string(100000, '9')), kMin);
    EXPECT_EQ(readInteger(std::string(100000, '0') + "15"), 15);
}

}  // namespace
}  // namespace zave
