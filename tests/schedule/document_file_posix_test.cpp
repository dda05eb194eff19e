// File identity and safety on POSIX systems: owners, permissions, links,
// read-only folders and files, pipes, and failures half way.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "file_probe.h"
#include "posix_file_fixture.h"
#include "schedule/ptm_codec.h"

namespace fs = std::filesystem;

namespace zave {
namespace {

TEST_F(PosixFileTest, OpenTakesOnlyRegularFilesAndReadsNothingElse) {
    const std::string fifo = path("pipe.ptm");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& p : {fifo, std::string("/dev/zero"), std::string("/dev/null"), dir_.string()}) {
        StepProbe probe;
        const ScheduleDocument before = sample();
        ScheduleDocument doc = before;
        EXPECT_EQ(readDocumentFile(p, doc), DocumentReadStatus::OpenFailed) << p;
        EXPECT_EQ(doc, before) << p;
        EXPECT_EQ(probe.bytesRead, 0u) << p;
    }
}

TEST_F(PosixFileTest, NewFileGetsTheUsualPermissionsAndAnOldFileKeepsItsOwn) {
    const mode_t oldMask = ::umask(022);
    const std::string fresh = path("fresh.ptm");
    const bool wroteFresh = writeDocumentFile(fresh, ScheduleDocument{});
    ::umask(oldMask);
    ASSERT_TRUE(wroteFresh);
    EXPECT_EQ(statOf(fresh).st_mode & 07777, 0644u);

    const std::string kept = path("kept.ptm");
    writeRaw(kept, Bytes{1, 2, 3});
    ASSERT_EQ(::chmod(kept.c_str(), 0640), 0);
    ASSERT_TRUE(writeDocumentFile(kept, sample()));
    EXPECT_EQ(statOf(kept).st_mode & 07777, 0640u);
    EXPECT_EQ(readAll(kept), encodeDocument(sample()));
}

TEST_F(PosixFileTest, SavingThroughASymbolicLinkReplacesTheFileItNames) {
    const std::string real = path("real.ptm");
    const std::string link = path("link.ptm");
    writeRaw(real, Bytes(1000, 'o'));
    fs::create_symlink(real, link);
    ASSERT_TRUE(writeDocumentFile(link, sample()));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readAll(real), encodeDocument(sample()));
    EXPECT_EQ(entries(), (std::vector<std::string>{"link.ptm", "real.ptm"}));
}

// Owner, group and permissions of a replaced file are the old file's, also
// when the old file belongs to another user (an administrator saving over
// an operator's file).
TEST_F(PosixFileTest, OwnerGroupAndModeSurviveAReplace) {
    struct Row { uid_t uid; gid_t gid; mode_t mode; };
    std::vector<Row> rows;
    if (root()) {
        rows = {{kNobody, kNobody, 0600}, {4242, 4243, 0640}, {0, 0, 0604}, {4242, 4242, 02750}};
    } else {
        // Without root only the saver's own groups can be given.
        rows.push_back({::geteuid(), ::getegid(), 0600});
        std::vector<gid_t> groups(static_cast<size_t>(std::max(::getgroups(0, nullptr), 0)));
        if (!groups.empty()) groups.resize(static_cast<size_t>(std::max(::getgroups(static_cast<int>(groups.size()), groups.data()), 0)));
        for (gid_t g : groups) rows.push_back({::geteuid(), g, 0640});
    }
    const std::string p = path("owned.ptm");
    for (const Row& r : rows) {
        writeRaw(p, oldContent(700));
        ASSERT_EQ(::chown(p.c_str(), r.uid, r.gid), 0);
        ASSERT_EQ(::chmod(p.c_str(), r.mode), 0);
        const ino_t before = statOf(p).st_ino;
        ASSERT_TRUE(writeDocumentFile(p, sample())) << r.uid;
        const struct stat after = statOf(p);
        EXPECT_NE(after.st_ino, before) << "replaced by a new file";
        EXPECT_EQ(after.st_uid, r.uid);
        EXPECT_EQ(after.st_gid, r.gid);
        EXPECT_EQ(after.st_mode & 07777, r.mode) << r.uid;
        EXPECT_EQ(readAll(p), encodeDocument(sample()));
        EXPECT_EQ(entries(), std::vector<std::string>{"owned.ptm"});
    }
    if (!root()) std::printf("files of other users need root; run as root for those rows\n");
}

TEST_F(PosixFileTest, AFileWithTwoLinksKeepsBothWithTheNewContent) {
    const std::string a = path("a.ptm"), b = path("b.ptm");
    writeRaw(a, oldContent(5000));
    fs::create_hard_link(a, b);
    const ino_t inode = statOf(a).st_ino;
    for (const std::string& target : {a, b}) {
        ScheduleDocument doc = sample();
        doc.currentDay = target == a ? 2 : 7;
        ASSERT_TRUE(writeDocumentFile(target, doc));
        EXPECT_EQ(readAll(a), encodeDocument(doc));
        EXPECT_EQ(readAll(b), encodeDocument(doc));
        EXPECT_EQ(statOf(a).st_ino, inode);
        EXPECT_EQ(statOf(b).st_nlink, 2u);
        EXPECT_EQ(entries(), (std::vector<std::string>{"a.ptm", "b.ptm"}));
    }
}

TEST_F(PosixFileTest, EveryFailedStepOfALinkedFilesRewriteKeepsTheOldContent) {
    const std::string a = path("a.ptm"), b = path("b.ptm");
    for (const size_t oldSize : {size_t{5000}, size_t{40}}) {  // the new content shrinks or grows the file
        const Bytes old = oldContent(oldSize);
        writeRaw(a, old);
        if (!fs::exists(b)) fs::create_hard_link(a, b);
        failEveryStep(a, old, [&] { writeRaw(a, old); }, [&](int failAt) { return saveFailingAt(a, failAt); });
        EXPECT_EQ(readAll(b), readAll(a));
    }
}

TEST_F(PosixFileTest, WhenTheOldContentCannotBeWrittenBackItsBackupStays) {
    const std::string a = path("a.ptm"), b = path("b.ptm");
    const Bytes old = oldContent(3000);
    writeRaw(a, old);
    fs::create_hard_link(a, b);
    StepProbe probe;
    probe.failing = {"write in place", "restore"};
    EXPECT_FALSE(writeDocumentFile(a, sample()));
    const std::vector<std::string> names = entries();
    ASSERT_EQ(names.size(), 3u);
    const std::string backup = path(names[0]);  // hidden: sorts first
    EXPECT_EQ(names[0].substr(0, 6), ".a.ptm");
    EXPECT_EQ(readAll(backup), old);
}

TEST_F(PosixFileTest, AWritableFileInAReadOnlyFolderSavesInPlace) {
    if (!userAvailable()) GTEST_SKIP() << "no unprivileged user can be had here";
    std::string cyrillic;
    for (int i = 0; i < 125; ++i) cyrillic += "я";
    for (const std::string& name : {std::string("plan.ptm"), std::string(251, 'n') + ".ptm", cyrillic + "a.ptm"}) {
        const std::string p = path(name);
        writeRaw(p, oldContent(900));
        giveToUser(p);
        ASSERT_EQ(::chmod(p.c_str(), 0640), 0);
        const struct stat before = statOf(p);
        ASSERT_EQ(::chmod(dir_.c_str(), 0555), 0);
        const SaveRun r = saveAsUser(p, -1);
        ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
        EXPECT_TRUE(r.saved) << name.size();
        EXPECT_EQ(readAll(p), encodeDocument(sample()));
        const struct stat after = statOf(p);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(entries(), std::vector<std::string>{name});
        fs::remove(fs::u8path(p));
    }
}

TEST_F(PosixFileTest, EveryFailedStepOfAnInPlaceWriteKeepsTheOldContent) {
    if (!userAvailable()) GTEST_SKIP() << "no unprivileged user can be had here";
    const std::string p = path("plan.ptm");
    for (const size_t oldSize : {size_t{5000}, size_t{40}}) {
        const Bytes old = oldContent(oldSize);
        writeRaw(p, old);
        giveToUser(p);
        ASSERT_EQ(::chmod(dir_.c_str(), 0555), 0);
        failEveryStep(p, old, [&] { writeRaw(p, old); }, [&](int failAt) { return saveAsUser(p, failAt); });
        ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
    }
}

// A user who may write the file but cannot give a new file its owner
// rewrites it in place, so the owner keeps it.
TEST_F(PosixFileTest, AFileOfAnotherUserKeepsItsOwnerWhenAnotherUserSaves) {
    if (!root()) GTEST_SKIP() << "making a file of another user needs root";
    if (!userAvailable()) GTEST_SKIP() << "no unprivileged user can be had here";
    const std::string p = path("shared.ptm");
    writeRaw(p, oldContent(600));
    ASSERT_EQ(::chown(p.c_str(), 4242, 4242), 0);
    ASSERT_EQ(::chmod(p.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(dir_.c_str(), 0777), 0);
    const ino_t inode = statOf(p).st_ino;
    EXPECT_TRUE(saveAsUser(p, -1).saved);
    const struct stat after = statOf(p);
    EXPECT_EQ(after.st_ino, inode);
    EXPECT_EQ(after.st_uid, 4242u);
    EXPECT_EQ(after.st_gid, 4242u);
    EXPECT_EQ(after.st_mode & 07777, 0666u);
    EXPECT_EQ(readAll(p), encodeDocument(sample()));
    EXPECT_EQ(entries(), std::vector<std::string>{"shared.ptm"});
}

TEST_F(PosixFileTest, AReadOnlyFileIsNotReplaced) {
    if (!userAvailable()) GTEST_SKIP() << "no unprivileged user can be had here";
    const std::string p = path("locked.ptm");
    const Bytes old = oldContent(777);
    writeRaw(p, old);
    giveToUser(p);
    giveToUser(dir_.string());
    ASSERT_EQ(::chmod(p.c_str(), 0444), 0);
    for (const mode_t folder : {mode_t{0755}, mode_t{0555}}) {
        ASSERT_EQ(::chmod(dir_.c_str(), folder), 0);
        const SaveRun r = saveAsUser(p, -1);
        ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
        EXPECT_GE(r.steps, 0) << "the save ran";
        EXPECT_FALSE(r.saved) << std::oct << folder;
        EXPECT_EQ(readAll(p), old);
        EXPECT_EQ(entries(), std::vector<std::string>{"locked.ptm"});
    }
}

TEST_F(PosixFileTest, AFullDiskKeepsTheOldFileByteForByte) {
    // A file-size limit makes writing fail as a full disk does, for any
    // user, root included: for a replaced file (one link) while the new file
    // is written, for a file rewritten in place (two links) when the space
    // for its larger new content is claimed, before any old byte is
    // overwritten: even a failure to write the old content back could then
    // do no harm.
    struct Row { const char* what; size_t oldSize; bool linked; };
    for (const Row& r : {Row{"replaced", 5000, false}, Row{"in place", 60, true}}) {
        StepProbe probe;
        probe.failing = {"restore"};
        const std::string p = path("old.ptm"), other = path("other.ptm");
        const Bytes old = oldContent(r.oldSize);
        writeRaw(p, old);
        if (r.linked) fs::create_hard_link(p, other);

        struct rlimit saved {};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        auto* previous = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = 100;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool wrote = writeDocumentFile(p, sample());
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);

        EXPECT_FALSE(wrote) << r.what;
        EXPECT_EQ(readAll(p), old) << r.what;
        EXPECT_EQ(entries().size(), r.linked ? 2u : 1u) << r.what;
        fs::remove(p);
        fs::remove(other);
    }
}

TEST_F(PosixFileTest, AVanishedFolderIsReportedAndNothingIsCreated) {
    const fs::path gone = dir_ / "gone";
    fs::create_directory(gone);
    const std::string p = (gone / "plan.ptm").string();
    fs::remove(gone);
    EXPECT_FALSE(writeDocumentFile(p, sample()));
    EXPECT_TRUE(entries().empty());
}

}  // namespace
}  // namespace zave
#endif
