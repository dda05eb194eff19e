// Status exchanges against the simulator on a line paced at 9600 baud: the
// wall time of one exchange against the wire time of its 35 characters, and
// the CPU time this process spends on it.
//
//   bench_exchange [count]   (default 200)
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "device/eeprom_question_box.h"
#include "link/exchange.h"
#include "link/serial_port.h"
#include "support/devsim_spawn.h"

namespace {

class NoBoxes : public zave::MessageBoxes {
public:
    zave::MessageAnswer show(std::string_view, std::string_view, zave::MessageIcon, zave::MessageButtons) override {
        ++shown;
        return zave::MessageAnswer::Yes;
    }
    int shown = 0;
};

double cpuSeconds() {
    struct timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The port name from the simulator's first line, "port <name> <path>".
std::string waitForPort(const std::string& traceFile) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        std::ifstream in(traceFile);
        std::string line;
        if (std::getline(in, line) && line.rfind("port ", 0) == 0 && in.good()) {
            const size_t space = line.find(' ', 5);
            return line.substr(5, space - 5);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    constexpr int kBaud = 9600;
    constexpr int kCharacters = 9 + 26;  // status query out, status reply in
    const double wireSeconds = kCharacters * 10.0 / kBaud;

    char pattern[] = "/tmp/zave-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string root = pattern;
    setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
    const std::string traceFile = root + "/trace.txt";
    const int traceFd = open(traceFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t sim = zave::testing::spawnDevSim(ZAVE_DEVSIM_PATH, {"--pace", std::to_string(kBaud)}, traceFd);
    close(traceFd);
    const std::string portName = sim > 0 ? waitForPort(traceFile) : std::string();
    int rc = 0;
    if (portName.empty()) {
        std::fprintf(stderr, "bench_exchange: the simulator did not start\n");
        rc = 1;
    } else {
        auto port = zave::makeSystemSerialPort();
        NoBoxes boxes;
        zave::EepromQuestionBox eeprom{boxes};
        zave::ExchangeEngine engine(*port, eeprom);
        if (!port->open(portName)) {
            std::fprintf(stderr, "bench_exchange: cannot open %s\n", portName.c_str());
            rc = 1;
        } else {
            for (int i = 0; i < 5; ++i) engine.sendQuery(zave::Status, 0, 0);  // warm-up

            std::vector<double> walls;
            walls.reserve(size_t(count));
            int failures = 0;
            const double cpu0 = cpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < count; ++i) {
                const auto t0 = std::chrono::steady_clock::now();
                if (engine.sendQuery(zave::Status, 0, 0) != zave::ExchangeResult::Ok) ++failures;
                walls.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
            }
            const double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const double cpu = cpuSeconds() - cpu0;
            std::sort(walls.begin(), walls.end());
            const double mean = total / count;

            std::printf("status exchanges at %d baud: %d (%d not Ok)\n", kBaud, count, failures);
            std::printf("wire time of %d characters: %.2f ms\n", kCharacters, wireSeconds * 1e3);
            std::printf("wall time per exchange: mean %.2f ms, median %.2f ms, min %.2f ms, max %.2f ms\n",
                        mean * 1e3, walls[walls.size() / 2] * 1e3, walls.front() * 1e3, walls.back() * 1e3);
            std::printf("ratio mean / wire time: %.3f (goal <= 1.02)\n", mean / wireSeconds);
            std::printf("process CPU time per exchange: %.3f ms (goal < 2 ms)\n", cpu / count * 1e3);
            port->close();
        }
    }
    if (sim > 0) zave::testing::endDevSim(sim, SIGTERM);
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return rc;
}
