#include "app/qt_hooks.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <array>
#include <utility>

#include "app/progress_window.h"

// The resources live in a static library; make sure they are linked in and
// registered before the first picture is loaded.
static void registerEmbeddedResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    (void)registered;
}

// ---- Embedded pictures

namespace {

constexpr std::array<const char*, kEmbeddedImageCount> kImagePaths = {
    ":/images/00_indicator.png", ":/images/01_copy_day.png", ":/images/02_copy_arrow.png",
    ":/images/03_about.png",     ":/images/04_new.png",      ":/images/05_open.png",
    ":/images/06_save.png",      ":/images/07_help.png",     ":/images/08_web.png",
    ":/images/09_about.png",     ":/images/10_exit.png",
};

struct ImageCache {
    std::array<QPixmap, kEmbeddedImageCount> pixmaps;
    std::array<bool, kEmbeddedImageCount> tried{};
};

ImageCache& imageCache() {
    static ImageCache cache;
    return cache;
}

}  // namespace

QPixmap embeddedImage(int id) {
    if (id < 0 || id >= kEmbeddedImageCount) return {};
    registerEmbeddedResources();
    ImageCache& cache = imageCache();
    const auto i = static_cast<size_t>(id);
    if (!cache.tried[i]) {
        cache.tried[i] = true;
        cache.pixmaps[i].load(QString::fromLatin1(kImagePaths[i]), "PNG");
    }
    return cache.pixmaps[i];
}

QIcon embeddedIcon(int id) {
    const QPixmap pixmap = embeddedImage(id);
    return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

bool preloadEmbeddedImages() {
    bool all = true;
    for (int id = 0; id < kEmbeddedImageCount; ++id) all = !embeddedImage(id).isNull() && all;
    return all;
}

// ---- Message boxes

namespace {

QString fromUtf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

zave::MessageAnswer QtMessageBoxes::show(std::string_view title, std::string_view text, zave::MessageIcon icon,
                                         zave::MessageButtons buttons) {
    QMessageBox box(parent_.data());
    box.setWindowTitle(fromUtf8(title));
    box.setText(fromUtf8(text));
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case zave::MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case zave::MessageIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case zave::MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    }

    struct Choice {
        QMessageBox::StandardButton button;
        const char* caption;
        zave::MessageAnswer answer;
    };
    static constexpr Choice kOk[] = {{QMessageBox::Ok, "ОК", zave::MessageAnswer::Ok}};
    static constexpr Choice kYesNo[] = {{QMessageBox::Yes, "Да", zave::MessageAnswer::Yes},
                                        {QMessageBox::No, "Нет", zave::MessageAnswer::No}};
    static constexpr Choice kYesNoCancel[] = {{QMessageBox::Yes, "Да", zave::MessageAnswer::Yes},
                                              {QMessageBox::No, "Нет", zave::MessageAnswer::No},
                                              {QMessageBox::Cancel, "Отмена", zave::MessageAnswer::Cancel}};
    const Choice* choices = kOk;
    size_t count = 1;
    switch (buttons) {
    case zave::MessageButtons::Ok: break;
    case zave::MessageButtons::YesNo: choices = kYesNo; count = std::size(kYesNo); break;
    case zave::MessageButtons::YesNoCancel: choices = kYesNoCancel; count = std::size(kYesNoCancel); break;
    }
    for (size_t i = 0; i < count; ++i) {
        QPushButton* b = box.addButton(choices[i].button);
        b->setText(QString::fromUtf8(choices[i].caption));
        if (i == 0) box.setDefaultButton(b);
    }

    box.exec();

    // Escape gives the last button (OK, No, Cancel); so does a box closed
    // in any other way without a button.
    zave::MessageAnswer answer = choices[count - 1].answer;
    const QMessageBox::StandardButton clicked = box.standardButton(box.clickedButton());
    for (size_t i = 0; i < count; ++i)
        if (choices[i].button == clicked) answer = choices[i].answer;
    return answer;
}

// ---- File dialogs

namespace {

const char kFileFilter[] = "Файлы (*.ptm)";

std::optional<QString> chosen(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    return path;
}

}  // namespace

std::optional<QString> QtFileDialogs::openFile() {
    return chosen(QFileDialog::getOpenFileName(parent_.data(), QString::fromUtf8("Открыть"), QString(),
                                               QString::fromUtf8(kFileFilter)));
}

std::optional<QString> QtFileDialogs::saveFile() {
    return chosen(QFileDialog::getSaveFileName(parent_.data(), QString::fromUtf8("Сохранить"), QString(),
                                               QString::fromUtf8(kFileFilter), nullptr,
                                               QFileDialog::DontConfirmOverwrite));
}

// ---- Dropping pending events

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

void QtEventPump::dropPendingEvents(int maxEvents) {
    if (maxEvents <= 0) return;
    PendingEventFilter filter(PendingEventFilter::Mode::Drain);
    filter.drain();
}

// ---- Progress window

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
