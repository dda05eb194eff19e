// The file layer on POSIX systems.
#include "schedule/document_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    return writeAllAt(fd.get(), 0, bytes) && !injectedFailure("flush new") && ::fsync(fd.get()) == 0 &&
           fd.close();
}

enum class Outcome { Done, Failed, NotHere };

// A new file beside path, renamed over it. With old, the new file first takes
// the old one's owner, group and permissions; NotHere when it cannot have
// them or the folder takes no new file.
Outcome replaceByRename(const std::string& path, const struct stat* old, std::span<const uint8_t> bytes) {
    for (int attempts = 0; attempts < 100; ++attempts) {
        const std::string temp = siblingName(path, ".tmp");
        Fd fd;
        const NewFile made = createExclusive(temp, old ? 0600 : 0666, fd);
        if (made == NewFile::Exists) continue;
        if (made == NewFile::Refused) return old ? Outcome::NotHere : Outcome::Failed;
        if (made != NewFile::Written) return Outcome::Failed;

        if (old) {
            struct stat mine {};
            const bool differs = ::fstat(fd.get(), &mine) != 0 || mine.st_uid != old->st_uid ||
                                 mine.st_gid != old->st_gid;
            if (differs && (injectedFailure("chown") || ::fchown(fd.get(), old->st_uid, old->st_gid) != 0)) {
                ::unlink(temp.c_str());
                return Outcome::NotHere;
            }
            // After the owner: a change of owner clears the set-id bits.
            if (injectedFailure("chmod") || ::fchmod(fd.get(), old->st_mode & 07777) != 0) {
                ::unlink(temp.c_str());
                return Outcome::Failed;
            }
        }
        const bool ok = fill(fd, bytes) && !injectedFailure("rename") && ::rename(temp.c_str(), path.c_str()) == 0;
        if (!ok) {
            ::unlink(temp.c_str());
            return Outcome::Failed;
        }
        syncFolder(path);
        return Outcome::Done;
    }
    return Outcome::Failed;
}

// Saving over a symbolic link replaces the file it points to, not the link.
std::string followLink(const std::string& requested) {
    struct stat link {};
    if (::lstat(requested.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return requested;
    char* real = ::realpath(requested.c_str(), nullptr);
    if (!real) return requested;
    std::string path = real;
    std::free(real);
    return path;
}

}  // namespace

NewFile writeNewFile(const std::string& path, std::span<const uint8_t> bytes) {
    Fd fd;
    const NewFile made = createExclusive(path, 0600, fd);
    if (made != NewFile::Written) return made;
    if (fill(fd, bytes)) return NewFile::Written;
    ::unlink(path.c_str());
    return NewFile::Failed;
}

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool saveFile(const std::string& requested, std::span<const uint8_t> bytes) {
    const std::string path = followLink(requested);
    struct stat old {};
    if (::stat(path.c_str(), &old) != 0) {
        if (errno != ENOENT) return false;
        return replaceByRename(path, nullptr, bytes) == Outcome::Done;
    }
    if (!S_ISREG(old.st_mode)) return false;
    {
        // A file that may not be opened for writing is not replaced either.
        const Fd probe(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        if (probe.get() < 0 || !stillThatFile(probe.get(), old)) return false;
    }
    if (old.st_nlink == 1) {
        const Outcome replaced = replaceByRename(path, &old, bytes);
        if (replaced != Outcome::NotHere) return replaced == Outcome::Done;
    }
    const Fd fd(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0 || !stillThatFile(fd.get(), old)) return false;
    PosixOpenFile file(fd.get());
    return rewriteInPlace(file, path, bytes);
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
