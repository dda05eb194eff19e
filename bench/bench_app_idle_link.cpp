// CPU use and resident memory of the program while it polls an idle device.
//
// Starts zave-devsim --pace 9600 as COM1, builds the main window on the
// offscreen platform, clicks "Установить связь" and lets the event loop run
// the 300 ms status polling for 30 s (ZAVE_BENCH_SECONDS to change).
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "app/main_window.h"

extern char** environ;

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long statusKiB(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + std::string(key).size(), nullptr, 10);
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    char dirTemplate[] = "/tmp/zave-bench-XXXXXX";
    const char* dir = mkdtemp(dirTemplate);
    if (!dir) return 1;
    setenv("XDG_RUNTIME_DIR", dir, 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const double seconds = std::getenv("ZAVE_BENCH_SECONDS") ? std::atof(std::getenv("ZAVE_BENCH_SECONDS")) : 30.0;

    const std::string link = std::string(dir) + "/zave/ports/COM1";
    const char* simArgs[] = {ZAVE_DEVSIM_PATH, "--port", "COM1", "--pace", "9600", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t sim = 0;
    if (posix_spawn(&sim, ZAVE_DEVSIM_PATH, &actions, nullptr, const_cast<char**>(simArgs), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", ZAVE_DEVSIM_PATH);
        return 1;
    }
    struct stat st{};
    for (int i = 0; i < 500 && lstat(link.c_str(), &st) != 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));

    int result = 0;
    {
        QApplication app(argc, argv);
        MainWindow window;
        window.show();
        window.findChild<QPushButton*>("connectButton")->click();
        if (!window.linkPortOpen()) {
            std::fprintf(stderr, "the program did not connect to the simulator\n");
            result = 1;
        } else {
            const double cpu0 = cpuSeconds();
            const auto wall0 = std::chrono::steady_clock::now();
            QTimer::singleShot(static_cast<int>(seconds * 1000), &app, [] { QCoreApplication::exit(0); });
            QApplication::exec();
            const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
            const double cpu = cpuSeconds() - cpu0;
            std::printf("idle link polling: %.1f s wall, %.3f s CPU = %.2f %% of one core (goal <= 1 %%)\n", wall, cpu,
                        100.0 * cpu / wall);
            std::printf("link still open: %s; device date shown: %s\n", window.linkPortOpen() ? "yes" : "no",
                        window.findChild<QLineEdit*>("deviceDateField")->text().toUtf8().constData());
            std::printf("resident memory: %.1f MiB now, %.1f MiB peak (goal <= 60 MiB)\n", statusKiB("VmRSS:") / 1024.0,
                        statusKiB("VmHWM:") / 1024.0);
        }
    }
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
    rmdir((std::string(dir) + "/zave/ports").c_str());
    rmdir((std::string(dir) + "/zave").c_str());
    rmdir(dir);
    return result;
}
