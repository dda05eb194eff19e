#include "app/progress_window.h"

#include <QCloseEvent>
#include <QProgressBar>
#include <QPushButton>

namespace {

constexpr int kInnerWidth = 461;
constexpr int kInnerHeight = 83;
constexpr QPoint kScreenPosition{450, 200};

QProgressBar* smoothBar(QWidget* parent, const char* name, int y) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setGeometry(10, y, 430, 15);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

}  // namespace

ProgressWindow::ProgressWindow(QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("progressWindow");
    setWindowTitle(QString::fromUtf8("Обмен данными"));
    setFixedSize(kInnerWidth, kInnerHeight);
    move(kScreenPosition);

    progressBar_ = smoothBar(this, "progressBar", 5);
    spareProgressBar_ = smoothBar(this, "spareProgressBar", 30);

    stopButton_ = new QPushButton(QString::fromUtf8("Стоп"), this);
    stopButton_->setObjectName("stopButton");
    stopButton_->setGeometry(340, 55, 80, 20);
    // The button has no action of its own: the running operation looks for a
    // click on it among the pending events.
}

void ProgressWindow::closeEvent(QCloseEvent* event) { event->ignore(); }
