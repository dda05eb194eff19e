#include <gtest/gtest.h>

#include <string>

#include "schedule/cp1251.h"

#if defined(__has_include)
#if __has_include(<iconv.h>) && !defined(_WIN32)
#include <iconv.h>
#define ZAVE_HAVE_ICONV 1
#endif
#endif

namespace zave {
namespace {

[[maybe_unused]] std::string utf8Of(char32_t cp) {  // used where the system converter exists
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (cp >> 18));
        s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

TEST(Cp1251, EveryByteRoundTripsExceptTheEmptyCell) {
    for (int b = 0; b <= 0xFF; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::string text = cp1251ToUtf8(byte);
        if (b == 0x98) {
            EXPECT_EQ(text, "\xEF\xBF\xBD");
            EXPECT_EQ(utf8ToCp1251(text), "?");
            continue;
        }
        EXPECT_EQ(utf8ToCp1251(text), byte) << std::hex << b;
    }
}

TEST(Cp1251, KnownCharacters) {
    struct Row { const char* utf8; const char* cp1251; };
    const Row rows[] = {
        {"№", "\xB9"},
        {"Ё", "\xA8"},
        {"ё", "\xB8"},
        {"А", "\xC0"},
        {"Я", "\xDF"},
        {"а", "\xE0"},
        {"я", "\xFF"},
        {"€", "\x88"},
        {"—", "\x97"},
        {"«»", "\xAB\xBB"},
        {"Ђ", "\x80"},
        {"ї", "\xBF"},
        {"\xC2\xA0", "\xA0"},
        {"Сигнал №1", "\xD1\xE8\xE3\xED\xE0\xEB \xB9" "1"},
        {"Понедельник", "\xCF\xEE\xED\xE5\xE4\xE5\xEB\xFC\xED\xE8\xEA"},
        {"", ""},
        {"wersia 3.00 unic", "wersia 3.00 unic"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(utf8ToCp1251(r.utf8), r.cp1251) << r.utf8;
        EXPECT_EQ(cp1251ToUtf8(r.cp1251), r.utf8) << r.utf8;
    }
    EXPECT_EQ(utf8ToCp1251("Сигнал №1").size(), 9u);
}

TEST(Cp1251, UnmappableAndBrokenInputBecomesQuestionMarks) {
    struct Row { std::string utf8; std::string cp1251; };
    const Row rows[] = {
        {"日本", "??"},
        {"é", "?"},                       // Latin-1 letter not in the code page
        {"\xF0\x9F\x98\x80", "?"},        // emoji
        {"\xEF\xBF\xBD", "?"},            // the replacement character itself
        {"\x80", "?"},                    // stray continuation byte
        {"\xFF", "?"},
        {"\xC0\x80", "??"},               // overlong NUL
        {"\xED\xA0\x80", "???"},          // surrogate
        {"\xF4\x90\x80\x80", "????"},     // beyond U+10FFFF
        {"\xD0", "?"},                    // cut at the end
        {"a\xE2\x82" "b", "a?b"},         // cut in the middle
        {"\xD0\x9F\xD0", "\xCF?"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Row& r : rows) EXPECT_EQ(utf8ToCp1251(r.utf8), r.cp1251) << r.utf8;
}

#ifdef ZAVE_HAVE_ICONV
// The system's converter is an independent reference for the whole table.
class IconvReference : public ::testing::Test {
protected:
    void SetUp() override {
        toUtf8_ = iconv_open("UTF-8", "CP1251");
        fromUtf8_ = iconv_open("CP1251", "UTF-8");
        if (toUtf8_ == reinterpret_cast<iconv_t>(-1) || fromUtf8_ == reinterpret_cast<iconv_t>(-1))
            GTEST_SKIP() << "no CP1251 converter in this C library";
    }
    void TearDown() override {
        if (toUtf8_ != reinterpret_cast<iconv_t>(-1)) iconv_close(toUtf8_);
        if (fromUtf8_ != reinterpret_cast<iconv_t>(-1)) iconv_close(fromUtf8_);
    }
    static bool convert(iconv_t cd, const std::string& in, std::string& out) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char buffer[16];
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) return false;
        out.assign(buffer, dst);
        return true;
    }
    iconv_t toUtf8_ = reinterpret_cast<iconv_t>(-1);
    iconv_t fromUtf8_ = reinterpret_cast<iconv_t>(-1);
};

TEST_F(IconvReference, BytesToText) {
    for (int b = 0; b <= 0xFF; ++b) {
        const std::string byte(1, static_cast<char>(b));
        std::string expected;
        if (!convert(toUtf8_, byte, expected)) continue;  // the empty cell 0x98
        EXPECT_EQ(cp1251ToUtf8(byte), expected) << std::hex << b;
    }
}

TEST_F(IconvReference, TextToBytesOverTheBasicPlane) {
    for (char32_t cp = 1; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        const std::string text = utf8Of(cp);
        std::string expected;
        if (!convert(fromUtf8_, text, expected)) expected = "?";
        ASSERT_EQ(utf8ToCp1251(text), expected) << std::hex << static_cast<unsigned>(cp);
    }
}
#endif

}  // namespace
}  // namespace zave
