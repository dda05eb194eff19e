// Program write and read against the simulator through the real serial layer.
#include "device/eeprom_question_box.h"
#include "device/program_ops.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "device/fake_progress.h"
#include "device/program_image.h"
#include "link/exchange.h"
#include "link/serial_port.h"
#include "support/devsim_state.h"
#include "support/devsim.h"
#include "support/fakes.h"
#include "support/sample_documents.h"

namespace zave {
namespace {

using testing::DeviceTables;
using testing::DevSim;
using testing::readDevSimState;
using testing::FakeLog;
using testing::FakeMessageBoxes;
using testing::FakeProgress;
using testing::otherDocument;
using testing::richDocument;

const std::string kStartWrite = "09:05:03 -> Старт запись программы";
const std::string kWritten = "09:05:03 -> Программа записана";
const std::string kStartRead = "09:05:03 -> Старт чтения программы";
const std::string kReadDone = "09:05:03 -> Программа считана";
const std::string kNotDone = "09:05:03 -> Команда не выполнена";

std::string wireText(const std::string& frame) { return frame.substr(0, frame.size() - 1); }  // without the CR

// The simulator with a state file, the real port and the engine, with
// fakes for the window. The state file lives in the fixture's own folder,
// which exists only once the fixture has started; the first run therefore
// starts without it and is restarted with it at once.
class ProgramOpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim_ = std::make_unique<DevSim>();
        ASSERT_TRUE(sim_->running()) << sim_->error();
        statePath_ = sim_->runtimeDir() + "/device.state";
        restartWith({});
    }
    void restartWith(std::vector<std::string> args) {
        port_->close();
        args.insert(args.begin(), {"--state", statePath_});
        ASSERT_TRUE(sim_->restart(std::move(args))) << sim_->error();
        ASSERT_TRUE(port_->open(sim_->portName()));
    }

    // A status query whose frame the simulator must have seen: every frame
    // sent before it has been traced by then.
    void traceBarrier() {
        const int before = sim_->receivedFrames("80");
        ASSERT_EQ(exchangeAttempts([&] { return engine_.sendQuery(Status, 0, 0); }), ExchangeResult::Ok);
        ASSERT_TRUE(sim_->waitForReceived(before + 1, "80"));
    }

    std::vector<std::string> receivedFrames() const {
        std::vector<std::string> frames;
        for (const std::string& line : sim_->traceLines())
            if (line.rfind("rx ", 0) == 0) frames.push_back(line.substr(3));
        return frames;
    }

    bool traced(std::string_view prefix) const {
        for (const std::string& line : sim_->traceLines())
            if (line.rfind(prefix, 0) == 0) return true;
        return false;
    }

    DeviceTables stored() {
        auto s = readDevSimState(statePath_);
        EXPECT_TRUE(s.has_value()) << statePath_;
        return s.value_or(DeviceTables{});
    }

    std::string statePath_;
    std::unique_ptr<DevSim> sim_;
    std::unique_ptr<SerialPort> port_ = makeSystemSerialPort();
    FakeMessageBoxes boxes_;
    zave::EepromQuestionBox eeprom_{boxes_};
    FakeLog log_;
    FakeProgress progress_;
    ExchangeEngine engine_{*port_, eeprom_};
    DeviceOperationContext ctx_{engine_, log_, boxes_, progress_};
};

const std::vector<int> kProgress = {4,  7,  10, 14, 18, 21, 24, 28, 32, 35, 38, 42, 46, 49,
                                    52, 56, 60, 63, 66, 70, 74, 77, 80, 84, 88, 91, 94, 98};

TEST_F(ProgramOpsTest, WriteThenReadGivesTheSameDocument) {
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const ScheduleDocument written = richDocument(round);
        const ScheduleDocument copy = written;
        log_.lines.clear();
        progress_ = FakeProgress{};
        const size_t framesBefore = receivedFrames().size();
        ASSERT_TRUE(writeProgram(ctx_, true, written, true));
        EXPECT_EQ(written, copy);
        EXPECT_EQ(log_.lines, (std::vector<std::string>{kStartWrite, kWritten}));
        EXPECT_EQ(progress_.opened, 1);
        EXPECT_EQ(progress_.closed, 1);
        EXPECT_EQ(progress_.values, kProgress);
        EXPECT_EQ(progress_.checks, 28);

        // The frames on the line are those of the image, in order.
        traceBarrier();
        const ProgramImage image = buildProgramImage(written);
        std::vector<std::string> expected;
        for (const ProgramFrame& f : programWriteFrames(image)) expected.push_back(wireText(commandFrame(f.code, f.params)));
        std::vector<std::string> frames = receivedFrames();
        ASSERT_GE(frames.size(), framesBefore + 28);
        frames = std::vector<std::string>(frames.begin() + long(framesBefore), frames.begin() + long(framesBefore) + 28);
        EXPECT_EQ(frames, expected);

        // What the device stores matches the image byte for byte.
        const DeviceTables s = stored();
        for (int k = 1; k <= 84; ++k) {
            EXPECT_EQ(s.hour[size_t(k)], image.hourTable[size_t(k)]) << k;
            EXPECT_EQ(s.minute[size_t(k)], image.minuteTable[size_t(k)]) << k;
            EXPECT_EQ(s.volume[size_t(k)], image.volumeTable[size_t(k)]) << k;
        }
        EXPECT_EQ(s.settings, (std::array<int, 3>{image.settingsBlock[0], image.settingsBlock[1], image.settingsBlock[2]}));

        // A new run of the device keeps it; reading it back restores the document.
        restartWith({});
        ScheduleDocument read = otherDocument();
        log_.lines.clear();
        progress_ = FakeProgress{};
        ASSERT_TRUE(readProgram(ctx_, true, read));
        EXPECT_EQ(read, written);
        EXPECT_EQ(log_.lines, (std::vector<std::string>{kStartRead, kReadDone}));
        EXPECT_EQ(progress_.values, kProgress);
        EXPECT_EQ(progress_.opened, 1);
        EXPECT_EQ(progress_.closed, 1);
    }
}

TEST_F(ProgramOpsTest, ReadQueriesInOrder) {
    ScheduleDocument doc = otherDocument();
    ASSERT_TRUE(readProgram(ctx_, true, doc));
    traceBarrier();
    std::vector<std::string> expected;
    for (int code : {ReadHourBlock, ReadMinuteBlock, ReadVolumeBlock})
        for (int f = 1; f <= 81; f += 10) expected.push_back(wireText(queryFrame(code, f, f == 81 ? 84 : f + 9)));
    expected.push_back(wireText(queryFrame(ReadSettings, 0, 0)));
    std::vector<std::string> frames = receivedFrames();
    ASSERT_GE(frames.size(), 28u);
    frames.resize(28);
    EXPECT_EQ(frames, expected);
    EXPECT_EQ(frames[1], "830B1442");
    // A fresh device holds zeros: every slot cleared, settings zero.
    ScheduleDocument zero;
    resetDocument(zero);
    zero.currentDay = 3;
    zero.soundType = 0;
    zero.pulseSwitchTime = "0";
    zero.soundDisabled = 0;
    EXPECT_EQ(doc, zero);
}

TEST_F(ProgramOpsTest, ClosedPortIsSilent) {
    ScheduleDocument doc = otherDocument();
    EXPECT_FALSE(writeProgram(ctx_, false, doc, true));
    EXPECT_FALSE(readProgram(ctx_, false, doc));
    EXPECT_EQ(doc, otherDocument());
    EXPECT_TRUE(log_.lines.empty());
    EXPECT_EQ(progress_.opened, 0);
    EXPECT_EQ(progress_.closed, 0);
    EXPECT_TRUE(boxes_.shown.empty());
    traceBarrier();
    EXPECT_EQ(sim_->receivedFrames(), 1);
}

TEST_F(ProgramOpsTest, GateRefusesAndSendsNothing) {
    EXPECT_FALSE(writeProgram(ctx_, true, richDocument(0), false));
    EXPECT_EQ(log_.lines, (std::vector<std::string>{kStartWrite, kNotDone}));
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].title, "Внимание!");
    EXPECT_EQ(boxes_.shown[0].text,
              "В составленной программе обнаружены ошибки.\nСистема запрещает производить некорректную запись\n");
    EXPECT_EQ(boxes_.shown[0].icon, MessageIcon::Warning);
    EXPECT_EQ(boxes_.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(progress_.opened, 1);
    EXPECT_EQ(progress_.closed, 1);
    EXPECT_TRUE(progress_.values.empty());
    traceBarrier();
    EXPECT_EQ(sim_->receivedFrames(), 1);  // only the barrier's status query
}

TEST_F(ProgramOpsTest, StopDuringTheMinuteTableKeepsWhatWasAccepted) {
    const ScheduleDocument doc = richDocument(1);
    const ProgramImage image = buildProgramImage(doc);
    progress_.stopAtCheck = 12;  // nine hour blocks and two minute blocks went through
    EXPECT_FALSE(writeProgram(ctx_, true, doc, true));
    EXPECT_EQ(log_.lines, (std::vector<std::string>{kStartWrite, kNotDone}));
    EXPECT_EQ(progress_.closed, 1);
    EXPECT_EQ(progress_.values.size(), 11u);
    traceBarrier();
    EXPECT_EQ(sim_->receivedFrames(), 12);
    const DeviceTables s = stored();
    for (int k = 1; k <= 84; ++k) {
        EXPECT_EQ(s.hour[size_t(k)], image.hourTable[size_t(k)]) << k;
        EXPECT_EQ(s.minute[size_t(k)], k <= 20 ? image.minuteTable[size_t(k)] : 0) << k;
        EXPECT_EQ(s.volume[size_t(k)], 0) << k;
    }
    EXPECT_EQ(s.settings, (std::array<int, 3>{0, 0, 0}));
}

TEST_F(ProgramOpsTest, StopBeforeTheFirstFrameSendsNothing) {
    progress_.stopAtCheck = 1;
    EXPECT_FALSE(writeProgram(ctx_, true, richDocument(0), true));
    EXPECT_EQ(log_.lines, (std::vector<std::string>{kStartWrite, kNotDone}));
    EXPECT_EQ(progress_.closed, 1);
    traceBarrier();
    EXPECT_EQ(sim_->receivedFrames(), 1);
}

TEST_F(ProgramOpsTest, ReadStoppedBeforeAllTablesLeavesTheDocument) {
    ASSERT_TRUE(writeProgram(ctx_, true, richDocument(0), true));
    // Check 20 comes before the second volume block; check 1 before anything.
    for (int stopAt : {20, 27, 1}) {
        SCOPED_TRACE("stop at check " + std::to_string(stopAt));
        ScheduleDocument doc = otherDocument();
        progress_ = FakeProgress{};
        progress_.stopAtCheck = stopAt;
        log_.lines.clear();
        EXPECT_FALSE(readProgram(ctx_, true, doc));
        EXPECT_EQ(doc, otherDocument());
        EXPECT_EQ(log_.lines, (std::vector<std::string>{kStartRead, kNotDone}));
        EXPECT_EQ(progress_.values.size(), size_t(stopAt - 1));
        EXPECT_EQ(progress_.closed, 1);
    }
}

TEST_F(ProgramOpsTest, ReadStoppedAtTheSettingsKeepsTheNewScheduleAndTheOldSettings) {
    const ScheduleDocument written = richDocument(2);
    ASSERT_TRUE(writeProgram(ctx_, true, written, true));
    ScheduleDocument doc = otherDocument();
    progress_ = FakeProgress{};
    progress_.stopAtCheck = 28;
    log_.lines.clear();
    EXPECT_FALSE(readProgram(ctx_, true, doc));
    EXPECT_EQ(doc.days, written.days);
    const ScheduleDocument old = otherDocument();
    EXPECT_EQ(doc.soundType, old.soundType);
    EXPECT_EQ(doc.pulseSwitchTime, old.pulseSwitchTime);
    EXPECT_EQ(doc.soundDisabled, old.soundDisabled);
    EXPECT_EQ(log_.lines, (std::vector<std::string>{kStartRead, kNotDone}));
    EXPECT_EQ(progress_.values.size(), 27u);
    EXPECT_EQ(progress_.closed, 1);
}

TEST_F(ProgramOpsTest, FramesRefusedSevenTimesAreRepeatedAndAccepted) {
    restartWith({"--fail-first", "7"});
    const ScheduleDocument doc = richDocument(0);
    ASSERT_TRUE(writeProgram(ctx_, true, doc, true));
    EXPECT_EQ(log_.lines, (std::vector<std::string>{kStartWrite, kWritten}));
    EXPECT_EQ(progress_.values, kProgress);
    // The Stop check runs before every call, repeats included.
    EXPECT_EQ(progress_.checks, 28 * 8);
    traceBarrier();
    const std::vector<std::string> frames = receivedFrames();
    ASSERT_GE(frames.size(), 28u * 8);
    const std::vector<ProgramFrame> expected = programWriteFrames(buildProgramImage(doc));
    for (size_t i = 0; i < 28 * 8; ++i)
        EXPECT_EQ(frames[i], wireText(commandFrame(expected[i / 8].code, expected[i / 8].params))) << i;
    const DeviceTables s = stored();
    EXPECT_EQ(s.settings[1], 37);

    // The read repeats the same way.
    ScheduleDocument back = otherDocument();
    progress_ = FakeProgress{};
    ASSERT_TRUE(readProgram(ctx_, true, back));
    EXPECT_EQ(back, doc);
    EXPECT_EQ(progress_.checks, 28 * 8);
}

TEST_F(ProgramOpsTest, EightRefusalsEndTheOperation) {
    restartWith({"--fail-first", "8"});
    EXPECT_FALSE(writeProgram(ctx_, true, richDocument(0), true));
    EXPECT_EQ(log_.lines, (std::vector<std::string>{kStartWrite, kNotDone}));
    EXPECT_EQ(progress_.checks, 8);
    EXPECT_TRUE(progress_.values.empty());
    EXPECT_EQ(progress_.closed, 1);

    ScheduleDocument doc = otherDocument();
    log_.lines.clear();
    progress_ = FakeProgress{};
    EXPECT_FALSE(readProgram(ctx_, true, doc));
    EXPECT_EQ(doc, otherDocument());
    EXPECT_EQ(log_.lines, (std::vector<std::string>{kStartRead, kNotDone}));
    EXPECT_EQ(progress_.checks, 8);

    // The status query of the barrier is a new frame, so it is refused too:
    // count what arrived through the trace instead.
    ASSERT_TRUE(sim_->waitForReceived(16));
    EXPECT_EQ(sim_->receivedFrames("04"), 8);
    EXPECT_EQ(sim_->receivedFrames("83"), 8);
    EXPECT_FALSE(traced("hour "));
}

TEST_F(ProgramOpsTest, BreakingTheLinkInTheEepromDialogEndsAtOnce) {
    restartWith({"--eeprom", "os"});
    boxes_.answers = {MessageAnswer::No};
    EXPECT_FALSE(writeProgram(ctx_, true, richDocument(0), true));
    EXPECT_EQ(log_.lines, (std::vector<std::string>{kStartWrite, kNotDone}));
    EXPECT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(progress_.checks, 1);
    EXPECT_EQ(progress_.closed, 1);
    EXPECT_TRUE(port_->isOpen());  // the operation never closes the port

    ScheduleDocument doc = otherDocument();
    boxes_.shown.clear();
    boxes_.answers = {MessageAnswer::Cancel};
    progress_ = FakeProgress{};
    log_.lines.clear();
    EXPECT_FALSE(readProgram(ctx_, true, doc));
    EXPECT_EQ(doc, otherDocument());
    EXPECT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(progress_.checks, 1);
    EXPECT_EQ(log_.lines, (std::vector<std::string>{kStartRead, kNotDone}));
    EXPECT_TRUE(port_->isOpen());
}

TEST_F(ProgramOpsTest, RepeatAnswerInTheEepromDialogRepeatsTheFrame) {
    restartWith({"--eeprom", "ol", "--eeprom-times", "2"});
    boxes_.answers = {MessageAnswer::Yes, MessageAnswer::Yes};
    const ScheduleDocument doc = richDocument(0);
    ASSERT_TRUE(writeProgram(ctx_, true, doc, true));
    EXPECT_EQ(boxes_.shown.size(), 2u);
    EXPECT_EQ(progress_.checks, 30);
    EXPECT_EQ(stored().hour[1], buildProgramImage(doc).hourTable[1]);
}

TEST_F(ProgramOpsTest, SkippedEepromErrorsAreDecodedAsAllOnes) {
    ASSERT_TRUE(writeProgram(ctx_, true, richDocument(0), true));
    restartWith({"--eeprom", "os"});
    boxes_.answers.assign(28, MessageAnswer::No);
    ScheduleDocument doc = otherDocument();
    ASSERT_TRUE(readProgram(ctx_, true, doc));
    EXPECT_EQ(boxes_.shown.size(), 28u);
    for (int d = 1; d <= 7; ++d)
        for (int s = 1; s <= 12; ++s) EXPECT_EQ(doc.slot(d, s), (TimeSlot{1, 127, 255, 100}));
    EXPECT_EQ(doc.soundDisabled, 255);
    EXPECT_EQ(doc.pulseSwitchTime, "255");
    EXPECT_EQ(doc.soundType, 0);
}

TEST_F(ProgramOpsTest, DeviceGoneDuringAWriteEndsTheOperation) {
    progress_.beforeCheck = [this](int check) {
        if (check == 5) sim_->kill();
    };
    EXPECT_FALSE(writeProgram(ctx_, true, richDocument(0), true));
    EXPECT_EQ(log_.lines, (std::vector<std::string>{kStartWrite, kNotDone}));
    EXPECT_EQ(progress_.values.size(), 4u);
    EXPECT_EQ(progress_.closed, 1);
    // A vanished port gives Disconnect at the latest on the repeat after the
    // exchange that found it gone: the rule does not spend eight calls.
    EXPECT_LE(progress_.checks, 6);
    EXPECT_FALSE(port_->isOpen());
}

TEST_F(ProgramOpsTest, DeviceGoneDuringAReadLeavesTheDocument) {
    ASSERT_TRUE(writeProgram(ctx_, true, richDocument(0), true));
    progress_ = FakeProgress{};
    progress_.beforeCheck = [this](int check) {
        if (check == 10) sim_->kill();
    };
    ScheduleDocument doc = otherDocument();
    log_.lines.clear();
    EXPECT_FALSE(readProgram(ctx_, true, doc));
    EXPECT_EQ(doc, otherDocument());
    EXPECT_EQ(log_.lines, (std::vector<std::string>{kStartRead, kNotDone}));
    EXPECT_LE(progress_.checks, 11);
}

}  // namespace
}  // namespace zave
