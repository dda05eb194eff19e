// The pictures of the operator's manual, taken from the running program:
// zave's own main() and window with every real service, plus this hook, which
// acts as the operator once the window is up and saves what the window shows.
//
//   zave-manual-shots [Qt options] --port COMn --out FOLDER
//
// COMn is a simulated device (zave-devsim) that reports a damaged EEPROM to the
// clock command (01) and to the settings query (86). The pictures go to
// FOLDER/*.png; FOLDER/stamp.txt then names the program that made them (the
// SHA-256 of this executable), so that a check can tell pictures of an older
// build. Exit code 0 when every picture was taken.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "app/main_window.h"
#include "app/progress_window.h"

namespace {

constexpr int kWaitMs = 20000;

class Shots {
public:
    Shots(QString port, QString out) : port_(std::move(port)), out_(std::move(out)) {}

    void run(MainWindow* w) {
        w_ = w;
        QDir().mkpath(out_);
        settle();
        save(w_, "main-window");
        if (connectDevice()) {
            composeWeek();
            click("writeProgramButton");
            expect(lastLogLine().endsWith(u" -> Программа записана"), "the program is written");
            settle();
            save(w_, "connected");
            dayError();
            copyDay();
            progress();
            eepromQuestions();
        }
        finish();
    }

private:
    void expect(bool ok, const QString& what) {
        if (ok) return;
        ++failures_;
        std::fprintf(stderr, "zave-manual-shots: FAIL %s\n", what.toUtf8().constData());
    }
    template <class T>
    T* find(const QString& name, QWidget* in = nullptr) {
        T* widget = (in ? in : w_)->findChild<T*>(name);
        expect(widget != nullptr, "control " + name + " exists");
        return widget;
    }
    void click(const QString& name) {
        if (auto* b = find<QPushButton>(name)) QTest::mouseClick(b, Qt::LeftButton);
    }
    QString lastLogLine() {
        auto* log = find<QPlainTextEdit>("logView");
        return log ? log->toPlainText().split('\n').last() : QString();
    }
    // Two status ticks and the repaints they bring.
    static void settle() { QTest::qWait(700); }
    void save(QWidget* widget, const QString& name) {
        const QString file = out_ + '/' + name + ".png";
        const bool saved = widget->grab().save(file);
        expect(saved, "save " + file);
        if (saved) ++pictures_;
    }

    bool connectDevice() {
        auto* ports = find<QComboBox>("portSelector");
        if (!ports) return false;
        ports->setCurrentText(port_);
        click("connectButton");
        const bool open = w_->linkPortOpen() && lastLogLine() == QString::fromUtf8("Устройство готово");
        expect(open, "connect to " + port_ + ": " + lastLogLine());
        auto* date = find<QLineEdit>("deviceDateField");
        expect(open && date && QTest::qWaitFor([&] { return !date->text().isEmpty(); }, kWaitMs),
               "the device date is shown");
        return open;
    }

    // Monday: a school day of six bells; the other days stay empty.
    void composeWeek() {
        const zave::TimeSlot monday[] = {{1, 8, 0, 80},  {1, 8, 45, 60},  {1, 9, 0, 80},
                                         {1, 9, 45, 60}, {1, 10, 0, 80}, {1, 13, 30, 100}};
        for (int k = 1; k <= 6; ++k) w_->document().slot(1, k) = monday[k - 1];
        w_->refreshEditor();
    }

    // Two enabled slots at the same time: the indicator, the locked day selector.
    void dayError() {
        const zave::TimeSlot kept = w_->document().slot(1, 2);
        w_->document().slot(1, 2) = {1, 8, 0, 60};
        w_->refreshEditor();
        auto* days = find<QComboBox>("daySelector");
        expect(days && !days->isEnabled(), "the day selector is locked on a day with equal times");
        settle();
        save(w_, "day-error");
        w_->document().slot(1, 2) = kept;
        w_->refreshEditor();
    }

    void copyDay() {
        click("copyDayButton");
        QWidget* dialog = nullptr;
        const bool shown =
            QTest::qWaitFor([&] { return (dialog = topLevel("copyDayDialog")) && dialog->isVisible(); }, kWaitMs);
        expect(shown, "the copy-day dialog opens");
        if (!dialog) return;
        auto* source = find<QListWidget>("copySourceList", dialog);
        auto* targets = find<QListWidget>("copyTargetList", dialog);
        if (source && targets) {
            source->item(0)->setSelected(true);
            for (int row = 1; row <= 4; ++row) targets->item(row)->setSelected(true);
        }
        settle();
        save(dialog, "copy-day");
        if (auto* cancel = find<QPushButton>("copyCancelButton", dialog)) QTest::mouseClick(cancel, Qt::LeftButton);
        expect(QTest::qWaitFor([&] { return w_->isEnabled(); }, kWaitMs), "the copy-day dialog closes");
    }

    // The window of program write and read, as it stands half-way.
    void progress() {
        ProgressWindow window(w_);
        window.progressBar()->setValue(53);
        window.show();
        settle();
        save(&window, "progress");
    }

    // The device reports a damaged EEPROM: the command's question (clock) and
    // the query's (program read). Each box is saved, then answered so that
    // the link is broken off ("Нет" and "Отмена").
    void eepromQuestions() {
        answerNextBox("eeprom-command", QMessageBox::No);
        click("syncClockButton");
        expect(lastLogLine().endsWith(u" -> Команда не выполнена"), "the clock command fails: " + lastLogLine());
        answerNextBox("eeprom-query", QMessageBox::Cancel);
        click("readProgramButton");
        expect(lastLogLine().endsWith(u" -> Команда не выполнена"), "the read fails: " + lastLogLine());
        expect(answered_ == 2, "both questions were asked");
    }
    // Polled by one-shot timers: while a program read runs, the ticks of
    // QTimer objects are dropped (the box comes up inside the read).
    void answerNextBox(const QString& name, QMessageBox::StandardButton answer) {
        QTimer::singleShot(50, qApp, [this, name, answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) {
                answerNextBox(name, answer);
                return;
            }
            QTest::qWait(300);
            save(box, name);
            ++answered_;
            if (QAbstractButton* b = box->button(answer)) b->click();
        });
    }

    static QWidget* topLevel(const QString& name) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == name) return w;
        return nullptr;
    }

    void finish() {
        QFile self(QCoreApplication::applicationFilePath());
        QFile stamp(out_ + "/stamp.txt");
        if (failures_ == 0 && self.open(QIODevice::ReadOnly) && stamp.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            stamp.write(QCryptographicHash::hash(self.readAll(), QCryptographicHash::Sha256).toHex() + '\n');
        } else {
            expect(false, "write the stamp");
        }
        std::fprintf(stderr, "zave-manual-shots: %d pictures, %d failures\n", pictures_, failures_);
        QCoreApplication::exit(failures_ ? 1 : 0);
    }

    QString port_, out_;
    MainWindow* w_ = nullptr;
    int failures_ = 0, pictures_ = 0, answered_ = 0;
};

void startShots() {
    const QStringList args = QCoreApplication::arguments();
    const int port = args.indexOf("--port"), out = args.indexOf("--out");
    if (port < 0 || out < 0 || port + 1 >= args.size() || out + 1 >= args.size()) {
        std::fprintf(stderr, "zave-manual-shots: usage: zave-manual-shots [Qt options] --port COMn --out FOLDER\n");
        QTimer::singleShot(0, [] { QCoreApplication::exit(2); });
        return;
    }
    auto* shots = new Shots(args[port + 1], args[out + 1]);
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [shots, poll] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* window = qobject_cast<MainWindow*>(w);
            if (!window || !window->isVisible()) continue;
            poll->stop();
            shots->run(window);
            return;
        }
    });
    poll->start(100);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(startShots)
