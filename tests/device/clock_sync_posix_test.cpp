// Setting the device clock against the simulator through the real serial
// layer: what is sent, how often, and what the log then says.
#include "device/clock.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "device/eeprom_question_box.h"
#include "link/exchange.h"
#include "link/serial_port.h"
#include "support/devsim.h"
#include "support/fakes.h"

namespace zave {
namespace {

using testing::DevSim;
using testing::FakeClock;
using testing::FakeLog;
using testing::FakeMessageBoxes;

// The simulator's trace lines of the clock frames it received.
std::vector<std::string> clockFrames(const DevSim& sim) {
    std::vector<std::string> frames;
    for (const std::string& line : sim.traceLines())
        if (line.rfind("rx 01", 0) == 0) frames.push_back(line);
    return frames;
}

// The computer's side of a clock sync: its port, engine, log and clock.
struct ComputerSide {
    std::unique_ptr<SerialPort> port = makeSystemSerialPort();
    FakeMessageBoxes boxes;
    EepromQuestionBox eeprom{boxes};
    ExchangeEngine engine{*port, eeprom};
    FakeLog log;
    FakeClock clock;

    bool sync() { return syncDeviceClock(engine, *port, clock, log); }
};

TEST(ClockSync, WhatIsSentAndSaid) {
    struct Row {
        const char* what;
        std::vector<std::string> simArgs;
        LocalTime time;
        bool set;
        const char* logLine;
        int frames;              // clock frames sent, all carrying the same record
        const char* clockLine;  // what the simulator set; empty: nothing
    } rows[] = {
        {"accepted on a Sunday", {}, {2026, 12, 13, 22, 15, 0, 0}, true, "09:05:03 -> Время синхронизировано", 1,
         "clock 2026-12-13 22:15:00 weekday=7"},
        {"refused seven times", {"--fail-first", "7"}, {2026, 12, 7, 9, 5, 3, 1}, true,
         "09:05:03 -> Время синхронизировано", 8, "clock 2026-12-07 09:05:03 weekday=1"},
        {"no answer", {"--silent"}, {2026, 12, 7, 9, 5, 3, 1}, false, "09:05:03 -> Команда не выполнена", 8, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        DevSim sim(r.simArgs);
        ASSERT_TRUE(sim.running()) << sim.error();
        ComputerSide computer;
        computer.clock.time = r.time;
        ASSERT_TRUE(computer.port->open(sim.portName()));

        EXPECT_EQ(computer.sync(), r.set);
        EXPECT_EQ(computer.log.lines, std::vector<std::string>{r.logLine});
        EXPECT_TRUE(computer.port->isOpen()) << "the sync never closes the port";
        ASSERT_TRUE(sim.waitForReceived(r.frames, "01"));
        const std::vector<std::string> frames = clockFrames(sim);
        ASSERT_EQ(frames.size(), size_t(r.frames));
        for (const std::string& f : frames) EXPECT_EQ(f, frames[0]);
        if (*r.clockLine) {
            EXPECT_TRUE(sim.waitForLine([&](const std::string& l) { return l == r.clockLine; }));
        } else {
            for (const std::string& l : sim.traceLines()) EXPECT_NE(l.rfind("clock ", 0), 0u) << l;
        }
    }
}

TEST(ClockSync, AClosedLineSendsNothingAndLogsNothing) {
    DevSim sim;
    ASSERT_TRUE(sim.running()) << sim.error();
    ComputerSide computer;
    EXPECT_FALSE(computer.sync());
    EXPECT_TRUE(computer.log.lines.empty());
    EXPECT_EQ(sim.receivedFrames(), 0);
}

}  // namespace
}  // namespace zave
