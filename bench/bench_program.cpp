// Wall time of a program write and a program read against
// zave-devsim --pace 9600, and its ratio to the time the characters of the
// exchanges take on the line (10 bits a character at 9600 baud).
//
// Write: 28 frames of 29 characters out, 28 answers "on#\r" of 4 in.
// Read:  28 queries of 9 characters out, 28 replies of 26 in.
// ZAVE_BENCH_RUNS sets the number of runs of each (default 3).
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "device/eeprom_question_box.h"
#include "device/program_ops.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "link/serial_port.h"
#include "schedule/document.h"
#include "bench_support.h"
#include "support/devsim_spawn.h"

namespace {

using namespace zave_bench;

constexpr double kCharSeconds = 10.0 / 9600.0;

// Seconds for 28 rounds of `frame` written and its reply read up to its end,
// straight on the port.
double rawExchanges(zave::SerialPort& port, const std::string& frame) {
    const auto t0 = Clock::now();
    char buffer[256];
    for (int q = 0; q < 28; ++q) {
        port.write(frame.data(), frame.size());
        std::string reply;
        const auto giveUp = Clock::now() + std::chrono::seconds(2);
        while (reply.find("#\r") == std::string::npos && Clock::now() < giveUp) {
            if (const size_t n = port.readWaiting(buffer, sizeof buffer)) reply.append(buffer, n);
            else port.waitForInput(giveUp);
        }
    }
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

}  // namespace

int main() {
    char dirTemplate[] = "/tmp/zave-bench-XXXXXX";
    const char* dir = mkdtemp(dirTemplate);
    if (!dir) return 1;
    setenv("XDG_RUNTIME_DIR", dir, 1);
    const int runs = std::getenv("ZAVE_BENCH_RUNS") ? std::max(1, std::atoi(std::getenv("ZAVE_BENCH_RUNS"))) : 3;

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return 1;
    const pid_t sim = zave::testing::spawnDevSim(ZAVE_DEVSIM_PATH, {"--port", "COM200", "--pace", "9600"}, pipeFds[1]);
    ::close(pipeFds[1]);
    if (sim <= 0) {
        std::fprintf(stderr, "cannot start %s\n", ZAVE_DEVSIM_PATH);
        return 1;
    }
    // Wait for the port line, then keep draining the trace so the simulator never blocks on it.
    std::string first;
    for (char ch; first.find('\n') == std::string::npos;) {
        pollfd p{pipeFds[0], POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0 || ::read(pipeFds[0], &ch, 1) != 1) break;
        first += ch;
    }
    std::thread drain([fd = pipeFds[0]] {
        char buf[4096];
        while (::read(fd, buf, sizeof buf) > 0) {
        }
    });

    int rc = 0;
    {
        auto port = zave::makeSystemSerialPort();
        if (first.rfind("port COM200", 0) != 0 || !port->open("COM200")) {
            std::fprintf(stderr, "simulator port did not open (%s)\n", first.c_str());
            rc = 1;
        } else {
            NoBoxes boxes;
            zave::EepromQuestionBox eeprom{boxes};
            QuietLog log;
            NoProgress progress;
            zave::ExchangeEngine engine(*port, eeprom);
            zave::DeviceOperationContext ctx{engine, log, boxes, progress};

            zave::ScheduleDocument doc;
            zave::resetDocument(doc);
            for (int d = 1; d <= 7; ++d)
                for (int s = 1; s <= 12; ++s) doc.slot(d, s) = zave::TimeSlot{s % 2, s + d, s * 4, (d * 12 + s) % 101};

            const double writeWire = 28.0 * (29 + 4) * kCharSeconds;
            const double readWire = 28.0 * (9 + 26) * kCharSeconds;
            double writeTotal = 0, readTotal = 0, writeBest = 1e9, readBest = 1e9;
            for (int i = 0; i < runs; ++i) {
                auto t0 = Clock::now();
                const bool written = zave::writeProgram(ctx, *port, doc, true);
                const double w = std::chrono::duration<double>(Clock::now() - t0).count();
                zave::ScheduleDocument back;
                resetDocument(back);
                t0 = Clock::now();
                const bool read = zave::readProgram(ctx, *port, back);
                const double r = std::chrono::duration<double>(Clock::now() - t0).count();
                if (!written || !read || back.days != doc.days) {
                    std::fprintf(stderr, "run %d failed: write %d read %d same %d\n", i + 1, written, read,
                                 back.days == doc.days);
                    rc = 1;
                }
                writeTotal += w;
                readTotal += r;
                writeBest = std::min(writeBest, w);
                readBest = std::min(readBest, r);
                std::printf("run %d: write %.1f ms (ratio %.3f), read %.1f ms (ratio %.3f)\n", i + 1, w * 1e3,
                            w / writeWire, r * 1e3, r / readWire);
            }
            // The same 28 queries and frames sent straight through the engine,
            // without the operation around them: what the engine and the
            // simulator cost by themselves.
            double bareRead = 0, bareWrite = 0;
            for (int i = 0; i < runs; ++i) {
                auto t0 = Clock::now();
                for (int q = 0; q < 28; ++q) engine.sendQuery(0x83, 1, 10);
                bareRead += std::chrono::duration<double>(Clock::now() - t0).count();
                t0 = Clock::now();
                for (int q = 0; q < 28; ++q) engine.sendCommand(0x04, zave::CommandParams{1, 10});
                bareWrite += std::chrono::duration<double>(Clock::now() - t0).count();
            }
            // And the same frames written to the port and their replies read
            // with no engine at all: what the simulator and the
            // pseudo-terminal cost, which no change of the engine can win back.
            double rawRead = 0, rawWrite = 0;
            for (int i = 0; i < runs; ++i) {
                rawRead += rawExchanges(*port, zave::queryFrame(0x83, 1, 10));
                rawWrite += rawExchanges(*port, zave::commandFrame(0x04, zave::CommandParams{1, 10}));
            }
            std::printf("28 commands with no engine: mean %.1f ms, ratio %.3f; 28 queries: mean %.1f ms, ratio %.3f\n",
                        rawWrite / runs * 1e3, rawWrite / runs / writeWire, rawRead / runs * 1e3,
                        rawRead / runs / readWire);
            std::printf("28 bare commands: mean %.1f ms, ratio %.3f; 28 bare queries: mean %.1f ms, ratio %.3f\n",
                        bareWrite / runs * 1e3, bareWrite / runs / writeWire, bareRead / runs * 1e3,
                        bareRead / runs / readWire);
            std::printf("program write: wire time %.1f ms, mean %.1f ms, best %.1f ms, mean ratio %.3f (goal <= 1.02)\n",
                        writeWire * 1e3, writeTotal / runs * 1e3, writeBest * 1e3, writeTotal / runs / writeWire);
            std::printf("program read:  wire time %.1f ms, mean %.1f ms, best %.1f ms, mean ratio %.3f (goal <= 1.02)\n",
                        readWire * 1e3, readTotal / runs * 1e3, readBest * 1e3, readTotal / runs / readWire);
            port->close();
        }
    }

    zave::testing::endDevSim(sim, SIGTERM);
    drain.join();
    ::close(pipeFds[0]);
    const std::string cleanup = std::string("rm -rf '") + dir + "'";
    if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", dir);
    return rc;
}
