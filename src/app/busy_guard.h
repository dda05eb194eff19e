// Marks the main window busy while a tick, a device operation or a command's
// dialog holds the user-interface thread, for the lifetime of the guard.
#pragma once

class BusyGuard {
public:
    explicit BusyGuard(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
    ~BusyGuard() { flag_ = was_; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    bool& flag_;
    bool was_;
};
