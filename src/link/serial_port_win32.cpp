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
// Every port call holds the opened device while it uses its handle, so the
// handle is closed, and its value free for the system to give to another
// file, only once close() has let go of it and the last call on it has
// ended: a worker left behind by an exchange never reaches another file. A
// worker that finds the device removed only marks it as gone.
#include "link/serial_port.h"

#include <windows.h>
#include <timeapi.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>

#include "link/port_names.h"

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

// One opened device; its handle is closed with the last holder.
struct Device {
    explicit Device(HANDLE h) : handle(h) {}
    ~Device() { ::CloseHandle(handle); }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    const HANDLE handle;
    std::atomic<bool> gone{false};
};

// Bytes in the driver's input queue; a failure means the device is gone.
size_t queued(Device& d) {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!::ClearCommError(d.handle, &errors, &stat)) {
        d.gone.store(true);
        return 0;
    }
    return stat.cbInQue;
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
        detail_ = {};

        // A device path is taken as it is; any other name is a port's.
        const std::string path = isDevicePath(portName) ? portName : "\\\\.\\" + portName;
        HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            failure_ = failureOfOpen(::GetLastError());
            detail_ = {path, {}};
            return false;
        }
        // Released again (the handle closed) when anything below fails.
        auto opened = std::make_shared<Device>(h);

        // The queue sizes are a request; a driver that keeps its own is fine.
        (void)::SetupComm(h, 255, 255);

        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!::GetCommState(h, &dcb)) return refused(path);
        dcb.BaudRate = CBR_9600;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        if (!::SetCommState(h, &dcb)) return refused(path);

        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = 0;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = 0;
        timeouts.WriteTotalTimeoutMultiplier = 100;
        timeouts.WriteTotalTimeoutConstant = 10;
        if (!::SetCommTimeouts(h, &timeouts)) return refused(path);

        ::InterlockedExchange(&wakeFlag_, 0);
        // Fine timer steps while the port is open; a system that refuses
        // keeps its coarse ones and the waits only end later.
        fineTimer_ = ::timeBeginPeriod(1) == TIMERR_NOERROR;
        std::lock_guard lock(mutex_);
        device_ = std::move(opened);
        return true;
    }

    bool isOpen() const override { return usable() != nullptr; }

    void close() override {
        std::shared_ptr<Device> closing;
        {
            std::lock_guard lock(mutex_);
            closing = std::move(device_);
        }
        if (closing) {
            // Calls that still hold the device end at once: a wait sees it
            // gone, a read or write in progress is cancelled.
            closing->gone.store(true);
            wake();
            ::CancelIoEx(closing->handle, nullptr);
            closing.reset();  // closes the handle unless a call still holds it
        }
        if (fineTimer_) ::timeEndPeriod(1);
        fineTimer_ = false;
    }

    OpenFailure lastOpenFailure() const override { return failure_; }
    OpenFailureDetail lastOpenDetail() const override { return detail_; }

    size_t bytesWaiting() override {
        const auto d = usable();
        return d ? queued(*d) : 0;
    }

    size_t readWaiting(char* buffer, size_t max) override {
        if (buffer == nullptr || max == 0) return 0;
        const auto d = usable();
        if (!d) return 0;
        size_t want = queued(*d);
        if (want > max) want = max;
        if (want == 0) return 0;
        DWORD got = 0;
        if (!::ReadFile(d->handle, buffer, DWORD(want), &got, nullptr)) {
            d->gone.store(true);
            return 0;
        }
        return got;
    }

    size_t write(const char* data, size_t size) override {
        if (data == nullptr || size == 0) return 0;
        const auto d = usable();
        if (!d) return 0;
        // The driver ends the write after the write time-out set at open.
        DWORD written = 0;
        if (!::WriteFile(d->handle, data, DWORD(size), &written, nullptr)) {
            DWORD errors = 0;
            if (!::ClearCommError(d->handle, &errors, nullptr)) d->gone.store(true);
        }
        return written;
    }

    WaitResult waitForInput(Deadline deadline) override {
        // A wake asked for before the input came still wins, as it means
        // the exchange is over.
        if (takeWake()) return WaitResult::Woken;
        DWORD step = kFirstStepMs;
        const auto d = usable();
        if (!d) return WaitResult::Gone;
        for (;;) {
            const size_t waiting = d->gone.load() ? 0 : queued(*d);
            if (d->gone.load()) return WaitResult::Gone;  // removed, or the port closed
            if (waiting > 0) return WaitResult::Input;
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
    bool refused(const std::string& path) {
        failure_ = OpenFailure::Settings;
        detail_ = {path, {}};
        return false;
    }

    // The open device, held for the caller's use; nothing when the port is
    // closed or the device gone.
    std::shared_ptr<Device> usable() const {
        std::lock_guard lock(mutex_);
        if (!device_ || device_->gone.load()) return nullptr;
        return device_;
    }

    // Takes a wake asked for since the last one was taken.
    bool takeWake() { return ::InterlockedExchange(&wakeFlag_, 0) != 0; }

    // Guards device_ only while it is copied or replaced, never during a
    // system call.
    mutable std::mutex mutex_;
    std::shared_ptr<Device> device_;
    // Set by wake(), taken by waitForInput; waited on by address, which
    // costs no kernel object and ends the wait as soon as it is set.
    volatile LONG wakeFlag_ = 0;
    bool fineTimer_ = false;  // timeBeginPeriod(1) holds until close()
    OpenFailure failure_ = OpenFailure::None;
    OpenFailureDetail detail_;
};

}  // namespace

std::unique_ptr<SerialPort> makeSystemSerialPort() { return std::make_unique<Win32SerialPort>(); }

}  // namespace zave
