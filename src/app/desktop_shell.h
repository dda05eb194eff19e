// Handing files, addresses and the device manager to the desktop.
#pragma once

#include <QString>

class DesktopShell {
public:
    virtual ~DesktopShell() = default;
    // Opens a file or an address with the desktop's default handler; no wait, no report.
    virtual void openWithDefaultHandler(const QString& fileOrUrl) = 0;
    // Starts the system's device manager (Windows) or a hardware viewer (Linux) if one exists.
    virtual void startDeviceManager() = 0;
};

class SystemDesktopShell final : public DesktopShell {
public:
    void openWithDefaultHandler(const QString& fileOrUrl) override;
    void startDeviceManager() override;
};
