#include "app/desktop_shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

void SystemDesktopShell::openWithDefaultHandler(const QString& fileOrUrl) {
    QUrl url(fileOrUrl);
    if (url.scheme().isEmpty() || QFileInfo(fileOrUrl).isAbsolute())
        url = QUrl::fromLocalFile(fileOrUrl);
    QDesktopServices::openUrl(url);
}

void SystemDesktopShell::startDeviceManager() {
#ifdef _WIN32
    ShellExecuteW(nullptr, L"open", L"Rundll32.exe", L"devmgr,DeviceManager_Execute", L"", SW_SHOWNORMAL);
#else
    // Hardware viewers found on Linux desktops, in order of preference.
    static const QStringList viewers = {"hardinfo2", "hardinfo", "kinfocenter", "lshw-gtk", "gnome-system-monitor"};
    for (const QString& name : viewers) {
        QString exe = QStandardPaths::findExecutable(name);
        if (!exe.isEmpty()) {
            QProcess::startDetached(exe, {});
            return;
        }
    }
#endif
}
