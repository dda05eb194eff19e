// The Qt side of the hooks the core uses (message boxes, the progress window
// with its hold on events, the event pump), the file dialogs and the embedded
// pictures.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <memory>
#include <optional>

#include "app/progress_window.h"
#include "device/program_ops.h"
#include "link/host.h"

class QWidget;
class PendingEventFilter;

// ---- Embedded pictures, ids 0..10:
// 0 error indicator (45x30), 1 copy-day button (24x24), 2 copy arrow (50x25),
// 3 About picture (146x155), 4..10 toolbar icons (16x16): new, open, save,
// help, web site, about, exit.
inline constexpr int kEmbeddedImageCount = 11;

// Loads the picture on first use and keeps it; a null pixmap for an unknown id.
QPixmap embeddedImage(int id);
QIcon embeddedIcon(int id);
// Loads all eleven at once; false when one of them is missing.
bool preloadEmbeddedImages();

// ---- Modal message boxes with Russian button captions whatever the locale.
class QtMessageBoxes final : public zave::MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent) : parent_(parent) {}
    zave::MessageAnswer show(std::string_view title, std::string_view text, zave::MessageIcon icon,
                             zave::MessageButtons buttons) override;

private:
    QPointer<QWidget> parent_;
};

// ---- The open-file and save-file dialogs of the document commands.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // "Открыть", files "*.ptm"; nothing when the operator cancels.
    virtual std::optional<QString> openFile() = 0;
    // "Сохранить", files "*.ptm"; asks nothing about an existing file.
    virtual std::optional<QString> saveFile() = 0;
};

class QtFileDialogs final : public FileDialogs {
public:
    explicit QtFileDialogs(QWidget* parent) : parent_(parent) {}
    std::optional<QString> openFile() override;
    std::optional<QString> saveFile() override;

private:
    QPointer<QWidget> parent_;
};

// ---- Pending events while the core holds the user-interface thread.
//
// The operator's input (mouse, keyboard, wheel, touch, shortcuts, context
// menus), close requests and the ticks of every QTimer are dropped;
// everything the windows need to repaint and lay out (paint, update
// requests, expose, resize, move, show, layout, polish), deferred
// deletes and queued calls are still delivered.

// Processes the pending events once, dropping as above, so that the window
// repaints (the "Ждите!!!" line of connect).
class QtEventPump final : public zave::EventPump {
public:
    void dropPendingEvents(int maxEvents) override;
};

// The progress window and the hold of a device operation. From
// openProgressWindow to closeProgressWindow every QTimer tick is dropped, also
// those that fall due while an exchange blocks the thread; stopRequested()
// drains the pending events and reports a left click on "Стоп".
class QtProgressUi final : public zave::ProgressUi {
public:
    explicit QtProgressUi(QWidget* mainWindow);
    ~QtProgressUi() override;
    QtProgressUi(const QtProgressUi&) = delete;
    QtProgressUi& operator=(const QtProgressUi&) = delete;

    void openProgressWindow() override;   // at most one window; disables the main window
    void closeProgressWindow() override;  // destroys it and enables the main window
    void setProgress(int value) override; // progressBar, 0..100
    bool stopRequested() override;

    // The open window, or null.
    ProgressWindow* window() const { return window_; }

private:
    QPointer<QWidget> mainWindow_;
    QPointer<ProgressWindow> window_;
    std::unique_ptr<PendingEventFilter> hold_;
};
