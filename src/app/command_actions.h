// The commands of the menus and the toolbar: their table (menu item,
// tooltip, image) and what each one does.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "app/about_window.h"

class DesktopShell;
class DocumentController;

// Menu items and toolbar buttons share these ids.
enum class CommandId : int { New = 0, Open = 1, Save = 2, Exit = 3, Help = 4, WebSite = 5, About = 6 };

struct CommandEntry {
    CommandId id;
    const char* menu;
    const char* menuItem;
    const char* tooltip;
    int imageId;
};

// The commands, in CommandId order.
inline constexpr CommandEntry kCommands[] = {
    {CommandId::New,     "Файл",    "Создать",     "Создать новый документ", 4},
    {CommandId::Open,    "Файл",    "Открыть",     "Открыть файл",           5},
    {CommandId::Save,    "Файл",    "Сохранить",   "Сохранить файл",         6},
    {CommandId::Exit,    "Файл",    "Выход",       "Выход",                  10},
    {CommandId::Help,    "Справка", "Справка",     "Открыть справку",        7},
    {CommandId::WebSite, "Справка", "Сайт",        "Сайт программы",         8},
    {CommandId::About,   "Справка", "О программе", "О программе",            9},
};
// Layout of the menus and the toolbar by CommandId; -1 is a separator.
inline constexpr int kFileMenu[] = {0, 1, 2, -1, 3};
inline constexpr int kHelpMenu[] = {4, 5, 6};
inline constexpr int kToolbar[] = {0, 1, 2, -1, 4, 5, 6, -1, 3};

class CommandActions final : public QObject {
    Q_OBJECT
public:
    // `window` is disabled while the About window is open; `confirmExit` is the window's own.
    CommandActions(DocumentController& documents, DesktopShell& shell, QWidget* window,
                   std::function<void()> confirmExit);
    ~CommandActions() override;
    void run(CommandId id);
    AboutWindow* aboutWindow() const { return aboutWindow_; }

private:
    void openHelp();
    void showAbout();
    void closeAbout();

    DocumentController& documents_;
    DesktopShell& shell_;
    QWidget* window_;
    std::function<void()> confirmExit_;
    QPointer<AboutWindow> aboutWindow_;
};
