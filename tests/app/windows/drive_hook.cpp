// The test build of the program: zave's own main() and window with every real
// service (Win32 serial port, registry port list, clock, message boxes), plus
// this hook, which acts as the operator once the window is up:
//
//   zave-drive.exe [Qt options] --drive COMn --out FOLDER
//
// It waits for COMn in the registry's port list, checks the computer date,
// connects, composes a program, writes it, spoils the editor, reads the
// program back, sets the device clock and disconnects. Then it writes
// FOLDER/ready, waits (a minute at most) for FOLDER/shot-done while the
// caller photographs the window, gives the help command (the caller looks
// for the help viewer's window), writes FOLDER/report.txt (one line per
// check) and ends the program: exit code 0 when every check held.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QCheckBox>
#include <QTest>
#include <QTextStream>
#include <QTimeEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "app/main_window.h"

namespace {

constexpr int kWaitMs = 20000;

class Drive {
public:
    Drive(QString port, QString out) : port_(std::move(port)), out_(std::move(out)) {}

    void run(MainWindow* w) {
        w_ = w;
        portListed();
        computerDate();
        if (connect()) {
            writeAndReadBack();
            syncClock();
            click("disconnectButton");
            check(!w_->linkPortOpen() && lastLogLine().endsWith(u" -> Порт закрыт"), "disconnect closes the port",
                  lastLogLine());
        }
        photograph();
        openHelp();
        finish();
    }

private:
    void check(bool ok, const QString& what, const QString& detail = {}) {
        const QString line = QString(ok ? "ok   " : "FAIL ") + what + (ok || detail.isEmpty() ? "" : ": " + detail);
        lines_ << line;
        if (!ok) ++failures_;
        std::fprintf(stderr, "zave-drive: %s\n", line.toUtf8().constData());
    }
    template <class T>
    T* find(const char* name) {
        T* widget = w_->findChild<T*>(QString::fromLatin1(name));
        if (!widget) check(false, QString("control %1 exists").arg(name));
        return widget;
    }
    void click(const char* name) {
        if (auto* b = find<QPushButton>(name)) QTest::mouseClick(b, Qt::LeftButton);
    }
    QString lastLogLine() {
        auto* log = find<QPlainTextEdit>("logView");
        return log ? log->toPlainText().split('\n').last() : QString();
    }
    QString field(const char* name) {
        auto* f = find<QLineEdit>(name);
        return f ? f->text() : QString();
    }
    static void typeInto(QLineEdit* f, const QString& text) {
        f->setFocus();
        QTest::keyClick(f, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(f, text);
    }
    void chooseDay(int day) {
        auto* days = find<QComboBox>("daySelector");
        if (!days) return;
        days->setFocus();
        for (int i = 0; i < 7 && days->currentIndex() + 1 < day; ++i) QTest::keyClick(days, Qt::Key_Down);
        for (int i = 0; i < 7 && days->currentIndex() + 1 > day; ++i) QTest::keyClick(days, Qt::Key_Up);
        check(days->currentIndex() + 1 == day, QString("day %1 chosen").arg(day));
    }
    // Ticks the slot's box, sets its hour with the arrow key and types its volume.
    void composeSlot(int k, int hours, const QString& volume) {
        auto* box = find<QCheckBox>(QString("slotEnabledBox%1").arg(k).toLatin1());
        auto* picker = find<QTimeEdit>(QString("slotTimePicker%1").arg(k).toLatin1());
        auto* field = find<QLineEdit>(QString("slotVolumeField%1").arg(k).toLatin1());
        if (!box || !picker || !field) return;
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(7, box->height() / 2));
        check(box->isChecked() && picker->isEnabled(), QString("slot %1 is ticked and its picker enabled").arg(k));
        // Arrow keys from whatever the picker shows (bounded: a picker that
        // ignores them must not hold the drive).
        picker->setFocus();
        picker->setCurrentSection(QDateTimeEdit::MinuteSection);
        for (int i = 0; i < 60 && picker->time().minute() > 0; ++i) QTest::keyClick(picker, Qt::Key_Down);
        picker->setCurrentSection(QDateTimeEdit::HourSection);
        for (int i = 0; i < 24 && picker->time().hour() > 0; ++i) QTest::keyClick(picker, Qt::Key_Down);
        for (int i = 0; i < hours; ++i) QTest::keyClick(picker, Qt::Key_Up);
        check(picker->time() == QTime(hours, 0), QString("slot %1 picker set to %2:00").arg(k).arg(hours),
              picker->text());
        typeInto(field, volume);
    }

    // The Win32 registry list (HARDWARE\DEVICEMAP\SERIALCOMM), scanned once a
    // second; an entry reads "<device>  <port>", such as "Serial4  COM5".
    void portListed() {
        const std::string tail = "  " + port_.toStdString();
        const bool listed = QTest::qWaitFor(
            [&] {
                const auto& known = w_->knownPorts();
                return std::any_of(known.begin(), known.end(), [&](const std::string& e) {
                    return e.size() > tail.size() && e.compare(e.size() - tail.size(), tail.size(), tail) == 0;
                });
            },
            kWaitMs);
        check(listed, "the registry's port list names " + port_);
    }

    // The computer date field shows today with its weekday (GetLocalTime).
    void computerDate() {
        static const char* const kWeekdays[] = {"Пн.", "Вт.", "Ср.", "Чт.", "Пт.", "Сб.", "Вс."};
        auto shows = [](const QString& text, QDate d) {
            return text.startsWith(QString::fromUtf8(kWeekdays[d.dayOfWeek() - 1]) + ' ' + d.toString("dd.MM.yyyy"));
        };
        const QDate before = QDate::currentDate();
        const bool ok = QTest::qWaitFor([&] { return shows(field("computerDateField"), before) ||
                                                     shows(field("computerDateField"), QDate::currentDate()); },
                                        kWaitMs);
        check(ok, "the computer date field shows today", field("computerDateField"));
    }

    bool connect() {
        auto* ports = find<QComboBox>("portSelector");
        if (!ports) return false;
        ports->setCurrentText(port_);
        check(ports->currentText() == port_, "the port selector offers " + port_, ports->currentText());
        click("connectButton");
        const bool open = w_->linkPortOpen() && lastLogLine() == QString::fromUtf8("Устройство готово");
        check(open, "connect opens " + port_ + " and the device answers", lastLogLine());
        if (!open) return false;
        auto* write = find<QPushButton>("writeProgramButton");
        check(write && QTest::qWaitFor([&] { return write->isEnabled(); }, kWaitMs),
              "the link controls are enabled on the next tick");
        return true;
    }

    void writeAndReadBack() {
        // Monday slot 1 at 08:00, 75 %; Thursday slot 12 at 23:00, 100 %;
        // the third sound type; pulse switch time 42.
        chooseDay(1);
        composeSlot(1, 8, "75");
        chooseDay(4);
        composeSlot(12, 23, "100");
        // The sound type selector is shown disabled: the type comes from a
        // file or the device, so it is set in the document.
        w_->document().soundType = 3;
        if (auto* pulse = find<QLineEdit>("pulseSwitchTimeField")) typeInto(pulse, "42");
        chooseDay(1);
        click("writeProgramButton");
        check(lastLogLine().endsWith(u" -> Программа записана"), "the program is written", lastLogLine());
        check(w_->isEnabled(), "the window is enabled after the write");
        const zave::ScheduleDocument written = w_->document();
        check(written.slot(1, 1) == zave::TimeSlot{1, 8, 0, 75} && written.slot(4, 12) == zave::TimeSlot{1, 23, 0, 100},
              "the editor put the composed slots into the document");

        // Spoil what the editor shows, then read the device's program.
        if (auto* volume = find<QLineEdit>("slotVolumeField1")) typeInto(volume, "10");
        if (auto* pulse = find<QLineEdit>("pulseSwitchTimeField")) typeInto(pulse, "7");
        check(w_->document().slot(1, 1).volume == 10, "the spoiled volume reached the document");
        click("readProgramButton");
        check(lastLogLine().endsWith(u" -> Программа считана"), "the program is read", lastLogLine());
        bool same = true;
        for (int d = 1; d <= 7; ++d) same = same && w_->document().day(d) == written.day(d);
        check(same, "every day read back equals the day written");
        check(w_->document().pulseSwitchTime == "42" && field("pulseSwitchTimeField") == "42",
              "the pulse switch time read back is 42", field("pulseSwitchTimeField"));
        auto* sound = find<QComboBox>("soundTypeSelector");
        check(sound && sound->currentIndex() == 2, "the sound type read back is the third");
        auto* picker = find<QTimeEdit>("slotTimePicker1");
        check(picker && picker->text() == "08:00" && field("slotVolumeField1") == "75",
              "the editor shows Monday slot 1 as 08:00, 75", field("slotVolumeField1"));
    }

    // The device's date field follows the computer's clock after a sync.
    void syncClock() {
        click("syncClockButton");
        check(lastLogLine().endsWith(u" -> Время синхронизировано"), "the device clock is set", lastLogLine());
        const QString today = QDate::currentDate().toString("dd.MM.yyyy");
        const bool shown = QTest::qWaitFor([&] { return field("deviceDateField").contains(today); }, kWaitMs);
        check(shown, "the device date field shows today after the sync", field("deviceDateField"));
    }

    void photograph() {
        QDir().mkpath(out_);
        w_->raise();
        w_->activateWindow();
        QFile ready(out_ + "/ready");
        if (!ready.open(QIODevice::WriteOnly)) {
            check(false, "write " + ready.fileName());
            return;
        }
        ready.close();
        const bool taken = QTest::qWaitFor([&] { return QFile::exists(out_ + "/shot-done"); }, 60000);
        check(taken, "the caller took the screenshot");
    }

    // "Справка", as the operator chooses it from the menu.
    void openHelp() {
        auto* help = w_->findChild<QAction*>("command4");
        check(help != nullptr, "the help command exists");
        if (help) help->trigger();
    }

    void finish() {
        QFile report(out_ + "/report.txt");
        if (report.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            QTextStream s(&report);
            for (const QString& l : lines_) s << l << '\n';
        }
        QCoreApplication::exit(failures_ ? 1 : 0);
    }

    QString port_, out_;
    MainWindow* w_ = nullptr;
    QStringList lines_;
    int failures_ = 0;
};

void startDrive() {
    const QStringList args = QCoreApplication::arguments();
    const int drive = args.indexOf("--drive"), out = args.indexOf("--out");
    if (drive < 0 || out < 0 || drive + 1 >= args.size() || out + 1 >= args.size()) {
        std::fprintf(stderr, "zave-drive: usage: zave-drive [Qt options] --drive COMn --out FOLDER\n");
        QTimer::singleShot(0, [] { QCoreApplication::exit(2); });
        return;
    }
    auto* d = new Drive(args[drive + 1], QDir::fromNativeSeparators(args[out + 1]));
    // main() builds and shows the window, then starts the event loop.
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [d, poll] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* window = qobject_cast<MainWindow*>(w);
            if (!window || !window->isVisible()) continue;
            poll->stop();
            d->run(window);
            return;
        }
    });
    poll->start(100);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(startDrive)
