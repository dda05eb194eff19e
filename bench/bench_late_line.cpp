// What the guard against late replies costs, against zave-devsim:
//  - a silent device: the time from the start of the monitor step that sends
//    the first unanswered status query to the monitor's first message box,
//    once with nothing owed before it and once after an unanswered frame of
//    another kind (the simulation command of the tick before);
//  - a device that answers every frame 1000 ms late: the greeting and each
//    monitor step after it;
//  - a program read from a device that answers every frame 360 ms late, and
//    from one that leaves out the final carriage return: outcome and time.
// Prints figures; asserts nothing.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "device/program_image.h"
#include "device/program_ops.h"
#include "link/connection.h"
#include "device/eeprom_question_box.h"
#include "link/exchange.h"
#include "link/serial_port.h"
#include "schedule/document.h"
#include "bench_support.h"
#include "support/devsim_spawn.h"

namespace {

using namespace zave_bench;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// Answers No to the question, so the link stays open; remembers when the first box came.
class TimedBoxes : public zave::MessageBoxes {
public:
    zave::MessageAnswer show(std::string_view, std::string_view, zave::MessageIcon, zave::MessageButtons b) override {
        if (shown++ == 0) firstAt = Clock::now();
        return b == zave::MessageButtons::Ok ? zave::MessageAnswer::Ok : zave::MessageAnswer::No;
    }
    int shown = 0;
    Clock::time_point firstAt{};
};

// The window's link to a simulator started with `args`, on COM200.
struct MonitorRig {
    explicit MonitorRig(const std::vector<std::string>& args) : sim(args) {}
    Sim sim;
    std::unique_ptr<zave::SerialPort> port = zave::makeSystemSerialPort();
    TimedBoxes boxes;
    zave::EepromQuestionBox eeprom{boxes};
    QuietLog log;
    NoPump pump;
    zave::ExchangeEngine engine{*port, eeprom};
    zave::DeviceLink link{*port, engine, log, boxes, pump};
};

// A device that answers the greeting and then falls silent.
double silentMonitor(bool otherFrameOwed) {
    MonitorRig rig({"--port", "COM200", "--mute-after", "1"});
    if (!rig.sim.ok()) return -1;
    rig.link.connectDevice("COM200");
    if (!rig.link.isOpen()) return -1;
    // The simulation command of the tick before: its result is ignored.
    if (otherFrameOwed) rig.engine.sendCommand(zave::Simulate, zave::CommandParams{204, 0, 1});
    const auto start = Clock::now();
    rig.link.monitorLink("COM200", nullptr);
    if (rig.boxes.shown == 0) return -1;
    return std::chrono::duration<double>(rig.boxes.firstAt - start).count();
}

// A device that answers every frame 1000 ms late: the greeting, then the
// mean of three monitor steps (the time each tick holds the window).
bool lateMonitor(double& greeting, double& step) {
    MonitorRig rig({"--port", "COM200", "--delay-ms", "1000"});
    if (!rig.sim.ok()) return false;
    auto t0 = Clock::now();
    rig.link.connectDevice("COM200");
    greeting = secondsSince(t0);
    int shown = 0;
    t0 = Clock::now();
    for (int i = 0; i < 3; ++i) rig.link.monitorLink("COM200", [&](const zave::ReplyData&) { ++shown; });
    step = secondsSince(t0) / 3;
    const bool ok = rig.link.isOpen() && shown == 3 && rig.boxes.shown == 0;
    rig.link.shutdown();
    return ok;
}

}  // namespace

int main() {
    char dirTemplate[] = "/tmp/zave-bench-XXXXXX";
    const char* dir = mkdtemp(dirTemplate);
    if (!dir) return 1;
    setenv("XDG_RUNTIME_DIR", dir, 1);
    int rc = 0;

    {
        double greeting = 0, step = 0;
        const bool ok = lateMonitor(greeting, step);
        if (!ok) rc = 1;
        std::printf("device 1000 ms late: greeting %.2f s, each monitor step %.2f s (%s)\n", greeting, step,
                    ok ? "every status shown" : "a status was not shown");
    }

    for (const bool owed : {false, true}) {
        const double s = silentMonitor(owed);
        if (s < 0) rc = 1;
        std::printf("silent device, %s: first unanswered status query to the monitor's first box %.2f s (goal < 5 s)\n",
                    owed ? "after an unanswered simulation command" : "nothing owed before", s);
    }

    {
        // Write the program at once, then read it back from a late device and
        // from one that never ends a reply with its carriage return.
        zave::ScheduleDocument doc;
        zave::resetDocument(doc);
        for (int d = 1; d <= 7; ++d)
            for (int s = 1; s <= 12; ++s) doc.slot(d, s) = zave::TimeSlot{s % 2, (s + d) % 24, s * 4, (d * 12 + s) % 101};
        const std::string state = std::string(dir) + "/device.state";
        QuietLog log;
        TimedBoxes boxes;
        zave::EepromQuestionBox eeprom{boxes};
        NoProgress progress;
        {
            Sim sim({"--port", "COM200", "--state", state});
            auto port = zave::makeSystemSerialPort();
            zave::ExchangeEngine engine(*port, eeprom);
            zave::DeviceOperationContext ctx{engine, log, boxes, progress};
            if (!sim.ok() || !port->open("COM200") || !zave::writeProgram(ctx, *port, doc, true)) rc = 1;
        }
        const struct {
            const char* device;
            std::vector<std::string> args;
        } devices[] = {{"device 360 ms late", {"--delay-ms", "360"}},
                       {"device without the final carriage return", {"--no-terminator"}}};
        for (const auto& d : devices) {
            std::vector<std::string> args = {"--port", "COM200", "--state", state};
            args.insert(args.end(), d.args.begin(), d.args.end());
            Sim sim(args);
            auto port = zave::makeSystemSerialPort();
            zave::ExchangeEngine engine(*port, eeprom);
            zave::DeviceOperationContext ctx{engine, log, boxes, progress};
            if (!sim.ok() || !port->open("COM200")) {
                rc = 1;
                continue;
            }
            zave::ScheduleDocument back;
            zave::resetDocument(back);
            const auto t0 = Clock::now();
            const bool read = zave::readProgram(ctx, *port, back);
            const double t = secondsSince(t0);
            const bool same = back.days == doc.days;
            std::printf("program read, %s: %s, log \"%s\", document %s, %.1f s\n", d.device,
                        read ? "succeeded" : "failed", log.last.c_str(),
                        same ? "equals the device's program" : "differs from the device's program", t);
            if (!read || !same) rc = 1;
        }
    }

    const std::string cleanup = std::string("rm -rf '") + dir + "'";
    if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", dir);
    return rc;
}
