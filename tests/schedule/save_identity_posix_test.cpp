// What a save gives back on POSIX systems: the same file in every form
// (access lists, extended attributes, symbolic links, owner, mode), new
// content, and nothing else left in the folder; and what it refuses.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <acl/libacl.h>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/acl.h>
#include <sys/file.h>
#include <sys/xattr.h>

#include <filesystem>
#include <string>
#include <vector>

#include "posix_file_fixture.h"
#include "schedule/file_messages.h"
#include "schedule/ptm_codec.h"

namespace fs = std::filesystem;

namespace zave {
namespace {

// Everything by which the operator knows a file, besides its content.
struct Identity {
    ino_t inode = 0;
    nlink_t links = 0;
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;
    std::string acl;     // the access list in short text form
    std::string xattrs;  // user.* attributes, "name=value;" in listing order
};

std::string aclText(const std::string& p) {
    const acl_t acl = ::acl_get_file(p.c_str(), ACL_TYPE_ACCESS);
    if (!acl) return "none";
    char* text = ::acl_to_any_text(acl, nullptr, ',', TEXT_ABBREVIATE);
    std::string result = text ? text : "?";
    ::acl_free(text);
    ::acl_free(acl);
    return result;
}

std::string userAttributes(const std::string& p) {
    char names[4096];
    const ssize_t n = ::listxattr(p.c_str(), names, sizeof names);
    std::string result;
    for (ssize_t at = 0; at < n; at += static_cast<ssize_t>(std::string(names + at).size()) + 1) {
        const std::string name = names + at;
        if (name.rfind("user.", 0) != 0) continue;
        char value[256];
        const ssize_t size = ::getxattr(p.c_str(), name.c_str(), value, sizeof value);
        result += name + "=" + std::string(value, static_cast<size_t>(std::max<ssize_t>(size, 0))) + ";";
    }
    return result;
}

Identity identityOf(const std::string& p) {
    const struct stat st = statOf(p);
    return {st.st_ino, st.st_nlink, st.st_uid, st.st_gid, st.st_mode, aclText(p), userAttributes(p)};
}

void setAcl(const std::string& p, acl_type_t type, const char* text) {
    const acl_t acl = ::acl_from_text(text);
    ASSERT_NE(acl, nullptr) << text;
    const int set = ::acl_set_file(p.c_str(), type, acl);
    ::acl_free(acl);
    ASSERT_EQ(set, 0) << text << ": " << std::strerror(errno);
}

// A save killed (SIGKILL) just before its step at: what it made stays.
class KillAt final : public FileProbe {
public:
    explicit KillAt(std::string at) : at_(std::move(at)) { setFileProbe(this); }
    ~KillAt() override { setFileProbe(nullptr); }
    bool fail(std::string_view step) override {
        if (step == at_) ::raise(SIGKILL);
        return false;
    }

private:
    std::string at_;
};

class SaveIdentityTest : public PosixFileTest {
public:
    void killedSave(const std::string& target, const char* at) {
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            KillAt probe(at);
            writeDocumentFile(target, sample());
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << at;
    }
    // Whether this file system keeps access lists and user attributes.
    bool supports(const char* what) {
        const std::string p = path(std::string("probe-") + what);
        writeRaw(p, Bytes{1});
        const acl_t acl = ::acl_from_text("u::rw-,u:65534:r--,g::r--,m::r--,o::---");
        const bool ok = std::string(what) == "acl" ? ::acl_set_file(p.c_str(), ACL_TYPE_ACCESS, acl) == 0
                                                    : ::setxattr(p.c_str(), "user.probe", "1", 1, 0) == 0;
        ::acl_free(acl);
        fs::remove(p);
        return ok;
    }
};

struct Case {
    std::string folder;  // the row's own folder
    std::string target;  // what the save is given
    std::string file;    // the file that ends up with the content
    std::vector<uint8_t> old;  // its content before, empty when it did not exist
    int heldFd = -1;     // a leftover that a running save holds
};

struct Row {
    const char* what;
    const char* needs;  // "acl", "xattr" or ""
    bool asOtherUser;   // saved by the ordinary user; else by the test's own user
    bool needsRoot;     // the row sets owners
    std::function<void(SaveIdentityTest&, Case&)> prepare;
    DocumentWriteStatus expected;
    bool linkStays;
    std::vector<std::string> left;  // the row folder's names afterwards
};

TEST_F(SaveIdentityTest, ASaveGivesBackTheSameFileWithNewContentAndNothingBesideIt) {
    const bool acl = supports("acl"), xattr = supports("xattr");
    const Bytes old = oldContent(700);
    const auto file = [old](const std::string& name, mode_t mode) {
        return [=](SaveIdentityTest& t, Case& c) {
            c.target = c.file = c.folder + "/" + name;
            c.old = old;
            writeRaw(c.file, old);
            ASSERT_EQ(::chmod(c.file.c_str(), mode), 0);
        };
    };
    const auto then = [](auto first, auto second) {
        return [=](SaveIdentityTest& t, Case& c) {
            first(t, c);
            second(t, c);
        };
    };
    const auto symlink = [](const std::string& name, const std::string& to) {
        return [=](SaveIdentityTest&, Case& c) {
            fs::create_symlink(to, c.folder + "/" + name);
            c.target = c.folder + "/" + name;
        };
    };
    const auto ownedByUser = [](SaveIdentityTest&, Case& c) {
        giveToUser(c.folder);
        if (fs::exists(c.file)) giveToUser(c.file);
    };
    const auto named = [](const char* text) {
        return [=](SaveIdentityTest&, Case& c) { setAcl(c.file, ACL_TYPE_ACCESS, text); };
    };
    using S = DocumentWriteStatus;
    const std::vector<Row> rows = {
        {"access list on the file, saved by root", "acl", false, true,
         then(file("plan.ptm", 0640), [&](SaveIdentityTest& t, Case& c) {
             ASSERT_EQ(::chown(c.file.c_str(), kNobody, kNobody), 0);
             setAcl(c.file, ACL_TYPE_ACCESS, "u::rw-,u:4242:rw-,g::r--,g:4243:r--,m::rw-,o::---");
         }),
         S::Ok, false, {"plan.ptm"}},
        {"access list on the file, saved by its owner", "acl", true, false,
         then(then(file("plan.ptm", 0640), ownedByUser), named("u::rw-,u:4242:rw-,g::r--,m::rw-,o::---")), S::Ok,
         false, {"plan.ptm"}},
        {"default access list on the folder", "acl", false, false,
         then(file("plan.ptm", 0640),
              [](SaveIdentityTest&, Case& c) {
                  setAcl(c.folder, ACL_TYPE_DEFAULT, "u::rwx,u:65534:rwx,g::r-x,m::rwx,o::r-x");
              }),
         S::Ok, false, {"plan.ptm"}},
        {"extended attribute", "xattr", false, false,
         then(file("plan.ptm", 0600),
              [](SaveIdentityTest&, Case& c) {
                  ASSERT_EQ(::setxattr(c.file.c_str(), "user.origin", "operator", 8, 0), 0);
              }),
         S::Ok, false, {"plan.ptm"}},
        {"extended attribute, saved by the owner", "xattr", true, false,
         then(then(file("plan.ptm", 0600), ownedByUser),
              [](SaveIdentityTest&, Case& c) {
                  ASSERT_EQ(::setxattr(c.file.c_str(), "user.origin", "operator", 8, 0), 0);
              }),
         S::Ok, false, {"plan.ptm"}},
        {"symbolic link to a file with an access list", "acl", false, false,
         then(then(file("real.ptm", 0640), named("u::rw-,u:4242:r--,g::r--,m::r--,o::---")),
              symlink("link.ptm", "real.ptm")),
         S::Ok, true, {"link.ptm", "real.ptm"}},
        {"dangling symbolic link", "", false, false,
         then(symlink("link.ptm", "term/plan.ptm"),
              [](SaveIdentityTest&, Case& c) {
                  fs::create_directory(c.folder + "/term");
                  c.file = c.folder + "/term/plan.ptm";
              }),
         S::Ok, true, {"link.ptm", "term"}},
        {"symbolic link loop", "", false, false,
         then(symlink("a.ptm", "b.ptm"), symlink("b.ptm", "a.ptm")), S::LinkLoop, true, {"a.ptm", "b.ptm"}},
        {"symbolic link to itself", "", false, false, symlink("self.ptm", "self.ptm"), S::LinkLoop, true,
         {"self.ptm"}},
        {"symbolic link into a missing folder", "", false, false, symlink("link.ptm", "gone/plan.ptm"),
         S::LinkToMissingFolder, true, {"link.ptm"}},
        {"leftovers of killed saves", "", false, false,
         then(file("plan.ptm", 0640),
              [](SaveIdentityTest& t, Case& c) {
                  t.killedSave(c.file, "rename");  // a temporary file
                  t.killedSave(c.file, "rename");
                  // Look-alikes that are not this file's, and one a running save holds.
                  for (const char* name : {".plan.ptm.abc.tmp", ".plan.ptm.abcdef.txt", ".other.ptm.abcdef.tmp",
                                           "plan.ptm.abcdef.tmp", ".plan.ptm.ABCDEF.tmp", ".plan.ptm.zzzzzz.bak"})
                      writeRaw(c.folder + "/" + name, Bytes{1});
                  c.heldFd = ::open((c.folder + "/.plan.ptm.zzzzzz.bak").c_str(), O_RDONLY | O_CLOEXEC);
                  ASSERT_EQ(::flock(c.heldFd, LOCK_EX), 0);
              }),
         S::Ok, false,
         {".other.ptm.abcdef.tmp", ".plan.ptm.ABCDEF.tmp", ".plan.ptm.abc.tmp", ".plan.ptm.abcdef.txt",
          ".plan.ptm.zzzzzz.bak", "plan.ptm", "plan.ptm.abcdef.tmp"}},
        {"backup left by a killed save of a linked file", "", false, false,
         then(file("plan.ptm", 0640),
              [](SaveIdentityTest& t, Case& c) {
                  fs::create_hard_link(c.file, c.folder + "/other.ptm");
                  t.killedSave(c.file, "write in place");
              }),
         S::Ok, false, {"other.ptm", "plan.ptm"}},
        {"read-only file, saved by root", "", false, true, file("plan.ptm", 0444), S::Failed, false, {"plan.ptm"}},
        {"read-only file, saved by its owner", "", true, false, then(file("plan.ptm", 0444), ownedByUser), S::Failed,
         false, {"plan.ptm"}},
    };

    int ran = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        SCOPED_TRACE(r.what);
        const char* skip = r.needsRoot && !root()                        ? "needs root"
                           : r.asOtherUser && !userAvailable()            ? "needs another user"
                           : std::string(r.needs) == "acl" && !acl        ? "no access lists on this file system"
                           : std::string(r.needs) == "xattr" && !xattr    ? "no user attributes on this file system"
                                                                          : nullptr;
        if (skip) {
            std::printf("skipped (%s): %s\n", skip, r.what);
            continue;
        }
        Case c;
        c.folder = path("row" + std::to_string(i));
        fs::create_directory(c.folder);
        ASSERT_EQ(::chmod(c.folder.c_str(), 0755), 0);
        r.prepare(*this, c);
        if (::testing::Test::HasFatalFailure()) return;
        const bool existed = !c.file.empty() && fs::exists(c.file);
        const Identity before = existed ? identityOf(c.file) : Identity{};
        const std::string linkTo = fs::is_symlink(c.target) ? fs::read_symlink(c.target).string() : "";
        if (r.linkStays) {
            ASSERT_FALSE(linkTo.empty());
        }

        DocumentWriteStatus status = DocumentWriteStatus::Failed;
        if (r.asOtherUser) {
            const std::optional<int> code =
                asUser([&] { return static_cast<int>(saveDocumentFile(c.target, sample())); });
            ASSERT_TRUE(code.has_value());
            status = static_cast<DocumentWriteStatus>(*code);
        } else {
            status = saveDocumentFile(c.target, sample());
        }
        if (c.heldFd >= 0) ::close(c.heldFd);
        ++ran;

        EXPECT_EQ(static_cast<int>(status), static_cast<int>(r.expected));
        if (!c.file.empty()) {
            EXPECT_EQ(readAll(c.file), status == DocumentWriteStatus::Ok ? encodeDocument(sample()) : c.old);
        }
        if (existed) {
            const Identity after = identityOf(c.file);
            // A replaced file is a new one on the disk, a refused or linked one the same.
            if (status != DocumentWriteStatus::Ok || before.links > 1) {
                EXPECT_EQ(after.inode, before.inode);
            }
            EXPECT_EQ(after.links, before.links);
            EXPECT_EQ(after.owner, before.owner);
            EXPECT_EQ(after.group, before.group);
            EXPECT_EQ(after.mode, before.mode);
            EXPECT_EQ(after.acl, before.acl);
            EXPECT_EQ(after.xattrs, before.xattrs);
        } else if (status == DocumentWriteStatus::Ok) {
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(c.file)));
        }
        if (r.linkStays) {
            EXPECT_TRUE(fs::is_symlink(c.target));
            EXPECT_EQ(fs::read_symlink(c.target).string(), linkTo);
        }
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(c.folder)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, r.left);
    }
    EXPECT_GT(ran, 0);
}

// The window and zavectl ask before replacing whatever bears the name, a
// dangling link included, and tell why a link cannot be saved through.
TEST_F(SaveIdentityTest, ANameIsTakenByAnythingThereAndALinkFailureSaysWhy) {
    fs::create_symlink("nowhere/plan.ptm", path("dangling.ptm"));
    fs::create_directory(path("folder"));
    writeRaw(path("file.ptm"), Bytes{1});
    for (const char* name : {"dangling.ptm", "folder", "file.ptm"}) EXPECT_TRUE(documentNameTaken(path(name))) << name;
    EXPECT_FALSE(documentNameTaken(path("free.ptm")));

    const std::string failed = "При записи произошла ошибка.\nФайл сохранить не удалось.\n";
    EXPECT_EQ(documentWriteMessage(DocumentWriteStatus::Failed), failed);
    EXPECT_EQ(documentWriteMessage(DocumentWriteStatus::LinkLoop), failed + "Символическая ссылка ведёт по кругу.\n");
    EXPECT_EQ(documentWriteMessage(DocumentWriteStatus::LinkToMissingFolder),
              failed + "Символическая ссылка указывает на файл в несуществующей папке.\n");
    EXPECT_EQ(documentWriteMessage(DocumentWriteStatus::Ok), "");
}

}  // namespace
}  // namespace zave
#endif
