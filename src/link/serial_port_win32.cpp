// The link port on Windows: a COM device opened without overlapped I/O.
//
// Reads never wait: the driver's read time-outs are all zero and only the
// bytes ClearCommError reports as waiting are read. Without overlapped I/O
// the device cannot be waited on, so waitForInput looks at the input queue
// between 1 ms waits on the wake event. The handle is closed only by
// close(), on the user-interface thread while no exchange runs; a worker
// that finds the device removed only marks the port as gone.
#include "link/serial_port.h"

#include <windows.h>

#include <atomic>

namespace zave {

namespace {

using std::chrono::steady_clock;

OpenFailure failureOfOpen(DWORD error) {
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return OpenFailure::Busy;  // held by another program
    default: return OpenFailure::NotFound;
    }
}

class Win32SerialPort final : public SerialPort {
public:
    Win32SerialPort() { wakeEvent_ = ::CreateEventA(nullptr, FALSE, FALSE, nullptr); }

    ~Win32SerialPort() override {
        close();
        if (wakeEvent_ != nullptr) ::CloseHandle(wakeEvent_);
    }

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

        if (wakeEvent_ != nullptr) ::ResetEvent(wakeEvent_);
        wakeFlag_.store(false);
        gone_.store(false);
        handle_.store(h);
        return true;
    }

    bool isOpen() const override { return handle_.load() != nullptr && !gone_.load(); }

    void close() override {
        HANDLE h = handle_.exchange(nullptr);
        if (h != nullptr) ::CloseHandle(h);
        gone_.store(false);
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
        for (;;) {
            HANDLE h = usableHandle();
            if (h == nullptr) return WaitResult::Gone;
            // A wake asked for before the input came still wins, as it
            // means the exchange is over.
            if (wakeFlag_.exchange(false)) return WaitResult::Woken;
            if (wakeEvent_ != nullptr && ::WaitForSingleObject(wakeEvent_, 0) == WAIT_OBJECT_0)
                return WaitResult::Woken;
            if (queued(h) > 0) return WaitResult::Input;
            if (gone_.load()) return WaitResult::Gone;
            if (steady_clock::now() >= deadline) return WaitResult::Timeout;
            if (wakeEvent_ != nullptr) {
                if (::WaitForSingleObject(wakeEvent_, 1) == WAIT_OBJECT_0) return WaitResult::Woken;
            } else {
                ::Sleep(1);
            }
        }
    }

    void wake() override {
        if (wakeEvent_ != nullptr) ::SetEvent(wakeEvent_);
        else wakeFlag_.store(true);
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
    std::atomic<bool> wakeFlag_{false};
    HANDLE wakeEvent_ = nullptr;
    OpenFailure failure_ = OpenFailure::None;
    std::string detail_;
};

}  // namespace

std::unique_ptr<SerialPort> makeSystemSerialPort() { return std::make_unique<Win32SerialPort>(); }

}  // namespace zave
