// Opening is bounded by what the format can hold, whatever the file's size:
// the reader is judged on the bytes it takes, never on time.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "schedule/ptm_codec.h"
#include "file_fixture.h"
#include "file_probe.h"

namespace fs = std::filesystem;

namespace zave {
namespace {

using Bytes = std::vector<uint8_t>;

ScheduleDocument sample() { return sampleDocument(); }

// A source of any length whose bytes are computed, so that terabytes cost nothing.
class GeneratedSource final : public ByteSource {
public:
    GeneratedSource(unsigned long long size, std::function<uint8_t(unsigned long long)> byteAt)
        : size_(size), byteAt_(std::move(byteAt)) {}
    long long read(uint8_t* buffer, size_t max) override {
        asked += max;
        size_t n = 0;
        while (n < max && pos_ < size_) buffer[n++] = byteAt_(pos_++);
        given += n;
        return static_cast<long long>(n);
    }
    unsigned long long asked = 0, given = 0;

private:
    unsigned long long size_, pos_ = 0;
    std::function<uint8_t(unsigned long long)> byteAt_;
};

TEST(PtmReadBound, AnySourceIsJudgedWithinTheFormatsLargestFile) {
    const Bytes doc = encodeDocument(sample());
    const std::string header = "wersia 3.00 unic\r\n";
    const auto fromDocThen = [doc](uint8_t rest) {
        return [doc, rest](unsigned long long i) { return i < doc.size() ? doc[i] : rest; };
    };
    const auto headerThen = [header](uint8_t rest) {
        return [header, rest](unsigned long long i) { return i < header.size() ? uint8_t(header[i]) : rest; };
    };
    const auto lineOf = [](unsigned long long length) {  // 'x' * length, then CR LF, then a document
        return [length](unsigned long long i) -> uint8_t {
            if (i < length) return 'x';
            return i == length ? '\r' : '\n';
        };
    };
    struct Row {
        const char* what;
        unsigned long long size;
        std::function<uint8_t(unsigned long long)> byteAt;
        DocumentReadStatus status;
        unsigned long long bound;
    };
    const unsigned long long GiB = 1ull << 30;
    const Row rows[] = {
        {"4 GiB of zeros", 4 * GiB, [](unsigned long long) { return uint8_t{0}; }, DocumentReadStatus::BadFormat,
         kPtmFormatWindow},
        {"100 MB first line", 100'000'000, lineOf(100'000'000 - 2), DocumentReadStatus::BadFormat, kPtmFormatWindow},
        {"a terabyte first line", 1ull << 40, lineOf((1ull << 40) - 2), DocumentReadStatus::BadFormat,
         kPtmFormatWindow},
        {"format line then 2 GiB without a line end", 2 * GiB, headerThen('z'), DocumentReadStatus::Ok,
         kPtmReadLimit},
        {"document then 2 GiB", 2 * GiB + doc.size(), fromDocThen(0xAA), DocumentReadStatus::Ok, kPtmReadLimit},
        {"format line then 2 GiB of line ends", 2 * GiB, headerThen('\n'), DocumentReadStatus::Ok, kPtmReadLimit},
    };
    for (const Row& r : rows) {
        GeneratedSource source(r.size, r.byteAt);
        ScheduleDocument read = sample();
        read.currentDay = 2;
        EXPECT_EQ(decodeDocument(source, read), r.status) << r.what;
        EXPECT_LE(source.asked, r.bound) << r.what;
        EXPECT_LE(source.given, r.bound) << r.what;
        EXPECT_GT(source.given, 0u) << r.what;
    }
}

TEST(PtmReadBound, TheLargestDocumentIsReadWhole) {
    // Every text line at the longest that is kept: exactly kPtmReadLimit bytes.
    const std::string day(kPtmLineLimit, '\xF1'), signal(kPtmLineLimit, 's'), pulse(kPtmLineLimit, '7');
    Bytes b;
    const auto add = [&b](std::string_view s) { b.insert(b.end(), s.begin(), s.end()); };
    add("wersia 3.00 unic\r\n");
    add(day + "\r\n");
    for (size_t i = 0; i < kPtmSlotBlockSize; ++i) b.push_back(static_cast<uint8_t>(i % 100));
    add(signal + "\r\n");
    add(pulse + "\r\n");
    b.push_back(1);
    ASSERT_EQ(b.size(), kPtmReadLimit);
    b.resize(b.size() + 100000, 0x55);  // ignored

    GeneratedSource source(b.size(), [&b](unsigned long long i) { return b[i]; });
    ScheduleDocument doc;
    ASSERT_EQ(decodeDocument(source, doc), DocumentReadStatus::Ok);
    EXPECT_EQ(source.given, kPtmReadLimit);
    EXPECT_EQ(doc.slot(7, 12).volume, 335 % 100);
    EXPECT_EQ(doc.pulseSwitchTime, pulse);
    EXPECT_EQ(doc.soundDisabled, 1);
}

// The same bounds on real files; sparse, so that the disk is not filled.
class PtmReadBoundFile : public FileFixture {
protected:
    // A file of the given size: head at the start, tail at the end, nothing written between.
    std::string sparse(const std::string& name, const Bytes& head, unsigned long long size, const Bytes& tail = {}) {
        const fs::path p = dir_ / name;
        {
            std::ofstream out(p, std::ios::binary);
            out.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
        }
        std::error_code ec;
        fs::resize_file(p, size - tail.size(), ec);
        if (ec) return {};
        if (!tail.empty()) {
            std::ofstream out(p, std::ios::binary | std::ios::app);
            out.write(reinterpret_cast<const char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
            if (!out) return {};
        }
        return p.string();
    }
};

TEST_F(PtmReadBoundFile, HugeFilesAreRefusedOrReadWithinTheBound) {
    const Bytes doc = encodeDocument(sample());
    const Bytes header = {'w', 'e', 'r', 's', 'i', 'a', ' ', '3', '.', '0', '0', ' ', 'u', 'n', 'i', 'c', '\r', '\n'};
    Bytes longLine(1 << 20, 'x');  // a 100 MB first line: 1 MB written, the rest a hole, then the document
    const Bytes afterLine(doc.begin() + 16, doc.end());  // the format line's CR LF and the rest
    const unsigned long long GiB = 1ull << 30;

    struct Row {
        const char* what;
        std::string path;
        DocumentReadStatus status;
        unsigned long long bound;
    };
    const Row rows[] = {
        {"4 GiB sparse", sparse("zeros.ptm", {}, 4 * GiB), DocumentReadStatus::BadFormat, kPtmFormatWindow},
        {"100 MB first line", sparse("line.ptm", longLine, 100'000'000, afterLine), DocumentReadStatus::BadFormat,
         kPtmFormatWindow},
        {"valid header then 2 GiB", sparse("header.ptm", header, 2 * GiB + header.size()), DocumentReadStatus::Ok,
         kPtmReadLimit},
        {"document then 2 GiB", sparse("doc.ptm", doc, 2 * GiB + doc.size()), DocumentReadStatus::Ok,
         kPtmReadLimit},
    };
    for (const Row& r : rows) {
        if (r.path.empty()) GTEST_SKIP() << "no sparse files of this size here: " << r.what;
        StepProbe probe;
        ScheduleDocument read = sample();
        read.currentDay = 1;
        EXPECT_EQ(readDocumentFile(r.path, read), r.status) << r.what;
        EXPECT_GT(probe.bytesRead, 0u) << r.what;
        EXPECT_LE(probe.bytesRead, r.bound) << r.what;
        if (r.path.find("doc.ptm") != std::string::npos) {
            EXPECT_EQ(read, sample());
        }
        if (r.path.find("header.ptm") != std::string::npos) {
            // A day line of nothing but NUL bytes: no day; everything after it lies beyond the bound.
            EXPECT_EQ(read.currentDay, 1);
            EXPECT_EQ(read.slot(3, 3), TimeSlot{});
            EXPECT_EQ(read.pulseSwitchTime, "");
        }
    }
}

}  // namespace
}  // namespace zave
