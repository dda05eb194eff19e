// What the program reports about the device must be true whatever the line
// does: every operation against a simulator that answers late (by a fixed
// delay around and above the receiver's limit, or a delay drawn per frame),
// in pieces, without its final carriage return, or not at all to some
// frames. Each operation either does exactly what it reports or reports
// failure; nothing is ever reported done with wrong data.
//
// Every row is a test of its own, so that ctest runs the slow rows side by
// side: they mostly wait for the line.
#include <gtest/gtest.h>

#include "device/eeprom_question_box.h"
#include "device/clock.h"
#include "device/fake_progress.h"
#include "device/program_image.h"
#include "device/program_ops.h"
#include "link/connection.h"
#include "link/exchange.h"
#include "link/serial_port.h"
#include "support/devsim.h"
#include "support/devsim_state.h"
#include "support/fakes.h"
#include "line_documents.h"

namespace zave {
namespace {

using namespace std::chrono_literals;
using testing::DeviceTables;
using testing::DevSim;

struct Row {
    const char* name;
    std::vector<std::string> args;
    // Every answer comes after the receiver's first wait.
    bool late = false;
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

const Row kRows[] = {
    {"Prompt", {"--delay-ms", "0"}},
    {"Delay250", {"--delay-ms", "250"}},
    {"Delay299", {"--delay-ms", "299"}},
    {"Delay301", {"--delay-ms", "301"}, true},
    {"Delay360", {"--delay-ms", "360"}, true},
    {"Delay590", {"--delay-ms", "590"}, true},
    {"Delay650", {"--delay-ms", "650"}, true},
    {"Delay1000", {"--delay-ms", "1000"}, true},
    {"Delay1500", {"--delay-ms", "1500"}, true},
    {"DelayVaryingUpTo1500", {"--delay-ms", "0:1500", "--seed", "11"}},
    {"SplitIntoPieces", {"--split", "4:120", "--delay-ms", "0:400", "--seed", "5"}},
    {"NoTerminator", {"--no-terminator", "--delay-ms", "0:250", "--seed", "3"}},
    {"EveryFifthFrameDropped", {"--drop", "5", "--delay-ms", "0:400", "--seed", "8"}},
};

const std::string kStamp = "09:05:03 ->";
const std::string kWritten = kStamp + " Программа записана";
const std::string kReadDone = kStamp + " Программа считана";
const std::string kClockSet = kStamp + " Время синхронизировано";
const std::string kNotDone = kStamp + " Команда не выполнена";

class LineDelayTest : public ::testing::TestWithParam<Row> {
protected:
    // Starts the simulator of this row with `extra` options and a device
    // holding `tables`, and opens nothing yet.
    void startDevice(const DeviceTables& tables, std::vector<std::string> extra = {}) {
        port_->close();
        if (!sim_) {
            sim_ = std::make_unique<DevSim>();
            ASSERT_TRUE(sim_->running()) << sim_->error();
            statePath_ = sim_->runtimeDir() + "/device.state";
        }
        ASSERT_TRUE(testing::writeDevSimState(statePath_, tables));
        std::vector<std::string> args = {"--state", statePath_};
        args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(sim_->restart(args)) << sim_->error();
    }

    // The greeting, as the operator's "Установить связь" does it.
    void connect() {
        link_.connectDevice(sim_->portName());
        ASSERT_EQ(log_.lines, (std::vector<std::string>{kStamp + sim_->portName() + " Порт открыт", "Устройство готово"}));
        ASSERT_TRUE(link_.isOpen());
    }

    // What the device holds once every frame it got has been handled.
    DeviceTables storedOnceQuiet() {
        EXPECT_TRUE(sim_->waitUntilAllAnswered(120s));
        port_->close();
        sim_->stop();
        const auto stored = testing::readDevSimState(statePath_);
        EXPECT_TRUE(stored.has_value());
        return stored.value_or(DeviceTables{});
    }

    int framesReceived() {
        EXPECT_TRUE(sim_->waitUntilAllAnswered(120s));
        int frames = 0;
        for (const auto& line : sim_->traceLines()) frames += line.rfind("rx ", 0) == 0;
        return frames;
    }

    std::string lastLogLine() const { return log_.lines.empty() ? std::string() : log_.lines.back(); }

    std::string statePath_;
    std::unique_ptr<DevSim> sim_;
    std::unique_ptr<SerialPort> port_ = makeSystemSerialPort();
    testing::FakeMessageBoxes boxes_;
    zave::EepromQuestionBox eeprom_{boxes_};
    testing::FakeLog log_;
    testing::FakeEventPump pump_;
    testing::FakeProgress progress_;
    ExchangeEngine engine_{*port_, eeprom_};
    DeviceLink link_{*port_, engine_, log_, boxes_, pump_};
    DeviceOperationContext ctx_{engine_, log_, boxes_, progress_};
};

TEST_P(LineDelayTest, ProgramWriteLeavesExactlyTheProgramInTheDevice) {
    startDevice(DeviceTables{});
    connect();
    const ScheduleDocument doc = composedDocument(7);
    const bool written = writeProgram(ctx_, *port_, doc, true);
    EXPECT_TRUE(written);
    EXPECT_EQ(lastLogLine(), written ? kWritten : kNotDone);
    if (written) {
        EXPECT_EQ(storedOnceQuiet(), tablesOf(doc));
    }
}

TEST_P(LineDelayTest, ProgramReadFillsTheDocumentWithExactlyTheDeviceProgram) {
    const ScheduleDocument inDevice = composedDocument(4);
    startDevice(tablesOf(inDevice));
    connect();
    const ScheduleDocument before = composedDocument(20);
    ScheduleDocument doc = before;
    const int greeting = framesReceived();
    const bool read = readProgram(ctx_, *port_, doc);
    EXPECT_TRUE(read);
    EXPECT_EQ(lastLogLine(), read ? kReadDone : kNotDone);
    // A device that has shown at the greeting that it answers late is given
    // that time: no frame of the read goes out twice.
    if (GetParam().late) EXPECT_EQ(framesReceived() - greeting, 28);
    EXPECT_EQ(doc.days, read ? inDevice.days : before.days);
    EXPECT_EQ(doc.soundType, read ? inDevice.soundType : before.soundType);
    EXPECT_EQ(doc.pulseSwitchTime, read ? inDevice.pulseSwitchTime : before.pulseSwitchTime);
    EXPECT_EQ(doc.soundDisabled, read ? inDevice.soundDisabled : before.soundDisabled);
}

TEST_P(LineDelayTest, RefusedHourTableIsNeverReportedWritten) {
    startDevice(DeviceTables{}, {"--refuse", "04"});
    connect();
    EXPECT_FALSE(writeProgram(ctx_, *port_, composedDocument(7), true));
    EXPECT_EQ(lastLogLine(), kNotDone);
    // The write ends at its first frame: nothing at all was stored.
    EXPECT_EQ(storedOnceQuiet(), DeviceTables{});
}

TEST_P(LineDelayTest, RefusedHourTableReadLeavesTheDocument) {
    startDevice(tablesOf(composedDocument(4)), {"--refuse", "83"});
    connect();
    const ScheduleDocument before = composedDocument(20);
    ScheduleDocument doc = before;
    EXPECT_FALSE(readProgram(ctx_, *port_, doc));
    EXPECT_EQ(lastLogLine(), kNotDone);
    EXPECT_EQ(doc, before);
}

TEST_P(LineDelayTest, ClockSyncSetsTheDeviceClockOrSaysItDidNot) {
    testing::FakeClock clock;
    clock.time = LocalTime{2031, 5, 17, 10, 20, 0, 6};  // a Saturday
    const std::string record = "clock 2031-05-17 10:20:00 weekday=6";
    {
        startDevice(DeviceTables{});
        connect();
        syncDeviceClock(engine_, *port_, clock, log_);
        EXPECT_EQ(lastLogLine(), kClockSet);
        ASSERT_TRUE(sim_->waitUntilAllAnswered(60s));
        int set = 0;
        for (const auto& line : sim_->traceLines()) {
            if (line.rfind("clock ", 0) != 0) continue;
            EXPECT_EQ(line, record);
            ++set;
        }
        EXPECT_GE(set, 1);
        // The next monitor step reads the clock just set.
        ReplyData shown{};
        link_.monitorLink(sim_->portName(), [&](const ReplyData& d) { shown = d; });
        EXPECT_EQ(shown[1], kSupportedDeviceType);
        EXPECT_EQ((std::array<int32_t, 5>{shown[8], shown[7], shown[6], shown[4], shown[5]}),
                  (std::array<int32_t, 5>{31, 5, 17, 10, 6}));
        EXPECT_TRUE(shown[3] == 20 || shown[3] == 21) << shown[3];
    }
    {
        // A device that refuses the clock is never reported set.
        log_.lines.clear();
        startDevice(DeviceTables{}, {"--refuse", "01"});
        connect();
        syncDeviceClock(engine_, *port_, clock, log_);
        EXPECT_EQ(lastLogLine(), kNotDone);
        ASSERT_TRUE(sim_->waitUntilAllAnswered(60s));
        for (const auto& line : sim_->traceLines()) EXPECT_NE(line.rfind("clock ", 0), 0u) << line;
    }
}

TEST_P(LineDelayTest, GreetingAcceptsOnlyTheSupportedType) {
    startDevice(DeviceTables{});
    connect();
    ReplyData shown{};
    link_.monitorLink(sim_->portName(), [&](const ReplyData& d) { shown = d; });
    EXPECT_EQ(shown[1], kSupportedDeviceType);
    EXPECT_TRUE(boxes_.shown.empty());

    startDevice(DeviceTables{}, {"--type", "25"});
    link_.connectDevice(sim_->portName());
    EXPECT_EQ(log_.lines, (std::vector<std::string>{kStamp + sim_->portName() + " Порт открыт",
                                                    "Данное уст. не поддерживается", "Связь разорвана"}));
    EXPECT_FALSE(link_.isOpen());
}

INSTANTIATE_TEST_SUITE_P(Line, LineDelayTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

// The link monitor sees one late status reply; a write started right after
// it must not take that late reply, or the one owed for the repeat, as the
// answer to its first table frame.
TEST(LineDelayMonitor, WriteAfterALateStatusReplyWaitsForWhatIsOwed) {
    DevSim sim;
    ASSERT_TRUE(sim.running()) << sim.error();
    const std::string state = sim.runtimeDir() + "/device.state";
    ASSERT_TRUE(testing::writeDevSimState(state, DeviceTables{}));
    ASSERT_TRUE(sim.restart({"--state", state, "--delay-ms", "360", "--delay-frames", "2"})) << sim.error();
    auto port = makeSystemSerialPort();
    testing::FakeMessageBoxes boxes;
    zave::EepromQuestionBox eeprom{boxes};
    testing::FakeLog log;
    testing::FakeEventPump pump;
    testing::FakeProgress progress;
    ExchangeEngine engine(*port, eeprom);
    DeviceLink link(*port, engine, log, boxes, pump);
    DeviceOperationContext ctx{engine, log, boxes, progress};
    ASSERT_TRUE(port->open(sim.portName()));

    ReplyData shown{};
    link.monitorLink(sim.portName(), [&](const ReplyData& d) { shown = d; });
    EXPECT_EQ(shown[1], kSupportedDeviceType);
    EXPECT_TRUE(boxes.shown.empty());
    const ScheduleDocument doc = composedDocument(2);
    EXPECT_TRUE(writeProgram(ctx, *port, doc, true));

    ASSERT_TRUE(sim.waitUntilAllAnswered(30s));
    // Both status frames were answered before the first table frame went
    // out; that frame was sent once, so its own "on#" answered it.
    const auto lines = sim.traceLines();
    int frames = 0, answers = 0, hourFrames = 0;
    bool firstTableFrameSeen = false;
    for (const auto& line : lines) {
        if (line.rfind("rx 04", 0) == 0 && !firstTableFrameSeen) {
            firstTableFrameSeen = true;
            EXPECT_EQ(frames, 2);
            EXPECT_EQ(answers, frames);
        }
        if (line.rfind("rx 04", 0) == 0) ++hourFrames;
        if (line.rfind("rx ", 0) == 0) ++frames;
        if (line.rfind("tx ", 0) == 0) ++answers;
    }
    EXPECT_TRUE(firstTableFrameSeen);
    EXPECT_EQ(hourFrames, 9);
    EXPECT_EQ(frames, 2 + 28);
    port->close();
    sim.stop();
    EXPECT_EQ(testing::readDevSimState(state), tablesOf(doc));
}

}  // namespace
}  // namespace zave
