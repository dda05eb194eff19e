// Orvatone Zave: configuration tool for a scheduled speech and sound announcer.
#include <QApplication>
#include <QFont>
#include <QIcon>

#include "app/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Orvatone Zave");
    // The installed desktop entry and icon; no icon when run from the build tree.
    QApplication::setDesktopFileName(ZAVE_APP_ID);
    QApplication::setWindowIcon(QIcon::fromTheme(ZAVE_APP_ID));
    // The program ends only through the exit confirmation.
    QApplication::setQuitOnLastWindowClosed(false);
    // The window's fixed layout is drawn for the small dialog font of the
    // Windows desktop; desktops on Linux default to a larger one.
    QFont font = QApplication::font();
    font.setPixelSize(10);
    QApplication::setFont(font);
    MainWindow window;
    window.show();
    return QApplication::exec();
}
