// The file layer on Windows: devices and pipes are refused by name without
// being opened; a replaced file keeps its attributes and links.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "file_fixture.h"
#include "file_probe.h"
#include "schedule/ptm_codec.h"

namespace fs = std::filesystem;

namespace zave {
namespace {

using Win32FileTest = FileFixture;

std::wstring wide(const std::string& utf8) { return fs::u8path(utf8).wstring(); }

TEST_F(Win32FileTest, DevicesReservedNamesAndPipesAreRefusedUnopened) {
    // A pipe that a reader opening it would wait on for ever.
    const std::string pipe = "\\\\.\\pipe\\zave-test-" + std::to_string(GetCurrentProcessId());
    const HANDLE server = CreateNamedPipeW(wide(pipe).c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096,
                                           4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    const std::string paths[] = {
        "CON", "NUL", "COM1", "AUX", "LPT1", "PRN", "\\\\.\\COM1", "//./COM1", "com1.ptm", "nul.ptm",
        path("com1.ptm"), path("AUX.ptm"), path("lpt1"), path("CON .ptm"), pipe, "\\\\.\\pipe\\zave-none",
    };
    const ScheduleDocument before = sample();
    for (const std::string& p : paths) {
        StepProbe probe;
        ScheduleDocument doc = before;
        EXPECT_EQ(readDocumentFile(p, doc), DocumentReadStatus::OpenFailed) << p;
        EXPECT_EQ(doc, before) << p;
        EXPECT_FALSE(probe.saw("open")) << p;
        EXPECT_EQ(probe.bytesRead, 0u) << p;

        EXPECT_FALSE(writeDocumentFile(p, before)) << p;
        EXPECT_FALSE(probe.saw("create")) << p;
    }
    CloseHandle(server);
    EXPECT_TRUE(entries().empty());
}

TEST_F(Win32FileTest, AReplacedFileKeepsItsAttributes) {
    const std::string p = path("hidden.ptm");
    writeRaw(p, oldContent(900));
    const DWORD set = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(SetFileAttributesW(wide(p).c_str(), set));
    ASSERT_TRUE(writeDocumentFile(p, sample()));
    EXPECT_EQ(readAll(p), encodeDocument(sample()));
    const DWORD after = GetFileAttributesW(wide(p).c_str());
    ASSERT_NE(after, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(after & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(entries(), std::vector<std::string>{"hidden.ptm"});
}

TEST_F(Win32FileTest, AReadOnlyFileIsNotReplaced) {
    const std::string p = path("locked.ptm");
    const Bytes old = oldContent(500);
    writeRaw(p, old);
    ASSERT_TRUE(SetFileAttributesW(wide(p).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(writeDocumentFile(p, sample()));
    EXPECT_EQ(readAll(p), old);
    EXPECT_EQ(entries(), std::vector<std::string>{"locked.ptm"});
    SetFileAttributesW(wide(p).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Win32FileTest, AFileWithTwoLinksKeepsBothWithTheNewContent) {
    const std::string a = path("a.ptm"), b = path("b.ptm");
    const Bytes old = oldContent(4000);
    writeRaw(a, old);
    ASSERT_TRUE(CreateHardLinkW(wide(b).c_str(), wide(a).c_str(), nullptr));
    ASSERT_TRUE(writeDocumentFile(a, sample()));
    EXPECT_EQ(readAll(a), encodeDocument(sample()));
    EXPECT_EQ(readAll(b), encodeDocument(sample()));
    EXPECT_EQ(entries(), (std::vector<std::string>{"a.ptm", "b.ptm"}));
    failEveryStep(a, old, [&] { writeRaw(a, old); }, [&](int failAt) { return saveFailingAt(a, failAt); });
    EXPECT_EQ(readAll(b), readAll(a));
}

TEST_F(Win32FileTest, LongPathFormsNameFiles) {
    const std::string p = "\\\\?\\" + utf8(fs::absolute(dir_) / "plan.ptm");
    ASSERT_TRUE(writeDocumentFile(p, sample()));
    ASSERT_TRUE(writeDocumentFile(p, sample()));  // over the old file
    ScheduleDocument back;
    ASSERT_EQ(readDocumentFile(p, back), DocumentReadStatus::Ok);
    EXPECT_EQ(back, sample());
    EXPECT_EQ(entries(), std::vector<std::string>{"plan.ptm"});
}

// Files of earlier saves killed half way go with the next save; look-alikes
// and one that a running save has open stay, and so does a read-only file.
TEST_F(Win32FileTest, ASaveRemovesLeftoversOfKilledSavesOnly) {
    const std::string p = path("plan.ptm");
    writeRaw(p, oldContent(500));
    for (const char* name : {".plan.ptm.k1ll3d.tmp", ".plan.ptm.b4ckup.bak", ".plan.ptm.abc.tmp", ".other.ptm.abcdef.tmp",
                             ".plan.ptm.h0ld3n.tmp"})
        writeRaw(path(name), Bytes{1});
    SetFileAttributesW(wide(path(".plan.ptm.b4ckup.bak")).c_str(), FILE_ATTRIBUTE_READONLY);
    const HANDLE held = CreateFileW(wide(path(".plan.ptm.h0ld3n.tmp")).c_str(), GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const bool saved = writeDocumentFile(p, sample());
    CloseHandle(held);
    ASSERT_TRUE(saved);
    EXPECT_EQ(readAll(p), encodeDocument(sample()));
    EXPECT_EQ(entries(), (std::vector<std::string>{".other.ptm.abcdef.tmp", ".plan.ptm.abc.tmp", ".plan.ptm.h0ld3n.tmp",
                                                   "plan.ptm"}));

    const std::string locked = path("locked.ptm");
    writeRaw(locked, oldContent(300));
    SetFileAttributesW(wide(locked).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(saveDocumentFile(locked, sample()), DocumentWriteStatus::Failed);
    EXPECT_EQ(readAll(locked), oldContent(300));
    SetFileAttributesW(wide(locked).c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace zave
#endif
