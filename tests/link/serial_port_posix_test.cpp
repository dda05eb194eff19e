#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/ioctl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "device/eeprom_question_box.h"
#include "link/exchange.h"
#include "link/serial_port.h"
#include "support/fakes.h"
#include "support/pty_pair.h"

namespace zave {
namespace {

using namespace std::chrono_literals;
using std::chrono::steady_clock;
using testing::PtyPair;
using testing::TempRuntimeDir;

constexpr const char* kPort = "COM150";

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        ASSERT_GE(pty.heldSlave(), 0);
        ASSERT_TRUE(dir.link(kPort, pty.slavePath()));
        port = makeSystemSerialPort();
    }

    // Opens the port and fails the test when that does not work.
    void openPort() {
        ASSERT_TRUE(port->open(kPort)) << int(port->lastOpenFailure()) << " " << port->lastOpenDetail().path;
        ASSERT_TRUE(port->isOpen());
    }

    // Waits for input and reads until `count` bytes came or the wait gave up.
    std::string readAll(size_t count) {
        std::string got;
        const auto deadline = steady_clock::now() + 5s;
        while (got.size() < count && steady_clock::now() < deadline) {
            if (port->bytesWaiting() == 0 && port->waitForInput(deadline) != WaitResult::Input) break;
            char buffer[64];
            got.append(buffer, port->readWaiting(buffer, sizeof buffer));
        }
        return got;
    }

    TempRuntimeDir dir;
    PtyPair pty;
    std::unique_ptr<SerialPort> port;
};

TEST_F(SerialPortTest, OpensWithTheLineSettings) {
    // Start from settings that differ in every respect.
    termios before{};
    ASSERT_EQ(tcgetattr(pty.heldSlave(), &before), 0);
    cfsetispeed(&before, B19200);
    cfsetospeed(&before, B19200);
    before.c_cflag = (before.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB | CRTSCTS;
    before.c_cflag &= ~tcflag_t(CLOCAL | CREAD);
    before.c_iflag |= IXON | IXOFF | ICRNL;
    before.c_lflag |= ICANON | ECHO | ISIG;
    before.c_oflag |= OPOST;
    before.c_cc[VMIN] = 5;
    before.c_cc[VTIME] = 3;
    ASSERT_EQ(tcsetattr(pty.heldSlave(), TCSANOW, &before), 0);

    openPort();
    EXPECT_EQ(port->lastOpenFailure(), OpenFailure::None);

    termios t{};
    ASSERT_EQ(tcgetattr(pty.heldSlave(), &t), 0);
    EXPECT_EQ(cfgetispeed(&t), speed_t(B9600));
    EXPECT_EQ(cfgetospeed(&t), speed_t(B9600));
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(t.c_cflag & PARENB, 0u);
    EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
}

TEST_F(SerialPortTest, ASecondOpenerIsRefusedAsBusyUntilTheFirstCloses) {
    openPort();
    auto second = makeSystemSerialPort();
    EXPECT_FALSE(second->open(kPort));
    EXPECT_EQ(second->lastOpenFailure(), OpenFailure::Busy);
    EXPECT_FALSE(second->isOpen());
    EXPECT_TRUE(port->isOpen());  // the holder is not disturbed

    port->close();
    EXPECT_TRUE(second->open(kPort)) << int(second->lastOpenFailure());
    EXPECT_TRUE(second->isOpen());
}

TEST_F(SerialPortTest, APortLockedByAnotherProgramIsBusy) {
    // A lock held through some other descriptor of the device (as a second
    // zave run by root would hold it) keeps the port closed to us.
    ASSERT_EQ(flock(pty.heldSlave(), LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(port->open(kPort));
    EXPECT_EQ(port->lastOpenFailure(), OpenFailure::Busy);
    EXPECT_FALSE(port->isOpen());
    ASSERT_EQ(flock(pty.heldSlave(), LOCK_UN), 0);
    openPort();
}

TEST_F(SerialPortTest, ReadsOnlyWhatIsWaiting) {
    openPort();
    char buffer[16] = {};
    EXPECT_EQ(port->bytesWaiting(), 0u);
    EXPECT_EQ(port->readWaiting(buffer, sizeof buffer), 0u);  // returns at once, nothing there
    EXPECT_TRUE(port->isOpen());

    ASSERT_TRUE(pty.sendFromDevice("0A1B#\r"));
    ASSERT_EQ(port->waitForInput(steady_clock::now() + 5s), WaitResult::Input);
    // The line may hand the bytes over in pieces; wait until all six are there.
    const auto deadline = steady_clock::now() + 5s;
    while (port->bytesWaiting() < 6 && steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
    ASSERT_EQ(port->bytesWaiting(), 6u);

    EXPECT_EQ(port->readWaiting(buffer, 4), 4u);
    EXPECT_EQ(std::string(buffer, 4), "0A1B");
    EXPECT_EQ(port->bytesWaiting(), 2u);
    EXPECT_EQ(port->readWaiting(buffer, sizeof buffer), 2u);
    EXPECT_EQ(std::string(buffer, 2), "#\r");
    EXPECT_EQ(port->readWaiting(buffer, sizeof buffer), 0u);
    EXPECT_EQ(port->bytesWaiting(), 0u);
    EXPECT_TRUE(port->isOpen());
}

TEST_F(SerialPortTest, BytesArePassedUnchanged) {
    openPort();
    std::string all;
    for (int c = 0; c < 256; ++c) all.push_back(char(c));
    ASSERT_TRUE(pty.sendFromDevice(all));
    EXPECT_EQ(readAll(all.size()), all);
    EXPECT_EQ(port->write(all.data(), all.size()), all.size());
    EXPECT_EQ(pty.receiveAtDevice(all.size()), all);
}

TEST_F(SerialPortTest, InputPendingBeforeOpenIsDiscarded) {
    // Raw mode, so that the line counts the bytes before any newline.
    termios raw{};
    ASSERT_EQ(tcgetattr(pty.heldSlave(), &raw), 0);
    cfmakeraw(&raw);
    ASSERT_EQ(tcsetattr(pty.heldSlave(), TCSANOW, &raw), 0);
    ASSERT_TRUE(pty.sendFromDevice("stale"));
    // Let the line take the bytes in before the port opens.
    const auto deadline = steady_clock::now() + 5s;
    int waiting = 0;
    while (steady_clock::now() < deadline) {
        ioctl(pty.heldSlave(), FIONREAD, &waiting);
        if (waiting == 5) break;
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(waiting, 5);
    openPort();
    EXPECT_EQ(port->bytesWaiting(), 0u);
}

TEST_F(SerialPortTest, AWriteReachesTheOtherSide) {
    openPort();
    const std::string frame = "01020304050607080910111213DE\r";
    EXPECT_EQ(port->write(frame.data(), frame.size()), frame.size());
    EXPECT_EQ(pty.receiveAtDevice(frame.size()), frame);
    EXPECT_EQ(port->write(frame.data(), 0), 0u);
}

TEST_F(SerialPortTest, WritesWhileAnotherThreadWaitsForInput) {
    openPort();
    std::atomic<bool> done{false};
    std::string received;
    std::thread reader([&] {
        received = readAll(3);
        done = true;
    });
    const std::string frame(2000, 'Q');
    size_t written = 0;
    std::thread writer([&] { written = port->write(frame.data(), frame.size()); });
    const std::string atDevice = pty.receiveAtDevice(frame.size(), 10000);
    writer.join();
    ASSERT_TRUE(pty.sendFromDevice("on#"));
    reader.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(written, frame.size());
    EXPECT_EQ(atDevice, frame);
    EXPECT_EQ(received, "on#");
}

TEST_F(SerialPortTest, WaitEndsOnInputFromTheDevice) {
    openPort();
    std::thread device([&] {
        std::this_thread::sleep_for(20ms);
        pty.sendFromDevice("x");
    });
    const WaitResult r = port->waitForInput(steady_clock::now() + 30s);
    device.join();
    EXPECT_EQ(r, WaitResult::Input);
    EXPECT_EQ(port->bytesWaiting(), 1u);
}

TEST_F(SerialPortTest, WaitEndsWhenWokenFromAnotherThread) {
    openPort();
    std::thread waker([&] {
        std::this_thread::sleep_for(20ms);
        port->wake();
    });
    const WaitResult r = port->waitForInput(steady_clock::now() + 30s);
    waker.join();
    EXPECT_EQ(r, WaitResult::Woken);
    EXPECT_TRUE(port->isOpen());
}

TEST_F(SerialPortTest, AWakeBeforeTheWaitEndsTheNextWaitOnly) {
    openPort();
    port->wake();
    port->wake();
    EXPECT_EQ(port->waitForInput(steady_clock::now() + 30s), WaitResult::Woken);
    // Both wakes were used up by that one wait.
    EXPECT_EQ(port->waitForInput(steady_clock::now() + 20ms), WaitResult::Timeout);
    EXPECT_EQ(port->waitForInput(steady_clock::now() - 1s), WaitResult::Timeout);
}

TEST_F(SerialPortTest, WaitTimesOutWithoutInput) {
    openPort();
    const auto deadline = steady_clock::now() + 30ms;
    EXPECT_EQ(port->waitForInput(deadline), WaitResult::Timeout);
    EXPECT_GE(steady_clock::now(), deadline);  // it did not give up early
    EXPECT_TRUE(port->isOpen());
}

TEST_F(SerialPortTest, AWakeLeftFromTheLastConnectionIsForgotten) {
    openPort();
    port->wake();
    port->close();
    openPort();
    EXPECT_EQ(port->waitForInput(steady_clock::now() + 20ms), WaitResult::Timeout);
}

TEST_F(SerialPortTest, TheOtherSideClosingLeavesThePortGone) {
    openPort();
    pty.closeHeldSlave();
    pty.closeMaster();
    EXPECT_EQ(port->waitForInput(steady_clock::now() + 30s), WaitResult::Gone);
    EXPECT_FALSE(port->isOpen());
    char buffer[8];
    EXPECT_EQ(port->bytesWaiting(), 0u);
    EXPECT_EQ(port->readWaiting(buffer, sizeof buffer), 0u);
    EXPECT_EQ(port->write("abc", 3), 0u);
    EXPECT_EQ(port->waitForInput(steady_clock::now() + 30s), WaitResult::Gone);
    port->close();
    port->close();  // idempotent
    EXPECT_FALSE(port->isOpen());
}

TEST_F(SerialPortTest, TheOtherSideClosingEndsAWaitInProgress) {
    openPort();
    std::thread device([&] {
        std::this_thread::sleep_for(20ms);
        pty.closeMaster();
    });
    const WaitResult r = port->waitForInput(steady_clock::now() + 30s);
    device.join();
    EXPECT_EQ(r, WaitResult::Gone);
    EXPECT_FALSE(port->isOpen());
}

TEST_F(SerialPortTest, AVanishedDeviceIsSeenByEachOperation) {
    // Whichever operation meets the hang-up first marks the port gone.
    for (int op = 0; op < 3; ++op) {
        PtyPair other;
        ASSERT_TRUE(other.ok());
        ASSERT_TRUE(dir.link("COM151", other.slavePath()));
        auto p = makeSystemSerialPort();
        ASSERT_TRUE(p->open("COM151")) << op;
        other.closeHeldSlave();
        other.closeMaster();
        char buffer[8];
        if (op == 0) {
            EXPECT_EQ(p->bytesWaiting(), 0u);
        } else if (op == 1) {
            EXPECT_EQ(p->readWaiting(buffer, sizeof buffer), 0u);
        } else {
            p->write("abc", 3);
        }
        EXPECT_FALSE(p->isOpen()) << "operation " << op;
        p->close();
    }
}

TEST_F(SerialPortTest, ReopensAfterClose) {
    openPort();
    port->close();
    EXPECT_FALSE(port->isOpen());
    openPort();
    EXPECT_EQ(port->write("z", 1), 1u);
    EXPECT_EQ(pty.receiveAtDevice(1), "z");
}

TEST_F(SerialPortTest, OperationsOnAClosedPortDoNothing) {
    char buffer[4];
    EXPECT_FALSE(port->isOpen());
    EXPECT_EQ(port->bytesWaiting(), 0u);
    EXPECT_EQ(port->readWaiting(buffer, sizeof buffer), 0u);
    EXPECT_EQ(port->write("a", 1), 0u);
    EXPECT_EQ(port->waitForInput(steady_clock::now() + 30s), WaitResult::Gone);
    port->close();
    EXPECT_FALSE(port->isOpen());
}

struct FailureCase {
    const char* what;
    OpenFailure expected;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.what; }

class SerialPortOpenFailureTest : public SerialPortTest,
                                  public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SerialPortOpenFailureTest, FailsWithTheReasonAndHoldsNothing) {
    const std::string what = GetParam().what;
    std::string name = "COM160";
    if (what == "unlinked high number") {
        name = "COM200";
    } else if (what == "bad name") {
        name = "com5";
    } else if (what == "dangling link") {
        ASSERT_TRUE(dir.link(name, dir.root() + "/nothing"));
    } else if (what == "regular file") {
        std::ofstream(dir.root() + "/file") << "data";
        ASSERT_TRUE(dir.link(name, dir.root() + "/file"));
    } else if (what == "not a terminal") {
        ASSERT_TRUE(dir.link(name, "/dev/null"));
    } else if (what == "directory") {
        ASSERT_TRUE(dir.link(name, dir.root()));
    }
    EXPECT_FALSE(port->open(name));
    EXPECT_EQ(port->lastOpenFailure(), GetParam().expected);
    EXPECT_FALSE(port->isOpen());
    // The port object is still good for the real device.
    openPort();
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, SerialPortOpenFailureTest,
    ::testing::Values(FailureCase{"unlinked high number", OpenFailure::NotFound},
                      FailureCase{"bad name", OpenFailure::NotFound},
                      FailureCase{"dangling link", OpenFailure::NotFound},
                      FailureCase{"directory", OpenFailure::NotFound},
                      FailureCase{"regular file", OpenFailure::Settings},
                      FailureCase{"not a terminal", OpenFailure::Settings}),
    [](const auto& info) {
        std::string n = info.param.what;
        for (char& c : n)
            if (c == ' ') c = '_';
        return n;
    });

TEST_F(SerialPortTest, AFailedOpenReleasesThePortThatWasOpen) {
    openPort();
    EXPECT_FALSE(port->open("COM200"));
    EXPECT_FALSE(port->isOpen());
    // The device is free again for another opener.
    auto other = makeSystemSerialPort();
    EXPECT_TRUE(other->open(kPort)) << int(other->lastOpenFailure());
}

TEST_F(SerialPortTest, PermissionDeniedNamesThePathAndItsGroup) {
    if (geteuid() == 0) GTEST_SKIP() << "root opens every file";
    const std::string file = dir.root() + "/locked";
    std::ofstream(file) << "x";
    ASSERT_EQ(chmod(file.c_str(), 0), 0);
    ASSERT_TRUE(dir.link("COM161", file));
    EXPECT_FALSE(port->open("COM161"));
    EXPECT_EQ(port->lastOpenFailure(), OpenFailure::PermissionDenied);
    const OpenFailureDetail detail = port->lastOpenDetail();
    EXPECT_EQ(detail.path, std::filesystem::canonical(file).string());
    EXPECT_FALSE(detail.group.empty());
    EXPECT_FALSE(port->isOpen());
}

// A call left inside the port when it is closed: the descriptor number of
// the port must not pass to another file while that call could still use it.

// The descriptor number this process holds on `path`, other than `except`.
int descriptorOn(const std::string& path, int except) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        const auto target = std::filesystem::read_symlink(entry.path(), ec);
        if (ec || target != path) continue;
        const int fd = std::stoi(entry.path().filename().string());
        if (fd != except) return fd;
    }
    return -1;
}

// Fills the line's output queue through another descriptor of the same
// terminal, so that the port's next write finds no room.
void fillOutputQueue(int slaveFd) {
    const std::string chunk(4096, 'x');
    ::fcntl(slaveFd, F_SETFL, ::fcntl(slaveFd, F_GETFL) | O_NONBLOCK);
    // The terminal moves queued output on in the background and so makes
    // room again for a while: fill until a pause brings no more room.
    for (int quietRounds = 0; quietRounds < 3;) {
        bool took = false;
        while (::write(slaveFd, chunk.data(), chunk.size()) > 0) took = true;
        while (::write(slaveFd, "x", 1) > 0) took = true;
        quietRounds = took ? 0 : quietRounds + 1;
        std::this_thread::sleep_for(20ms);
    }
}

// Opens files until one gets `wanted` as its number (or 32 are open).
std::vector<std::pair<std::string, int>> openFilesUpTo(const std::string& folder, int wanted) {
    std::vector<std::pair<std::string, int>> files;
    for (int i = 0; i < 32; ++i) {
        const std::string path = folder + "/document" + std::to_string(i) + ".ptm";
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) break;
        files.emplace_back(path, fd);
        if (fd == wanted) break;
    }
    return files;
}

void expectEmptyAndClose(const std::vector<std::pair<std::string, int>>& files) {
    for (const auto& [path, fd] : files) {
        EXPECT_EQ(std::filesystem::file_size(path), 0u) << path << " took descriptor " << fd;
        ::close(fd);
    }
}

TEST_F(SerialPortTest, AnExchangeWorkerLeftBehindNeverWritesIntoAFileThatTookItsDescriptor) {
    openPort();
    const int portFd = descriptorOn(pty.slavePath(), pty.heldSlave());
    ASSERT_GE(portFd, 0);
    fillOutputQueue(pty.heldSlave());
    testing::FakeMessageBoxes boxes;
    zave::EepromQuestionBox eeprom{boxes};
    auto engine = std::make_unique<ExchangeEngine>(*port, eeprom);
    // The sender cannot write and stays in the port past every limit of the
    // exchange, which gives it up.
    EXPECT_EQ(engine->sendCommand(WriteSettings, {0, 10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}), ExchangeResult::NoReply);
    port->close();
    const auto files = openFilesUpTo(dir.root(), portFd);
    pty.receiveAtDevice(size_t(1) << 20, 200);
    // The engine goes only once its workers are out of the port.
    engine.reset();
    expectEmptyAndClose(files);
    // The device got nothing after the close either: every byte it saw is filler.
    const std::string late = pty.receiveAtDevice(size_t(1) << 20, 200);
    EXPECT_EQ(late.find_first_not_of('x'), std::string::npos) << late;
}

}  // namespace
}  // namespace zave
