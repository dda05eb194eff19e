// The small commands of the main window: help, web site, Device Manager and About.
#include "app/desktop_shell.h"
#include "app/help_location.h"
#include "app/main_window.h"

void MainWindow::openHelp() { shell_->openWithDefaultHandler(helpToOpenHere()); }

void MainWindow::openWebSite() { shell_->openWithDefaultHandler(QString::fromUtf8(kWebSiteAddress)); }

void MainWindow::launchDeviceManager() { shell_->startDeviceManager(); }

void MainWindow::showAbout() {
    if (aboutWindow_) return;
    setEnabled(false);
    aboutWindow_ = new AboutWindow(this);
    connect(aboutWindow_, &AboutWindow::okClicked, this, &MainWindow::closeAbout);
    connect(aboutWindow_, &AboutWindow::closeRequested, this, &MainWindow::closeAbout);
    aboutWindow_->show();
}

void MainWindow::closeAbout() {
    if (aboutWindow_) aboutWindow_->deleteLater();
    aboutWindow_ = nullptr;
    setEnabled(true);
}
