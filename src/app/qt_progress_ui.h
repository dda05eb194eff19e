// The core's progress window: "Обмен данными" and the hold of a device
// operation on pending events.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

#include "app/progress_window.h"
#include "device/program_ops.h"

class PendingEventFilter;

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
