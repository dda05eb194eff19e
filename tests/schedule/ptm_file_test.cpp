#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "schedule/cp1251.h"
#include "schedule/ptm_codec.h"
#include "file_fixture.h"


namespace fs = std::filesystem;

namespace zave {
namespace {

using Bytes = std::vector<uint8_t>;
using DocumentFileTest = FileFixture;

TEST_F(DocumentFileTest, SaveThenOpenRestoresEverything) {
    const ScheduleDocument doc = sample();
    const std::string p = path("неделя.ptm");
    ASSERT_TRUE(writeDocumentFile(p, doc));
    EXPECT_EQ(readAll(p), encodeDocument(doc));
    EXPECT_EQ(entries(), std::vector<std::string>{"неделя.ptm"});

    ScheduleDocument back;
    ASSERT_EQ(readDocumentFile(p, back), DocumentReadStatus::Ok);
    EXPECT_EQ(back, doc);
}

TEST_F(DocumentFileTest, ReplacingALongerFileLeavesNoTrailingBytes) {
    const std::string p = path("plan.ptm");
    writeRaw(p, Bytes(100000, 'x'));
    ScheduleDocument doc;
    ASSERT_TRUE(writeDocumentFile(p, doc));
    EXPECT_EQ(readAll(p), encodeDocument(doc));
    EXPECT_EQ(fs::file_size(p), 383u);
    EXPECT_EQ(entries(), std::vector<std::string>{"plan.ptm"});
}

TEST_F(DocumentFileTest, OpenRefusalsLeaveTheDocumentUnchanged) {
    const std::string capital = path("capital.ptm");
    Bytes content = encodeDocument(ScheduleDocument{});
    content[0] = 'W';
    writeRaw(capital, content);
    const std::string empty = path("empty.ptm");
    writeRaw(empty, {});
    const std::string missing = path("missing.ptm");
    const std::string folder = path("folder.ptm");
    fs::create_directory(folder);

    struct Row { std::string path; DocumentReadStatus status; };
    const Row rows[] = {
        {capital, DocumentReadStatus::BadFormat},
        {empty, DocumentReadStatus::BadFormat},
        {missing, DocumentReadStatus::OpenFailed},
        {folder, DocumentReadStatus::OpenFailed},
        {path("no-such-folder/plan.ptm"), DocumentReadStatus::OpenFailed},
        {"", DocumentReadStatus::OpenFailed},
        {capital + std::string(1, '\0') + "x", DocumentReadStatus::OpenFailed},
    };
    const ScheduleDocument before = sample();
    for (const Row& r : rows) {
        ScheduleDocument doc = before;
        EXPECT_EQ(readDocumentFile(r.path, doc), r.status) << r.path;
        EXPECT_EQ(doc, before) << r.path;
    }
    EXPECT_FALSE(fs::exists(missing));  // opening never creates a file
}

// The reader takes its input in pieces; a CR LF split between two pieces
// must still be one line end. Line 2 is stretched so that its CR falls on
// every offset around the usual buffer sizes.
TEST_F(DocumentFileTest, FileReadingMatchesReadingFromMemory) {
    const std::string p = path("split.ptm");
    ScheduleDocument saved = sample();
    saved.slot(1, 1) = TimeSlot{10, 13, 10, 13};  // the block starts with LF
    const Bytes good = encodeDocument(saved);
    const size_t nameEnd = 18 + utf8ToCp1251(kDayNames[2]).size();
    std::vector<size_t> crOffsets;
    for (size_t base : {size_t{4096}, size_t{8192}})
        for (size_t off = base - 3; off <= base + 2; ++off) crOffsets.push_back(off);
    for (size_t cr : crOffsets) {
        Bytes b(good.begin(), good.begin() + static_cast<long>(nameEnd));
        b.resize(cr, 'q');
        b.insert(b.end(), good.begin() + static_cast<long>(nameEnd), good.end());
        writeRaw(p, b);
        ScheduleDocument fromMemory, fromFile;
        ASSERT_EQ(decodeDocument(b, fromMemory), DocumentReadStatus::Ok);
        ASSERT_EQ(readDocumentFile(p, fromFile), DocumentReadStatus::Ok);
        EXPECT_EQ(fromFile, fromMemory) << cr;
        ScheduleDocument expected = saved;
        expected.currentDay = 1;  // the stretched name is no day
        EXPECT_EQ(fromFile, expected) << cr;
    }
}

TEST_F(DocumentFileTest, SaveFailuresReportFalseAndLeaveNothingBehind) {
    const std::string folder = path("taken.ptm");
    fs::create_directory(folder);
    const std::string inside = path("no-such-folder/plan.ptm");
    struct Row { std::string path; };
    const std::string withNul = path("plan.ptm") + std::string(1, '\0') + "x";
    for (const Row& r : {Row{folder}, Row{inside}, Row{""}, Row{withNul}}) {
        EXPECT_FALSE(writeDocumentFile(r.path, sample())) << r.path;
    }
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(fs::is_empty(folder));
    EXPECT_FALSE(fs::exists(path("no-such-folder")));
    EXPECT_EQ(entries(), std::vector<std::string>{"taken.ptm"});
}

// The file system's limit is 255 bytes (Windows: 255 UTF-16 units) a name;
// every name up to it saves, new and over an old file.
TEST_F(DocumentFileTest, NamesOfTheLongestLengthSave) {
    std::string cyrillic;
    for (int i = 0; i < 125; ++i) cyrillic += "я";
    const std::string names[] = {std::string(251, 'a') + ".ptm", cyrillic + "a.ptm", std::string(200, 'b') + ".ptm"};
    for (const std::string& name : names) {
        ASSERT_LE(name.size(), 255u);
        const std::string p = path(name);
        ScheduleDocument doc = sample();
        ASSERT_TRUE(writeDocumentFile(p, doc)) << name.size();
        doc.currentDay = 6;
        ASSERT_TRUE(writeDocumentFile(p, doc)) << name.size();  // over the old file
        EXPECT_EQ(readAll(p), encodeDocument(doc)) << name.size();
        ScheduleDocument back;
        ASSERT_EQ(readDocumentFile(p, back), DocumentReadStatus::Ok);
        EXPECT_EQ(back, doc);
        EXPECT_EQ(entries(), std::vector<std::string>{name});
        fs::remove(fs::u8path(p));
    }
}

TEST_F(DocumentFileTest, TemporaryNamesStayWithinTheLimit) {
    std::string cyrillic;
    for (int i = 0; i < 127; ++i) cyrillic += "ж";
    for (const std::string& name : {std::string(255, 'a'), cyrillic + "a", std::string("x")}) {
        const std::string made = file_layer::siblingName(path(name), ".tmp");
        const std::string part = utf8(fs::u8path(made).filename());
        EXPECT_LE(part.size(), 255u) << name.size();
        EXPECT_EQ(fs::u8path(made).parent_path(), dir_);
        EXPECT_NE(made, path(name));
        // Cut between characters: the name is still valid UTF-8 and begins like the target's.
        EXPECT_EQ(part.substr(0, 2), "." + name.substr(0, 1));
        EXPECT_NE(part.find(".tmp"), std::string::npos);
    }
}

// Replacing a file: whichever step of the save fails, the old content stays
// whole or the new one is there whole, and nothing else is left behind.
TEST_F(DocumentFileTest, EveryFailedStepOfAReplaceKeepsTheOldContent) {
    const std::string p = path("plan.ptm");
    const Bytes old = oldContent(5000);
    failEveryStep(p, old, [&] { writeRaw(p, old); }, [&](int failAt) { return saveFailingAt(p, failAt); });
}

TEST_F(DocumentFileTest, AFailedFirstSaveLeavesNoFile) {
    const std::string p = path("new.ptm");
    const int steps = saveFailingAt(p, -1).steps;
    ASSERT_GT(steps, 0);
    for (int i = 0; i < steps; ++i) {
        fs::remove(p);
        const SaveRun r = saveFailingAt(p, i);
        EXPECT_FALSE(r.saved) << i;
        EXPECT_TRUE(entries().empty()) << i;
    }
}

}  // namespace
}  // namespace zave
