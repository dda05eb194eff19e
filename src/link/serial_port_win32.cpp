// The link port on Windows: a COM device opened without overlapped I/O.
//
// Reads never wait: the driver's read time-outs are all zero and only the
// bytes ClearCommError reports as waiting are read. A synchronous handle
// cannot be waited on for input without holding it (a pending WaitCommEvent
// or timed ReadFile would keep the sender's WriteFile out until it ends), so
// waitForInput looks at the input queue between short waits on the wake
// flag, paced to the line: one character takes about 1 ms at 9600 baud, so
// while input flows the queue is looked at every millisecond; while the line
// is quiet the wait doubles up to 4 ms, less than the shortest reply lasts,
// so a reply is always seen while it still arrives and its end within about
// a character time. The system timer runs at 1 ms while the port is open
// (Windows otherwise ends a 1 ms wait only at its next 15.6 ms tick) and is
// given back on close.
//
// The handle is closed only by close(), on the user-interface thread while
// no exchange runs; a worker that finds the device removed only marks the
// port as gone.
#include "link/serial_port.h"

#include <windows.h>
#include <timeapi.h>

#include <algorithm>
#include <atomic>

namespace zave {

namespace {

using std::chrono::steady_clock;

// The first and the longest wait between two looks at the input queue.
constexpr DWORD kFirstStepMs = 1;
constexpr DWORD kLongestStepMs = 4;

OpenFailure failureOfOpen(DWORD error) {
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return OpenFailure::Busy;  // held by another program
    default: return OpenFailure::NotFound;
    }
}

class Win32SerialPort final : public SerialPort {
public:
    Win32SerialPort() = default;
    ~Win32SerialPort() override { close(); }

    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    bool open(const std::string& portName) override {
        close();
        failure_ = OpenFailure::None;
        detail_.clear();

        const std::string path = "\\\\.\\" + portName;
        HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            failure_ = failureOfOpen(::GetLastError());
            detail_ = path;
            return false;
        }

        // The queue sizes are a request; a driver that keeps its own is fine.
        (void)::SetupComm(h, 255, 255);

        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!::GetCommState(h, &dcb)) return fail(h, path);
        dcb.BaudRate = CBR_9600;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        if (!::SetCommState(h, &dcb)) return fail(h, path);

        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = 0;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = 0;
        timeouts.WriteTotalTimeoutMultiplier = 100;
        timeouts.WriteTotalTimeoutConstant = 10;
        if (!::SetCommTimeouts(h, &timeouts)) return fail(h, path);

        ::InterlockedExchange(&wakeFlag_, 0);
        gone_.store(false);
        // Fine timer steps while the port is open; a system that refuses
        // keeps its coarse ones and the waits only end later.
        fineTimer_ = ::timeBeginPeriod(1) == TIMERR_NOERROR;
        handle_.store(h);
        return true;
    }

    bool isOpen() const override { return handle_.load() != nullptr && !gone_.load(); }

    void close() override {
        HANDLE h = handle_.exchange(nullptr);
        if (h != nullptr) ::CloseHandle(h);
        gone_.store(false);
        if (fineTimer_) ::timeEndPeriod(1);
        fineTimer_ = false;
    }

    OpenFailure lastOpenFailure() const override { return failure_; }
    std::string lastOpenDetail() const override { return detail_; }

    size_t bytesWaiting() override {
        HANDLE h = usableHandle();
        if (h == nullptr) return 0;
        return queued(h);
    }

    size_t readWaiting(char* buffer, size_t max) override {
        if (buffer == nullptr || max == 0) return 0;
        HANDLE h = usableHandle();
        if (h == nullptr) return 0;
        size_t want = queued(h);
        if (want > max) want = max;
        if (want == 0) return 0;
        DWORD got = 0;
        if (!::ReadFile(h, buffer, DWORD(want), &got, nullptr)) {
            markGone();
            return 0;
        }
        return got;
    }

    size_t write(const char* data, size_t size) override {
        if (data == nullptr || size == 0) return 0;
        HANDLE h = usableHandle();
        if (h == nullptr) return 0;
        // The driver ends the write after the write time-out set at open.
        DWORD written = 0;
        if (!::WriteFile(h, data, DWORD(size), &written, nullptr)) {
            DWORD errors = 0;
            if (!::ClearCommError(h, &errors, nullptr)) markGone();
        }
        return written;
    }

    WaitResult waitForInput(Deadline deadline) override {
        // A wake asked for before the input came still wins, as it means
        // the exchange is over.
        if (takeWake()) return WaitResult::Woken;
        DWORD step = kFirstStepMs;
        for (;;) {
            HANDLE h = usableHandle();
            if (h == nullptr) return WaitResult::Gone;
            if (queued(h) > 0) return WaitResult::Input;
            if (gone_.load()) return WaitResult::Gone;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - steady_clock::now()).count();
            if (left <= 0) return WaitResult::Timeout;
            const DWORD wait = left < step ? DWORD(left) : step;
            // Sleeps while the flag stays clear: wake() ends it at once.
            LONG clear = 0;
            ::WaitOnAddress(&wakeFlag_, &clear, sizeof wakeFlag_, wait);
            if (takeWake()) return WaitResult::Woken;
            step = std::min(step * 2, kLongestStepMs);
        }
    }

    void wake() override {
        ::InterlockedExchange(&wakeFlag_, 1);
        ::WakeByAddressAll(const_cast<LONG*>(&wakeFlag_));
    }

private:
    bool fail(HANDLE h, const std::string& path) {
        failure_ = OpenFailure::Settings;
        detail_ = path;
        ::CloseHandle(h);
        return false;
    }

    HANDLE usableHandle() const { return gone_.load() ? nullptr : handle_.load(); }

    void markGone() { gone_.store(true); }

    // Takes a wake asked for since the last one was taken.
    bool takeWake() { return ::InterlockedExchange(&wakeFlag_, 0) != 0; }

    // Bytes in the driver's input queue; a failure means the device is gone.
    size_t queued(HANDLE h) {
        DWORD errors = 0;
        COMSTAT stat{};
        if (!::ClearCommError(h, &errors, &stat)) {
            markGone();
            return 0;
        }
        return stat.cbInQue;
    }

    std::atomic<HANDLE> handle_{nullptr};
    std::atomic<bool> gone_{false};
    // Set by wake(), taken by waitForInput; waited on by address, which
    // costs no kernel object and ends the wait as soon as it is set.
    volatile LONG wakeFlag_ = 0;
    bool fineTimer_ = false;  // timeBeginPeriod(1) holds until close()
    OpenFailure failure_ = OpenFailure::None;
    std::string detail_;
};

}  // namespace

std::unique_ptr<SerialPort> makeSystemSerialPort() { return std::make_unique<Win32SerialPort>(); }

}  // namespace zave
