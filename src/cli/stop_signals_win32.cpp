#include "cli/stop_signals.h"

#include <windows.h>

#include <mutex>

namespace zave::cli {

namespace {

std::mutex gNoticeMutex;
std::string gNotice;  // guarded by gNoticeMutex

// Runs in a thread of its own that the system starts. The exit status is the
// one a POSIX shell sees for the signal: 130 for Ctrl+C or Ctrl+Break, 143
// for a closed console, log-off or shutdown.
BOOL WINAPI onControl(DWORD event) {
    std::string notice;
    {
        std::lock_guard lock(gNoticeMutex);
        notice = gNotice;
    }
    const std::string text = "\nzavectl: " + (notice.empty() ? std::string("прервано") : notice) + "\n";
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
    ::ExitProcess(interrupt ? 130 : 143);
    return TRUE;
}

}  // namespace

void installStopSignals() { ::SetConsoleCtrlHandler(onControl, TRUE); }

void setStopNotice(const std::string& text) {
    std::lock_guard lock(gNoticeMutex);
    gNotice = text;
}

}  // namespace zave::cli
