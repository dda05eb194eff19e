#include "support/pty_pair.h"

#ifndef _WIN32

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <unistd.h>

namespace zave::testing {

PtyPair::PtyPair(bool holdSlave) {
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0) return;
    if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0) {
        ::close(fd);
        return;
    }
    const char* name = ::ptsname(fd);
    if (name == nullptr) {
        ::close(fd);
        return;
    }
    slavePath_ = name;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    master_ = fd;
    if (holdSlave) slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

PtyPair::~PtyPair() {
    closeHeldSlave();
    closeMaster();
}

bool PtyPair::sendFromDevice(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(master_, text.data() + done, text.size() - done);
        if (n > 0) {
            done += size_t(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            struct pollfd p {master_, POLLOUT, 0};
            if (::poll(&p, 1, 1000) <= 0) return false;
        } else {
            return false;
        }
    }
    return true;
}

std::string PtyPair::receiveAtDevice(size_t count, int waitMs) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (got.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) break;
        struct pollfd p {master_, POLLIN, 0};
        if (::poll(&p, 1, int(left)) <= 0) break;
        char buffer[256];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0) got.append(buffer, size_t(n));
        else if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        else break;
    }
    return got;
}

void PtyPair::closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

void PtyPair::closeHeldSlave() {
    if (slave_ >= 0) ::close(slave_);
    slave_ = -1;
}

TempRuntimeDir::TempRuntimeDir() {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    if (old != nullptr) {
        hadOld_ = true;
        oldValue_ = old;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "zave-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return;
    root_ = pattern;
    links_ = root_ + "/zave/ports";
    std::error_code ec;
    std::filesystem::create_directories(links_, ec);
    ::setenv("XDG_RUNTIME_DIR", root_.c_str(), 1);
}

TempRuntimeDir::~TempRuntimeDir() {
    if (hadOld_) ::setenv("XDG_RUNTIME_DIR", oldValue_.c_str(), 1);
    else ::unsetenv("XDG_RUNTIME_DIR");
    if (!root_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
}

bool TempRuntimeDir::link(const std::string& name, const std::string& target) {
    if (links_.empty()) return false;
    const std::string path = links_ + "/" + name;
    ::unlink(path.c_str());
    return ::symlink(target.c_str(), path.c_str()) == 0;
}

}  // namespace zave::testing

#endif  // _WIN32
