#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "schedule/cp1251.h"
#include "schedule/ptm_codec.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace zave {
namespace {

using Bytes = std::vector<uint8_t>;

class DocumentFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("zave-ptm-" + std::to_string(rd()) + "-" + std::to_string(rd()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }

    std::string path(const std::string& name) const { return (dir_ / fs::u8path(name)).string(); }

    static Bytes readAll(const std::string& p) {
        std::ifstream in(fs::u8path(p), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void writeRaw(const std::string& p, const Bytes& b) {
        std::ofstream out(fs::u8path(p), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }
    // Names in the folder, to see that no temporary file is left behind.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static ScheduleDocument sample() {
        ScheduleDocument doc;
        for (int d = 1; d <= kDayCount; ++d)
            for (int k = 1; k <= kSlotCount; ++k) doc.slot(d, k) = TimeSlot{k % 2, 13, 10, d * 10 + k};
        doc.soundType = 2;
        doc.pulseSwitchTime = "Пульс 30";
        doc.soundDisabled = 1;
        doc.currentDay = 3;
        return doc;
    }

    fs::path dir_;
};

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

#ifndef _WIN32
TEST_F(DocumentFileTest, OpenDoesNotWaitOnAPipe) {
    const std::string p = path("pipe.ptm");
    ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0);
    const ScheduleDocument before = sample();
    ScheduleDocument doc = before;
    EXPECT_EQ(readDocumentFile(p, doc), DocumentReadStatus::OpenFailed);
    EXPECT_EQ(doc, before);
}
#endif

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
    for (size_t base : {size_t{4096}, size_t{8192}, size_t{16384}, size_t{32768}, size_t{65536}})
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

TEST_F(DocumentFileTest, HugeDayLineIsSkippedWithoutHoldingIt) {
    const std::string p = path("huge.ptm");
    const ScheduleDocument saved = sample();
    const Bytes good = encodeDocument(saved);
    const size_t nameEnd = 18 + utf8ToCp1251(kDayNames[2]).size();
    {
        std::FILE* f = std::fopen(p.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(good.data(), 1, 18, f);
        const std::string chunk(1 << 20, 'z');
        for (int i = 0; i < 50; ++i) std::fwrite(chunk.data(), 1, chunk.size(), f);
        std::fwrite(good.data() + nameEnd, 1, good.size() - nameEnd, f);
        ASSERT_EQ(std::fclose(f), 0);
    }
    ASSERT_GT(fs::file_size(p), 50u << 20);
    ScheduleDocument doc;
    doc.currentDay = 6;
    ASSERT_EQ(readDocumentFile(p, doc), DocumentReadStatus::Ok);
    ScheduleDocument expected = saved;
    expected.currentDay = 6;
    EXPECT_EQ(doc, expected);
}

#ifndef _WIN32
TEST_F(DocumentFileTest, ReadingStopsAfterTheLastField) {
    // A valid document followed by a gigabyte of (sparse) nothing.
    const std::string p = path("tail.ptm");
    const ScheduleDocument saved = sample();
    writeRaw(p, encodeDocument(saved));
    std::error_code ec;
    fs::resize_file(p, (1ull << 30) + 383, ec);
    if (ec) GTEST_SKIP() << "cannot make a large sparse file here: " << ec.message();
    ScheduleDocument doc;
    ASSERT_EQ(readDocumentFile(p, doc), DocumentReadStatus::Ok);
    EXPECT_EQ(doc, saved);
}

TEST_F(DocumentFileTest, NewFileGetsTheUsualPermissionsAndAnOldFileKeepsItsOwn) {
    const mode_t oldMask = ::umask(022);
    const std::string fresh = path("fresh.ptm");
    const bool wroteFresh = writeDocumentFile(fresh, ScheduleDocument{});
    ::umask(oldMask);
    ASSERT_TRUE(wroteFresh);
    struct stat st {};
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);

    const std::string kept = path("kept.ptm");
    writeRaw(kept, Bytes{1, 2, 3});
    ASSERT_EQ(::chmod(kept.c_str(), 0640), 0);
    ASSERT_TRUE(writeDocumentFile(kept, sample()));
    ASSERT_EQ(::stat(kept.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(readAll(kept), encodeDocument(sample()));
}

TEST_F(DocumentFileTest, SavingThroughALinkReplacesTheFileItNames) {
    const std::string real = path("real.ptm");
    const std::string link = path("link.ptm");
    writeRaw(real, Bytes(1000, 'o'));
    fs::create_symlink(real, link);
    ASSERT_TRUE(writeDocumentFile(link, sample()));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readAll(real), encodeDocument(sample()));
    EXPECT_EQ(entries(), (std::vector<std::string>{"link.ptm", "real.ptm"}));
}
#endif

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

#ifndef _WIN32
TEST_F(DocumentFileTest, FailedWriteKeepsTheOldFileByteForByte) {
    // A file-size limit makes the write of the new content fail half way,
    // for any user, root included.
    const std::string p = path("old.ptm");
    Bytes old(5000);
    for (size_t i = 0; i < old.size(); ++i) old[i] = static_cast<uint8_t>(i * 7);
    writeRaw(p, old);

    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool wrote = writeDocumentFile(p, sample());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(wrote);
    EXPECT_EQ(readAll(p), old);
    EXPECT_EQ(entries(), std::vector<std::string>{"old.ptm"});
}

TEST_F(DocumentFileTest, SaveIntoAReadOnlyFolderKeepsTheOldFile) {
    const std::string p = path("old.ptm");
    const Bytes old(777, 'k');
    writeRaw(p, old);
    ASSERT_EQ(::chmod(dir_.c_str(), 0555), 0);
    const bool wrote = writeDocumentFile(p, sample());
    ::chmod(dir_.c_str(), 0755);
    if (wrote && ::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    EXPECT_FALSE(wrote);
    EXPECT_EQ(readAll(p), old);
    EXPECT_EQ(entries(), std::vector<std::string>{"old.ptm"});
}
#endif

}  // namespace
}  // namespace zave
