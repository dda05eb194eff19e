// The link end to end on Windows: the system serial port, the exchange
// engine, connect, program write and read, clock sync and the system's port
// list, against the device simulator behind a COM port (under Wine, see
// scripts/test-windows.sh).
//
//   zave_link_e2e PORT healthy EXPECTED   a device that answers; EXPECTED gets
//                                         the tables the device must now hold,
//                                         in the simulator's state-file form
//   zave_link_e2e PORT silent             a device that never answers
//   zave_link_e2e PORT eeprom             a device that reports a damaged EEPROM
//                                         for the hour table (04) and its read (83)
//   zave_link_e2e PORT idle SECONDS       connected, the link monitor every 300 ms;
//                                         prints the CPU time this process used
//   zave_link_e2e PORT waiting SECONDS    status queries to a silent device, one
//                                         after another; prints the same
//
// Prints the exchange log and one line per check; the exit status is 0 only
// when every check held.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "device/eeprom_question_box.h"
#include "device/clock.h"
#include "device/fake_progress.h"
#include "device/program_image.h"
#include "device/program_ops.h"
#include "link/connection.h"
#include "link/discovery.h"
#include "link/exchange.h"
#include "link/serial_port.h"
#include "support/fakes.h"
#include "support/sample_documents.h"

namespace zave {
namespace {

using testing::FakeEventPump;
using testing::FakeLog;
using testing::FakeMessageBoxes;
using testing::FakeProgress;

// The fake log, stamped with the computer's time of each line.
class ConsoleLog : public FakeLog {
public:
    void logLine(std::string_view text, LogMode mode) override {
        stampTime = systemLocalTime();
        FakeLog::logLine(text, mode);
    }
};

class Run {
public:
    explicit Run(std::string port) : portName(std::move(port)) {}

    bool check(bool held, const std::string& what) {
        flushLog();
        recent_.clear();
        std::printf("%s %s\n", held ? "ok  " : "FAIL", what.c_str());
        std::fflush(stdout);
        if (!held) ++failures_;
        return held;
    }
    int failures() const { return failures_; }

    // Prints the new log lines; logged() looks at those since the last check.
    void flushLog() {
        for (std::string& line : log.lines) {
            std::printf("  | %s\n", line.c_str());
            recent_.push_back(std::move(line));
        }
        log.lines.clear();
    }
    bool logged(const std::string& text) {
        flushLog();
        for (const std::string& line : recent_)
            if (line.size() >= text.size() && line.compare(line.size() - text.size(), text.size(), text) == 0)
                return true;
        return false;
    }

    bool connect() {
        link.connectDevice(portName);
        return logged("Устройство готово") && link.isOpen();
    }

    const std::string portName;
    std::unique_ptr<SerialPort> port = makeSystemSerialPort();
    FakeMessageBoxes boxes;
    zave::EepromQuestionBox eeprom{boxes};
    ConsoleLog log;
    FakeEventPump pump;
    FakeProgress progress;
    ExchangeEngine engine{*port, eeprom};
    DeviceLink link{*port, engine, log, boxes, pump};
    DeviceOperationContext ctx{engine, log, boxes, progress};
    SystemClock clock;

private:
    int failures_ = 0;
    std::vector<std::string> recent_;
};

// Seconds since 2000 of a calendar reading (the day of week is not used).
int64_t secondsOf(int64_t year, int month, int day, int hour, int minute, int second) {
    using namespace std::chrono;
    const sys_days date{std::chrono::year(int(year)) / std::chrono::month(unsigned(month)) / std::chrono::day(unsigned(day))};
    return (date - sys_days{2000y / January / 1}).count() * 86400LL + hour * 3600 + minute * 60 + second;
}

void writeExpectedState(const std::string& path, const ProgramImage& image) {
    std::ofstream out(path, std::ios::binary);
    auto table = [&](const char* name, const std::array<int32_t, 91>& t) {
        out << name;
        for (int k = 1; k <= kImageEntries; ++k) out << ' ' << t[size_t(k)];
        out << '\n';
    };
    table("hour", image.hourTable);
    table("minute", image.minuteTable);
    table("volume", image.volumeTable);
    out << "settings " << image.settingsBlock[0] << ' ' << image.settingsBlock[1] << ' ' << image.settingsBlock[2]
        << '\n';
}

int healthy(Run& run, const std::string& expectedPath) {
    if (!run.check(run.connect(), "connect greeting: the device is ready")) return 1;

    const ScheduleDocument composed = testing::richDocument(1);
    run.check(writeProgram(run.ctx, run.link.isOpen(), composed, true) && run.logged(" Программа записана"),
              "program write");
    writeExpectedState(expectedPath, buildProgramImage(composed));

    ScheduleDocument read = testing::otherDocument();
    read.currentDay = composed.currentDay;
    run.check(readProgram(run.ctx, run.link.isOpen(), read) && run.logged(" Программа считана"), "program read");
    run.check(read == composed, "the document read back equals the one written");

    syncDeviceClock(run.engine, run.link.isOpen(), run.clock, run.log);
    run.check(run.logged(" Время синхронизировано"), "clock sync");
    // The device's clock, as its next status reply gives it, is the computer's.
    std::optional<ReplyData> status;
    run.link.monitorLink(run.portName, [&](const ReplyData& r) { status = r; });
    const LocalTime now = run.clock.now();
    if (run.check(status.has_value() && deviceDateText(*status).has_value(), "status reply after the sync")) {
        const ReplyData& r = *status;
        const int64_t drift = secondsOf(2000 + r[8], r[7], r[6], r[4], r[3], r[2]) -
                              secondsOf(now.year, now.month, now.day, now.hour, now.minute, now.second);
        std::printf("  device %s, computer %s\n", deviceDateText(r)->c_str(), computerDateText(now).c_str());
        run.check(drift >= -5 && drift <= 5 && r[5] == (now.dayOfWeek == 0 ? 7 : now.dayOfWeek),
                  "the device clock is the computer's (" + std::to_string(drift) + " s apart)");
    }

    const auto listed = makeSystemPortCatalog()->listPorts();
    bool found = false;
    if (listed) {
        for (const CatalogEntry& e : *listed) {
            std::printf("  system port list: %s = %s\n", e.valueName.c_str(), e.portName.c_str());
            found = found || e.portName == run.portName;
        }
    }
    run.check(found, "the system's port list holds " + run.portName);

    run.link.closeLink();
    run.check(!run.link.isOpen() && run.logged(" Порт закрыт"), "disconnect");
    run.check(run.boxes.shown.empty(), "no message box");
    return run.failures();
}

int silent(Run& run) {
    run.link.connectDevice(run.portName);
    run.check(!run.link.isOpen() && run.logged("Устройство не отвечает"), "connect to a silent device fails");

    // Through an open port all the same: nothing may end as a success.
    if (!run.check(run.port->open(run.portName), "the port opens")) return run.failures();
    run.check(!writeProgram(run.ctx, true, testing::richDocument(0), true) && run.logged(" Команда не выполнена"),
              "program write fails");
    ScheduleDocument doc = testing::otherDocument();
    run.check(!readProgram(run.ctx, true, doc) && run.logged(" Команда не выполнена"), "program read fails");
    run.check(doc == testing::otherDocument(), "the document is left as it was");
    syncDeviceClock(run.engine, true, run.clock, run.log);
    run.check(run.logged(" Команда не выполнена"), "clock sync fails");
    run.port->close();
    run.check(run.boxes.shown.empty(), "no message box");
    return run.failures();
}

int eeprom(Run& run) {
    if (!run.check(run.connect(), "connect greeting: the device is ready")) return 1;

    // Repeat once, then break the link: the write ends there.
    run.boxes.answers = {MessageAnswer::Yes, MessageAnswer::No};
    run.check(!writeProgram(run.ctx, true, testing::richDocument(2), true) && run.logged(" Команда не выполнена"),
              "program write fails");
    const auto& shown = run.boxes.shown;
    run.check(shown.size() == 2 && shown[0].buttons == MessageButtons::YesNo &&
                  shown[0].text.rfind("Повреждена EEPROM микроконтроллера", 0) == 0 && shown[1].text == shown[0].text,
              "the operator was asked twice about the damaged EEPROM");

    // A read whose first table reports the fault; the operator breaks the link.
    run.boxes.shown.clear();
    run.boxes.answers = {MessageAnswer::Cancel};
    ScheduleDocument doc = testing::otherDocument();
    run.check(!readProgram(run.ctx, true, doc) && run.logged(" Команда не выполнена"), "program read fails");
    run.check(shown.size() == 1 && shown[0].buttons == MessageButtons::YesNoCancel, "the read asked once");
    run.check(doc == testing::otherDocument(), "the document is left as it was");
    run.link.closeLink();
    return run.failures();
}

// The CPU time this process used so far, against `wall` seconds.
void printCpu(const char* what, double wall) {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& f) { return ((uint64_t(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 10000.0; };
    std::printf("%s %.1f s: process CPU %.0f ms user + %.0f ms kernel (%.2f %% of a core)\n", what, wall, ms(user),
                ms(kernel), (ms(user) + ms(kernel)) / (wall * 10.0));
}

// Exchanges that wait their whole time limit, one after another: a silent device.
int waiting(Run& run, int seconds) {
    if (!run.check(run.port->open(run.portName), "the port opens")) return 1;
    using namespace std::chrono;
    int exchanges = 0, answered = 0;
    const auto start = steady_clock::now();
    while (steady_clock::now() - start < std::chrono::seconds(seconds)) {
        ++exchanges;
        if (run.engine.sendQuery(Status, 0, 0) == ExchangeResult::Ok) ++answered;
    }
    printCpu("waiting", duration<double>(steady_clock::now() - start).count());
    std::printf("%d exchanges\n", exchanges);
    run.check(exchanges > 0 && answered == 0, "no exchange was answered");
    run.port->close();
    return run.failures();
}

int idle(Run& run, int seconds) {
    if (!run.check(run.connect(), "connect greeting: the device is ready")) return 1;
    using namespace std::chrono;
    int replies = 0;
    steady_clock::duration inExchange{};
    const auto start = steady_clock::now();
    auto next = start;
    while (steady_clock::now() - start < std::chrono::seconds(seconds) && run.link.isOpen()) {
        next += milliseconds(300);
        const auto before = steady_clock::now();
        run.link.monitorLink(run.portName, [&](const ReplyData&) { ++replies; });
        inExchange += steady_clock::now() - before;
        std::this_thread::sleep_until(next);
    }
    const double wall = duration<double>(steady_clock::now() - start).count();
    // On the wire a status exchange takes 36 characters, 37.5 ms at 9600 baud.
    std::printf("status exchange: %.1f ms on average\n",
                replies > 0 ? duration<double, std::milli>(inExchange).count() / replies : 0.0);
    printCpu("idle-connected", wall);
    std::printf("%d status replies\n", replies);
    run.check(replies > 0 && run.boxes.shown.empty(), "the monitor ran without a failure");
    run.link.closeLink();
    return run.failures();
}

}  // namespace
}  // namespace zave

int main(int argc, char** argv) {
    const std::string scenario = argc > 2 ? argv[2] : "";
    if (argc < 3 || ((scenario == "healthy" || scenario == "idle" || scenario == "waiting") && argc != 4)) {
        std::fprintf(stderr,
                     "usage: zave_link_e2e PORT healthy EXPECTED | silent | eeprom | idle SECONDS | waiting SECONDS\n");
        return 2;
    }
    zave::Run run(argv[1]);
    int failures;
    if (scenario == "healthy") failures = zave::healthy(run, argv[3]);
    else if (scenario == "silent") failures = zave::silent(run);
    else if (scenario == "eeprom") failures = zave::eeprom(run);
    else if (scenario == "idle") failures = zave::idle(run, std::atoi(argv[3]));
    else if (scenario == "waiting") failures = zave::waiting(run, std::atoi(argv[3]));
    else {
        std::fprintf(stderr, "unknown scenario %s\n", scenario.c_str());
        return 2;
    }
    std::printf("%s: %s\n", scenario.c_str(), failures == 0 ? "passed" : "FAILED");
    return failures == 0 ? 0 : 1;
}
