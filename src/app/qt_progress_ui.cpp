#include "app/qt_progress_ui.h"

#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "app/pending_event_filter.h"


QtProgressUi::QtProgressUi(QWidget* mainWindow) : mainWindow_(mainWindow) {}

QtProgressUi::~QtProgressUi() {
    delete window_.data();
    hold_.reset();
}

void QtProgressUi::openProgressWindow() {
    if (window_) return;
    // Disabled first: a window owned by it that exists already would be
    // disabled with it, the Stop button included.
    if (mainWindow_) mainWindow_->setEnabled(false);
    hold_ = std::make_unique<PendingEventFilter>(PendingEventFilter::Mode::Hold);
    window_ = new ProgressWindow(mainWindow_.data());
    hold_->watchStopButton(window_->stopButton());
    window_->show();
}

void QtProgressUi::closeProgressWindow() {
    if (!window_) return;
    // Ticks that fell due during the last exchange are dropped here rather
    // than run late once the main loop resumes.
    hold_->drain();
    delete window_.data();
    hold_.reset();
    if (mainWindow_) mainWindow_->setEnabled(true);
}

void QtProgressUi::setProgress(int value) {
    if (window_) window_->progressBar()->setValue(std::clamp(value, 0, 100));
}

bool QtProgressUi::stopRequested() {
    if (hold_) {
        hold_->drain();
        return hold_->takeStopClick();
    }
    // No window: nothing to click, but the events are taken all the same.
    PendingEventFilter filter(PendingEventFilter::Mode::Drain);
    filter.drain();
    return false;
}
