// A scratch folder for the file tests, with small helpers to read and write
// files behind the program's back.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "schedule/ptm_codec.h"
#include "file_probe.h"

namespace zave {

// A document that differs from a new one in every field, with the bytes CR
// and LF (13, 10) in its slot block.
inline ScheduleDocument sampleDocument() {
    ScheduleDocument doc;
    for (int d = 1; d <= kDayCount; ++d)
        for (int k = 1; k <= kSlotCount; ++k) doc.slot(d, k) = TimeSlot{k % 2, 13, 10, d * 10 + k};
    doc.soundType = 2;
    doc.pulseSwitchTime = "Пульс 30";
    doc.soundDisabled = 1;
    doc.currentDay = 3;
    return doc;
}

class FileFixture : public ::testing::Test {
protected:
    using Bytes = std::vector<uint8_t>;

    void SetUp() override {
        std::random_device rd;
        dir_ = std::filesystem::temp_directory_path() /
               ("zave-ptm-" + std::to_string(rd()) + "-" + std::to_string(rd()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        for (const auto& e : fs::recursive_directory_iterator(dir_, ec))
            if (e.is_directory(ec)) fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }

    std::string path(const std::string& name) const { return (dir_ / std::filesystem::u8path(name)).string(); }

    static Bytes readAll(const std::string& p) {
        std::ifstream in(std::filesystem::u8path(p), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void writeRaw(const std::string& p, const Bytes& b) {
        std::ofstream out(std::filesystem::u8path(p), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }
    static std::string utf8(const std::filesystem::path& p) {
        const std::u8string s = p.u8string();
        return std::string(reinterpret_cast<const char*>(s.data()), s.size());
    }
    // Names in the folder, to see that no temporary file is left behind.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_)) names.push_back(utf8(e.path().filename()));
        std::sort(names.begin(), names.end());
        return names;
    }
    // Content that no document has: a file of it was not yet replaced.
    static Bytes oldContent(size_t size) {
        Bytes b(size);
        for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(i * 7 + 3);
        return b;
    }

    static ScheduleDocument sample() { return sampleDocument(); }

    struct SaveRun {
        bool saved = false;
        int steps = 0;  // disk steps the save took
    };
    // Saves sample() as target with the step failAt failing (-1: none).
    static SaveRun saveFailingAt(const std::string& target, int failAt) {
        StepProbe probe(failAt);
        const bool saved = writeDocumentFile(target, sample());
        return {saved, static_cast<int>(probe.steps.size())};
    }

    // Fails each step of a save in turn. prepare() puts the old content in
    // place; run(failAt) saves. A save that reports failure must leave the old
    // content byte for byte, one that reports success the new; either way the
    // folder holds exactly the names it held before.
    void failEveryStep(const std::string& target, const Bytes& old, const std::function<void()>& prepare,
                       const std::function<SaveRun(int)>& run) {
        prepare();
        const std::vector<std::string> names = entries();
        const Bytes fresh = encodeDocument(sample());
        const SaveRun clean = run(-1);
        ASSERT_TRUE(clean.saved);
        ASSERT_EQ(readAll(target), fresh);
        ASSERT_GT(clean.steps, 0);
        int refused = 0;
        for (int i = 0; i < clean.steps; ++i) {
            prepare();
            ASSERT_EQ(readAll(target), old);
            const SaveRun r = run(i);
            refused += r.saved ? 0 : 1;
            EXPECT_EQ(readAll(target), r.saved ? fresh : old) << "failing step " << i;
            EXPECT_EQ(entries(), names) << "failing step " << i;
        }
        EXPECT_GT(refused, 0);  // the failures reached the save
    }

    std::filesystem::path dir_;
};

}  // namespace zave
