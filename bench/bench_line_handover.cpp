// What it costs to hand the line from one user to the next without letting a
// reply cross over, against zave-devsim:
//  - two `zavectl status` in a row against a healthy device at --pace 9600,
//    and the same against a device that answers 1000 ms late: each run's
//    time to its result (first line printed) and to its exit;
//  - the window's connect (the same DeviceLink) to a healthy device at
//    --pace 9600 on a clean line, and on a line whose last user was killed;
//  - the end-of-operation watch: program write and read at --pace 9600
//    against their wire time (bench_program prints the same ratio in full).
// The silent-device hold before the monitor's boxes is printed by
// bench_late_line. Prints figures; asserts nothing.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "device/eeprom_question_box.h"
#include "device/program_ops.h"
#include "link/connection.h"
#include "link/exchange.h"
#include "link/line_record.h"
#include "link/serial_port.h"
#include "schedule/document.h"
#include "bench_support.h"
#include "support/devsim_spawn.h"

namespace {

using namespace zave_bench;

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

struct RunTimes {
    double toResult = -1;
    double toExit = -1;
    int exit = -1;
};

// One zavectl run: when its first line came and when it ended.
RunTimes zavectl(const std::vector<std::string>& args) {
    RunTimes t;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return t;
    std::vector<std::string> text{ZAVECTL_PATH};
    text.insert(text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : text) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    const auto start = Clock::now();
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, ZAVECTL_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return t;
    }
    char ch;
    if (::read(fds[0], &ch, 1) == 1) t.toResult = msSince(start);
    char sink[4096];
    while (::read(fds[0], sink, sizeof sink) > 0) {
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    t.toExit = msSince(start);
    t.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return t;
}

void twoStatusRuns(const char* what, const std::vector<std::string>& simArgs) {
    Sim sim(simArgs);
    if (!sim.ok()) {
        std::printf("%s: simulator did not start\n", what);
        return;
    }
    const RunTimes first = zavectl({"status", "--port", "COM200"});
    const RunTimes second = zavectl({"status", "--port", "COM200"});
    std::printf("two zavectl status, %s: first %.1f ms to its result (%.1f ms to exit, code %d), "
                "second %.1f ms to its result (%.1f ms to exit, code %d); second minus first %+.1f ms (goal <= 50)\n",
                what, first.toResult, first.toExit, first.exit, second.toResult, second.toExit, second.exit,
                second.toResult - first.toResult);
}

double connectTime(bool lastUserKilled) {
    Sim sim({"--pace", "9600"});
    if (!sim.ok()) return -1;
    if (lastUserKilled) zave::LineRecord::markInUse("COM200");
    else zave::LineRecord::clear("COM200");
    auto port = zave::makeSystemSerialPort();
    QuietLog log;
    NoBoxes boxes;
    NoPump pump;
    zave::EepromQuestionBox eeprom{boxes};
    zave::ExchangeEngine engine(*port, eeprom);
    zave::DeviceLink link(*port, engine, log, boxes, pump);
    const auto start = Clock::now();
    const bool ready = link.connectDevice("COM200") == zave::ConnectOutcome::Ready;
    const double ms = msSince(start);
    link.closeLink();
    return ready ? ms : -1;
}

void programAtPace() {
    zave::ScheduleDocument doc;
    zave::resetDocument(doc);
    for (int d = 1; d <= 7; ++d)
        for (int s = 1; s <= 12; ++s) doc.slot(d, s) = zave::TimeSlot{s % 2, (s + d) % 24, s * 4, (d * 12 + s) % 101};
    Sim sim({"--pace", "9600"});
    auto port = zave::makeSystemSerialPort();
    QuietLog log;
    NoBoxes boxes;
    NoProgress progress;
    zave::EepromQuestionBox eeprom{boxes};
    zave::ExchangeEngine engine(*port, eeprom);
    zave::DeviceOperationContext ctx{engine, log, boxes, progress};
    if (!sim.ok() || !port->open("COM200")) return;
    // 10 bits a character at 9600 baud: write 28 x (29 + 4), read 28 x (9 + 26).
    const double charMs = 10.0 * 1000.0 / 9600.0;
    const double writeWire = 28 * 33 * charMs, readWire = 28 * 35 * charMs;
    for (int run = 1; run <= 3; ++run) {
        auto t0 = Clock::now();
        const bool w = zave::writeProgram(ctx, *port, doc, true);
        const double wms = msSince(t0);
        zave::ScheduleDocument back;
        zave::resetDocument(back);
        t0 = Clock::now();
        const bool r = zave::readProgram(ctx, *port, back);
        const double rms = msSince(t0);
        std::printf("program at 9600 baud, run %d: write %s %.1f ms (ratio %.3f), read %s %.1f ms (ratio %.3f)\n",
                    run, w ? "ok" : "FAILED", wms, wms / writeWire, r ? "ok" : "FAILED", rms, rms / readWire);
    }
}

}  // namespace

int main() {
    char dirTemplate[] = "/tmp/zave-bench-XXXXXX";
    const char* dir = mkdtemp(dirTemplate);
    if (!dir) return 1;
    setenv("XDG_RUNTIME_DIR", dir, 1);

    twoStatusRuns("healthy device at 9600 baud", {"--pace", "9600"});
    twoStatusRuns("device 1000 ms late", {"--delay-ms", "1000"});
    for (const bool killed : {false, true})
        std::printf("window connect at 9600 baud, %s: %.1f ms\n",
                    killed ? "last user of the line killed" : "clean line", connectTime(killed));
    programAtPace();

    const std::string cleanup = std::string("rm -rf '") + dir + "'";
    if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", dir);
    return 0;
}
