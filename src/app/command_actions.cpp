#include "app/command_actions.h"

#include "app/help_location.h"

#include "app/desktop_shell.h"
#include "app/document_controller.h"

CommandActions::CommandActions(DocumentController& documents, DesktopShell& shell, QWidget* window,
                               std::function<void()> confirmExit)
    : documents_(documents), shell_(shell), window_(window), confirmExit_(std::move(confirmExit)) {}

CommandActions::~CommandActions() { delete aboutWindow_.data(); }

void CommandActions::run(CommandId id) {
    switch (id) {
    case CommandId::New: documents_.newDocument(); break;
    case CommandId::Open: documents_.openDocument(); break;
    case CommandId::Save: documents_.saveDocument(); break;
    case CommandId::Exit: confirmExit_(); break;
    case CommandId::Help: openHelp(); break;
    case CommandId::WebSite: shell_.openWithDefaultHandler(QString::fromUtf8(kWebSiteAddress)); break;
    case CommandId::About: showAbout(); break;
    }
}

void CommandActions::openHelp() { shell_.openWithDefaultHandler(helpToOpenHere()); }

void CommandActions::showAbout() {
    if (aboutWindow_) return;
    window_->setEnabled(false);
    aboutWindow_ = new AboutWindow(window_);
    connect(aboutWindow_, &AboutWindow::okClicked, this, &CommandActions::closeAbout);
    connect(aboutWindow_, &AboutWindow::closeRequested, this, &CommandActions::closeAbout);
    aboutWindow_->show();
}

void CommandActions::closeAbout() {
    if (aboutWindow_) aboutWindow_->deleteLater();
    aboutWindow_ = nullptr;
    window_->setEnabled(true);
}
