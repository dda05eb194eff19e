// Orvatone Zave: configuration tool for a scheduled speech and sound announcer.
#include <QApplication>

#include "app/look_and_language.h"
#include "app/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Orvatone Zave");
    // The program ends only through the exit confirmation.
    QApplication::setQuitOnLastWindowClosed(false);
    applyLookAndLanguage(app);
    MainWindow window;
    window.show();
    return QApplication::exec();
}
