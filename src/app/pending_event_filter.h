// Dropping pending events while the core holds the user-interface thread.
//
// The operator's input (mouse, keyboard, wheel, touch, shortcuts, context
// menus), close requests and the ticks of every QTimer are dropped;
// everything the windows need to repaint and lay out (paint, update
// requests, expose, resize, move, show, layout, polish), deferred
// deletes and queued calls are still delivered.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <utility>

// An application-wide event filter. In Hold it drops only the ticks of QTimer
// objects; in Drain it also drops the operator's input and close requests,
// and watches for a left click on the stop button.
class PendingEventFilter final : public QObject {
public:
    enum class Mode { Hold, Drain };

    explicit PendingEventFilter(Mode mode) : mode_(mode) { qApp->installEventFilter(this); }
    ~PendingEventFilter() override {
        if (qApp) qApp->removeEventFilter(this);
    }

    Mode mode() const { return mode_; }
    void setMode(Mode mode) { mode_ = mode; }
    void watchStopButton(QWidget* button) { stopButton_ = button; }
    // True once a left click on the stop button was seen; reading clears it.
    bool takeStopClick() { return std::exchange(stopClicked_, false); }

    // Processes the pending events once in Drain mode and returns to the
    // previous mode.
    void drain() {
        const Mode before = mode_;
        mode_ = Mode::Drain;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents();
        mode_ = before;
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type == QEvent::Timer) return qobject_cast<QTimer*>(receiver) != nullptr;
        if (mode_ != Mode::Drain) return false;
        if (type == QEvent::Close) return true;
        if (!isInput(type)) return false;
        // The window system hands input to a QWindow, which passes it on to
        // the widget under the mouse or with the focus; drop it there.
        if (receiver->isWindowType()) return false;
        if (stopButton_ && receiver == stopButton_.data()) noteStopButtonEvent(type, event);
        return true;
    }

private:
    static bool isInput(QEvent::Type type) {
        switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::NonClientAreaMouseMove:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::TabletEnterProximity:
        case QEvent::TabletLeaveProximity:
        case QEvent::Gesture:
        case QEvent::NativeGesture:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::DragLeave:
        case QEvent::Drop:
        case QEvent::HoverEnter:
        case QEvent::HoverMove:
        case QEvent::HoverLeave:
        case QEvent::Enter:
        case QEvent::Leave:
        case QEvent::ToolTip:
        case QEvent::WhatsThis:
        case QEvent::StatusTip:
            return true;
        default:
            return false;
        }
    }

    // A click is a left press on the button followed by a left release
    // inside it; the two may arrive in different drains.
    void noteStopButtonEvent(QEvent::Type type, QEvent* event) {
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick &&
            type != QEvent::MouseButtonRelease)
            return;
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) return;
        if (type == QEvent::MouseButtonRelease) {
            if (stopPressed_ && stopButton_->rect().contains(mouse->position().toPoint())) stopClicked_ = true;
            stopPressed_ = false;
        } else {
            stopPressed_ = true;
        }
    }

    Mode mode_;
    QPointer<QWidget> stopButton_;
    bool stopPressed_ = false;
    bool stopClicked_ = false;
};
