// Answer a modal message box or file dialog from inside its own event loop,
// as the operator would once it is on the screen.
#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <functional>

namespace apptest {

// Answers the next modal message box from inside its own event loop.
class BoxAnswerer {
public:
    explicit BoxAnswerer(std::function<void(QMessageBox*)> act) : act_(std::move(act)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            timer_.stop();
            act_(box);
        });
        timer_.start();
    }

private:
    QTimer timer_;
    std::function<void(QMessageBox*)> act_;
};

// Answers the next modal file dialog from inside its own event loop.
class DialogAnswerer {
public:
    explicit DialogAnswerer(std::function<void(QFileDialog*)> act) : act_(std::move(act)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            timer_.stop();
            act_(dialog);
        });
        timer_.start();
    }

private:
    QTimer timer_;
    std::function<void(QFileDialog*)> act_;
};

}  // namespace apptest
