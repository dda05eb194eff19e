// zavectl: the announcer's programs and clock from the command line.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#include <io.h>
#else
#include <unistd.h>
#endif

#include "cli/stop_signals.h"
#include "cli/zavectl.h"

namespace {

bool stderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) == 1;
#endif
}

// The arguments as UTF-8, whatever the system's code page.
std::vector<std::string> arguments(int argc, char** argv) {
    std::vector<std::string> args;
#ifdef _WIN32
    (void)argv;
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    for (int i = 1; wide != nullptr && i < count; ++i) {
        const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string text(n > 0 ? static_cast<size_t>(n - 1) : 0, '\0');
        if (n > 1) ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), n, nullptr, nullptr);
        args.push_back(std::move(text));
    }
    if (wide != nullptr) ::LocalFree(wide);
#else
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
#endif
    return args;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // Russian texts are printed as UTF-8.
    ::SetConsoleOutputCP(CP_UTF8);
#endif
    // Before any thread starts: the signals are taken by a thread of their own.
    zave::cli::installStopSignals();
    zave::SystemClock clock;
    zave::cli::CliContext ctx{std::cout, std::cerr, clock};
    ctx.progressBar = stderrIsTerminal();
    ctx.setInterruptNotice = zave::cli::setStopNotice;
    const int exit = zave::cli::runZavectl(arguments(argc, argv), ctx);
    std::cout.flush();
    return exit;
}
