// The file layer on POSIX systems.
#include "schedule/document_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/acl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <acl/libacl.h>

namespace zave::file_layer {

namespace {

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset(int fd) {
        close();
        fd_ = fd;
    }
    void release() { fd_ = -1; }
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAllAt(int fd, uint64_t offset, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The open file is the regular file that path named a moment ago.
bool stillThatFile(int fd, const struct stat& named) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && sameFile(st, named);
}

class PosixSource final : public ByteSource {
public:
    explicit PosixSource(int fd) : fd_(fd) {}
    long long read(uint8_t* buffer, size_t max) override {
        for (;;) {
            const ssize_t n = ::read(fd_.get(), buffer, max);
            if (n < 0 && errno == EINTR) continue;
            return n;
        }
    }

private:
    Fd fd_;
};

class PosixOpenFile final : public OpenFile {
public:
    explicit PosixOpenFile(int fd) : fd_(fd) {}
    bool readAll(std::vector<uint8_t>& out, uint64_t limit) override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || static_cast<uint64_t>(st.st_size) > limit) return false;
        out.resize(static_cast<size_t>(st.st_size));
        size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;  // a file that shrinks meanwhile is not ours alone
            done += static_cast<size_t>(n);
        }
        return true;
    }
    bool writeAt(uint64_t offset, std::span<const uint8_t> bytes) override { return writeAllAt(fd_, offset, bytes); }
    bool reserve(uint64_t size) override {
        const int error = ::posix_fallocate(fd_, 0, static_cast<off_t>(size));
        // A file system that cannot reserve space still takes the write.
        return error == 0 || error == EOPNOTSUPP || error == EINVAL;
    }
    bool resize(uint64_t size) override { return ::ftruncate(fd_, static_cast<off_t>(size)) == 0; }
    bool flush() override { return ::fsync(fd_) == 0; }

private:
    int fd_;
};

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Makes a renamed entry durable too; the data is already safe.
void syncFolder(const std::string& path) {
    const Fd dir(::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
}

NewFile createExclusive(const std::string& path, mode_t mode, Fd& fd) {
    if (injectedFailure("create")) return NewFile::Failed;
    const int opened = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
    if (opened >= 0) {
        fd.reset(opened);
        return NewFile::Written;
    }
    if (errno == EEXIST) return NewFile::Exists;
    if (errno == EACCES || errno == EPERM || errno == EROFS) return NewFile::Refused;
    return NewFile::Failed;
}

// Writes a freshly created file whole and to the disk.
bool fill(Fd& fd, std::span<const uint8_t> bytes) {
    if (injectedFailure("write new")) {
        writeAllAt(fd.get(), 0, bytes.first(bytes.size() / 2));
        return false;
    }
    return writeAllAt(fd.get(), 0, bytes) && !injectedFailure("flush new") && ::fsync(fd.get()) == 0;
}

// A sibling file stays locked while its save runs: a lock dies with its
// process, so a file of a killed save is free and a running save's is not.
bool lockNow(int fd, bool wait) {
    for (;;) {
        if (::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) == 0) return true;
        if (errno != EINTR) return false;
    }
}

// Marks fd, just created as path, as this save's. False when another save
// took the name for a leftover meanwhile (it locked the file first).
bool holdNew(int fd, const std::string& path) {
    // Where the file system has no locks, no leftover is ever removed.
    if (!lockNow(fd, true)) return true;
    struct stat named {};
    struct stat mine {};
    return ::lstat(path.c_str(), &named) == 0 && ::fstat(fd, &mine) == 0 && sameFile(named, mine);
}

class PosixHeld final : public Held {
public:
    explicit PosixHeld(int fd) : fd_(fd) {}

private:
    Fd fd_;
};

enum class Outcome { Done, Failed, NotHere };

// Gives the new file to what the old one had besides owner and mode: its
// access lists (a file without one gets none, whatever the folder's default
// list) and its extended attributes.
bool copyAccessAndAttributes(int from, int to) {
    if (injectedFailure("copy access list")) return false;
    if (const acl_t acl = ::acl_get_fd(from)) {
        const bool set = ::acl_set_fd(to, acl) == 0 ||
                         ((errno == ENOTSUP || errno == EOPNOTSUPP) && ::acl_equiv_mode(acl, nullptr) == 0);
        ::acl_free(acl);
        if (!set) return false;
    } else if (errno != ENOTSUP && errno != EOPNOTSUPP) {
        return false;
    }

    if (injectedFailure("copy attributes")) return false;
    std::vector<char> names;
    for (;;) {
        const ssize_t size = ::flistxattr(from, nullptr, 0);
        if (size < 0) return errno == ENOTSUP || errno == EOPNOTSUPP;
        names.resize(static_cast<size_t>(size));
        const ssize_t got = ::flistxattr(from, names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<size_t>(got));
            break;
        }
        if (errno != ERANGE) return false;
    }
    std::vector<char> value;
    for (size_t at = 0; at < names.size();) {
        const std::string name(names.data() + at);
        at += name.size() + 1;
        // Access lists are copied above; the security label comes from the policy.
        if (name.empty() || name.starts_with("system.posix_acl_") || name == "security.selinux") continue;
        for (;;) {
            const ssize_t size = ::fgetxattr(from, name.c_str(), nullptr, 0);
            if (size < 0) return false;
            value.resize(static_cast<size_t>(size));
            const ssize_t got = ::fgetxattr(from, name.c_str(), value.data(), value.size());
            if (got >= 0) {
                value.resize(static_cast<size_t>(got));
                break;
            }
            if (errno != ERANGE) return false;
        }
        if (::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) != 0) return false;
    }
    return true;
}

// A new file beside path, renamed over it. With old (open as oldFd), the new
// file first takes the old one's owner, group, access lists, attributes and
// permissions; NotHere when it cannot have them or the folder takes no new
// file.
Outcome replaceByRename(const std::string& path, const struct stat* old, int oldFd, std::span<const uint8_t> bytes) {
    for (int attempts = 0; attempts < 100; ++attempts) {
        const std::string temp = siblingName(path, ".tmp");
        Fd fd;
        const NewFile made = createExclusive(temp, old ? 0600 : 0666, fd);
        if (made == NewFile::Exists) continue;
        if (made == NewFile::Refused) return old ? Outcome::NotHere : Outcome::Failed;
        if (made != NewFile::Written) return Outcome::Failed;
        if (!holdNew(fd.get(), temp)) continue;  // removed as a leftover before it was locked
        const auto drop = [&](Outcome outcome) {
            ::unlink(temp.c_str());
            return outcome;
        };

        // The content first: writing clears set-id bits that were already there.
        if (!fill(fd, bytes)) return drop(Outcome::Failed);
        if (old) {
            struct stat mine {};
            const bool differs = ::fstat(fd.get(), &mine) != 0 || mine.st_uid != old->st_uid ||
                                 mine.st_gid != old->st_gid;
            if (differs && (injectedFailure("chown") || ::fchown(fd.get(), old->st_uid, old->st_gid) != 0))
                return drop(Outcome::NotHere);
            if (!copyAccessAndAttributes(oldFd, fd.get())) return drop(Outcome::NotHere);
            // After the owner: a change of owner clears the set-id bits.
            if (injectedFailure("chmod") || ::fchmod(fd.get(), old->st_mode & 07777) != 0)
                return drop(Outcome::Failed);
            if (injectedFailure("flush attributes") || ::fsync(fd.get()) != 0) return drop(Outcome::Failed);
        }
        // Still locked while renamed, so no other save takes it for a leftover.
        if (injectedFailure("rename") || ::rename(temp.c_str(), path.c_str()) != 0) return drop(Outcome::Failed);
        fd.close();
        syncFolder(path);
        return Outcome::Done;
    }
    return Outcome::Failed;
}

constexpr int kMostLinks = 40;  // as the kernel follows at most

struct Target {
    DocumentWriteStatus status = DocumentWriteStatus::Ok;
    std::string path;  // not a symbolic link
};

// The file a save as requested writes: requested itself, or the file that
// the chain of symbolic links starting there ends at, existing or not.
Target followLinks(const std::string& requested) {
    std::string path = requested;
    for (int hops = 0; hops <= kMostLinks; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno == ELOOP) return {DocumentWriteStatus::LinkLoop, {}};  // among the folders on the way
            if (errno == ENOENT && hops > 0) {
                struct stat folder {};
                if (::stat(folderOf(path).c_str(), &folder) != 0)
                    return {errno == ELOOP ? DocumentWriteStatus::LinkLoop : DocumentWriteStatus::LinkToMissingFolder,
                            {}};
            }
            return {DocumentWriteStatus::Ok, path};  // saved as a new file, or failing there
        }
        if (!S_ISLNK(st.st_mode)) return {DocumentWriteStatus::Ok, path};
        std::string link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<size_t>(n) >= link.size()) return {DocumentWriteStatus::Failed, {}};
        link.resize(static_cast<size_t>(n));
        path = link.front() == '/' ? link : folderOf(path) + "/" + link;
    }
    return {DocumentWriteStatus::LinkLoop, {}};
}

// Removes the files of path's earlier saves that were killed half way; a
// file that a running save has locked stays.
void removeLeftovers(const std::string& path) {
    const int dirFd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return;
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    std::vector<std::string> found;
    while (const dirent* e = ::readdir(dir))
        if (isSiblingOf(path, e->d_name)) found.emplace_back(e->d_name);
    for (const std::string& name : found) {
        const Fd fd(::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        struct stat locked {};
        struct stat named {};
        if (fd.get() < 0 || ::fstat(fd.get(), &locked) != 0 || !S_ISREG(locked.st_mode) || !lockNow(fd.get(), false))
            continue;
        if (::fstatat(dirFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(named, locked))
            ::unlinkat(dirFd, name.c_str(), 0);
    }
    ::closedir(dir);
}

DocumentWriteStatus saved(bool ok, const std::string& path) {
    if (!ok) return DocumentWriteStatus::Failed;
    removeLeftovers(path);
    return DocumentWriteStatus::Ok;
}

}  // namespace

NewFile writeNewFile(const std::string& path, std::span<const uint8_t> bytes, std::unique_ptr<Held>& held) {
    Fd fd;
    const NewFile made = createExclusive(path, 0600, fd);
    if (made != NewFile::Written) return made;
    if (!holdNew(fd.get(), path)) return NewFile::Exists;  // another name, please
    if (!fill(fd, bytes)) {
        ::unlink(path.c_str());
        return NewFile::Failed;
    }
    const int kept = fd.get();
    fd.release();
    held = std::make_unique<PosixHeld>(kept);
    return NewFile::Written;
}

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool nameTaken(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

DocumentWriteStatus saveFile(const std::string& requested, std::span<const uint8_t> bytes) {
    const Target target = followLinks(requested);
    if (target.status != DocumentWriteStatus::Ok) return target.status;
    const std::string& path = target.path;
    struct stat old {};
    if (::lstat(path.c_str(), &old) != 0) {
        if (errno != ENOENT) return DocumentWriteStatus::Failed;
        return saved(replaceByRename(path, nullptr, -1, bytes) == Outcome::Done, path);
    }
    // Read-only for everybody is read-only for an administrator too.
    if (!S_ISREG(old.st_mode) || (old.st_mode & 0222) == 0) return DocumentWriteStatus::Failed;
    // A file that may not be opened for writing is not replaced either.
    const Fd probe(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW));
    if (probe.get() < 0 || !stillThatFile(probe.get(), old)) return DocumentWriteStatus::Failed;
    if (old.st_nlink == 1) {
        const Outcome replaced = replaceByRename(path, &old, probe.get(), bytes);
        if (replaced != Outcome::NotHere) return saved(replaced == Outcome::Done, path);
    }
    const Fd fd(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW));
    if (fd.get() < 0 || !stillThatFile(fd.get(), old)) return DocumentWriteStatus::Failed;
    PosixOpenFile file(fd.get());
    return saved(rewriteInPlace(file, path, bytes), path);
}

// Only regular files, and never waiting on a pipe or device to open.
std::unique_ptr<ByteSource> openRegularFile(const std::string& path) {
    if (injectedFailure("open")) return nullptr;
    const int opened = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (opened < 0) return nullptr;
    auto source = std::make_unique<PosixSource>(opened);
    struct stat st {};
    if (::fstat(opened, &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    const int flags = ::fcntl(opened, F_GETFL);
    if (flags >= 0) ::fcntl(opened, F_SETFL, flags & ~O_NONBLOCK);
    return source;
}

}  // namespace zave::file_layer
