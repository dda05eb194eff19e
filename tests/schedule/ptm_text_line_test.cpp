// Every byte a text line of the file can hold comes back unchanged.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "schedule/ptm_codec.h"

namespace fs = std::filesystem;

namespace zave {
namespace {

using Bytes = std::vector<uint8_t>;

// Every byte but CR and LF, 0x00 and the code page's empty cell 0x98 among them.
std::string everyLineByte() {
    std::string s;
    for (int b = 0; b <= 0xFF; ++b)
        if (b != '\r' && b != '\n') s.push_back(static_cast<char>(b));
    return s;
}

Bytes fileWith(std::string_view day, std::string_view signal, std::string_view pulse) {
    Bytes b;
    const auto line = [&b](std::string_view s) {
        b.insert(b.end(), s.begin(), s.end());
        b.push_back('\r');
        b.push_back('\n');
    };
    line("wersia 3.00 unic");
    line(day);
    for (size_t i = 0; i < kPtmSlotBlockSize; ++i) b.push_back(static_cast<uint8_t>(i * 5));
    line(signal);
    line(pulse);
    b.push_back(1);
    return b;
}

const std::string kWednesday = "\xD1\xF0\xE5\xE4\xE0";
const std::string kSignal2 = "\xD1\xE8\xE3\xED\xE0\xEB \xB9" "2";

TEST(PtmTextLine, EveryByteOfEachLineSurvivesReadingAndWriting) {
    const std::string all = everyLineByte();
    // Each line on its own, all bytes at once and every byte alone.
    std::vector<std::string> texts = {all};
    for (char c : all) texts.emplace_back(1, c);
    for (const std::string& text : texts) {
        // What the program holds for the line writes back as the same bytes.
        EXPECT_EQ(ptmLineBytes(ptmLineText(text)), text);

        struct Row { const char* line; std::string day, signal, pulse; };
        const Row rows[] = {
            {"day name", text, kSignal2, "30"},
            {"signal", kWednesday, text, "30"},
            {"pulse", kWednesday, kSignal2, text},
        };
        for (const Row& r : rows) {
            const Bytes file = fileWith(r.day, r.signal, r.pulse);
            ScheduleDocument doc;
            doc.currentDay = 6;
            doc.soundType = 1;
            ASSERT_EQ(decodeDocument(file, doc), DocumentReadStatus::Ok) << r.line;
            // The line kept its length: every field after it is where it belongs.
            EXPECT_EQ(doc.slot(7, 12).volume, static_cast<int8_t>(335 * 5)) << r.line;
            EXPECT_EQ(doc.soundDisabled, 1) << r.line;
            // The two name lines select their day and signal or nothing.
            EXPECT_EQ(doc.currentDay, r.day == kWednesday ? 3 : 6) << r.line;
            EXPECT_EQ(doc.soundType, r.signal == kSignal2 ? 2 : 1) << r.line;
            // The pulse line is held as text and written back byte for byte.
            EXPECT_EQ(doc.pulseSwitchTime, ptmLineText(r.pulse)) << r.line;
            if (r.day == kWednesday && r.signal == kSignal2) {
                EXPECT_EQ(encodeDocument(doc), file) << r.line;
            }
        }
    }
}

TEST(PtmTextLine, ThePulseLineSurvivesASaveAndReloadThroughAFile) {
    std::random_device rd;
    const fs::path dir = fs::temp_directory_path() / ("zave-line-" + std::to_string(rd()));
    fs::create_directories(dir);
    const std::string path = (dir / "line.ptm").string();
    const Bytes original = fileWith(kWednesday, kSignal2, everyLineByte());
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(original.data()), static_cast<std::streamsize>(original.size()));
    }
    ScheduleDocument doc;
    ASSERT_EQ(readDocumentFile(path, doc), DocumentReadStatus::Ok);
    ASSERT_TRUE(writeDocumentFile(path, doc));
    std::ifstream in(path, std::ios::binary);
    const Bytes saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    EXPECT_EQ(saved, original);
    std::error_code ec;
    fs::remove_all(dir, ec);
}

}  // namespace
}  // namespace zave
