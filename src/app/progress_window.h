// The progress window "Обмен данными" of program write and read.
#pragma once

#include <QWidget>

class QCloseEvent;
class QProgressBar;
class QPushButton;

// A top-level window owned by the main window, with a title bar but no close
// button; close requests are refused. The operation that opened it closes it.
class ProgressWindow : public QWidget {
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget* owner);

    QProgressBar* progressBar() const { return progressBar_; }
    QProgressBar* spareProgressBar() const { return spareProgressBar_; }
    QPushButton* stopButton() const { return stopButton_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QProgressBar* progressBar_;
    QProgressBar* spareProgressBar_;
    QPushButton* stopButton_;
};
