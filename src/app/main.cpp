// Orvatone Zave: configuration tool for a scheduled speech and sound announcer.
#include <QApplication>
#include <QIcon>

#include "app/look_and_language.h"
#include "app/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Orvatone Zave");
    // The installed desktop entry and icon; no icon when run from the build tree.
    QApplication::setDesktopFileName(ZAVE_APP_ID);
    QApplication::setWindowIcon(QIcon::fromTheme(ZAVE_APP_ID));
    // The program ends only through the exit confirmation.
    QApplication::setQuitOnLastWindowClosed(false);
    applyLookAndLanguage(app);
    MainWindow window;
    window.show();
    return QApplication::exec();
}
