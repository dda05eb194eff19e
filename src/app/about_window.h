// The About window: the program's picture and its information text.
#pragma once

#include <QWidget>

class QCloseEvent;

// The maker's web site; the About text and the "Сайт" command use the same address.
inline constexpr char kWebSiteAddress[] = "https://orvatone.example/zave";

// A top-level window owned by the main window. It does not close itself:
// "Ок" emits okClicked(), a close request (title bar, Alt+F4) is refused and
// emits closeRequested(); the owner destroys the window in both cases.
class AboutWindow : public QWidget {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* owner);

    // The lines of the information text, in order.
    static QStringList aboutLines();

Q_SIGNALS:
    void okClicked();
    void closeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
};
