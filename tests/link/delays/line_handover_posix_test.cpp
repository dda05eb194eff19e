// A reply owed on the line must never answer a frame of the next user of the
// line, and a reply that answers no frame must never pass for an answer.
//
// Two users in a row: each has its own port, engine and link, as two
// zavectl runs or a disconnect and a connect in the window, and the first
// closes the line the way the program does at its end. Then the device
// answering twice or sending stray ends of replies, and a zavectl process
// killed in the middle of a read. Every operation ends in the truth or in a
// clean failure.
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include "device/clock.h"
#include "device/eeprom_question_box.h"
#include "device/fake_progress.h"
#include "device/program_ops.h"
#include "line_documents.h"
#include "link/connection.h"
#include "link/exchange.h"
#include "link/serial_port.h"
#include "support/devsim.h"
#include "support/devsim_state.h"
#include "schedule/ptm_codec.h"
#include "support/fakes.h"

extern char** environ;

namespace zave {
namespace {

using namespace std::chrono_literals;
using testing::DeviceTables;
using testing::DevSim;

const std::string kStamp = "09:05:03 ->";
const std::string kNotDone = kStamp + " Команда не выполнена";

// The status reply carries a real date within a second of the computer's
// clock between `before` and the end of the call.
void expectClockOfItsTime(const ReplyData& reply, const LocalTime& before) {
    const LocalTime after = systemLocalTime();
    const auto device = deviceClockTime(reply);
    ASSERT_TRUE(device.has_value());
    EXPECT_GE(secondsBetween(before, *device), -1);
    EXPECT_LE(secondsBetween(after, *device), 1);
}

// One user of the line: what one zavectl run or one window holds.
struct LineUser {
    std::unique_ptr<SerialPort> port = makeSystemSerialPort();
    testing::FakeMessageBoxes boxes;
    testing::FakeLog log;
    testing::FakeEventPump pump;
    testing::FakeProgress progress;
    EepromQuestionBox eeprom{boxes};
    ExchangeEngine engine{*port, eeprom};
    DeviceLink link{*port, engine, log, boxes, pump};
    DeviceOperationContext ctx{engine, log, boxes, progress};

    ~LineUser() { link.shutdown(); }
    bool connect(const std::string& name) { return link.connectDevice(name) == ConnectOutcome::Ready; }
    std::string lastLine() const { return log.lines.empty() ? std::string() : log.lines.back(); }
};

struct Row {
    const char* name;
    std::vector<std::string> args;
    // A device that answers every frame twice and too late for the first
    // wait: no status of it can be told from a copy, so it may be refused
    // at connect (a clean failure).
    bool mayBeRefused = false;
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

class LineFixture {
protected:
    void startDevice(const DeviceTables& tables, std::vector<std::string> args) {
        sim_ = std::make_unique<DevSim>();
        ASSERT_TRUE(sim_->running()) << sim_->error();
        state_ = sim_->runtimeDir() + "/device.state";
        ASSERT_TRUE(testing::writeDevSimState(state_, tables));
        args.insert(args.begin(), {"--state", state_});
        ASSERT_TRUE(sim_->restart(args)) << sim_->error();
    }
    DeviceTables storedOnceQuiet() {
        EXPECT_TRUE(sim_->waitUntilAllAnswered(120s));
        sim_->stop();
        return testing::readDevSimState(state_).value_or(DeviceTables{});
    }
    // Reads the device with a fresh user; the document read, or nothing.
    std::optional<ScheduleDocument> readWithNewUser(bool expectReadable = true) {
        LineUser user;
        if (!user.connect(sim_->portName())) {
            EXPECT_FALSE(expectReadable);
            EXPECT_EQ(user.lastLine(), "Связь разорвана");
            return std::nullopt;
        }
        ScheduleDocument doc = composedDocument(99);
        const ScheduleDocument before = doc;
        const bool read = readProgram(user.ctx, *user.port, doc);
        if (expectReadable) {
            EXPECT_TRUE(read) << user.lastLine();
        }
        if (!read) {
            EXPECT_EQ(doc, before);
            EXPECT_EQ(user.lastLine(), kNotDone);
            return std::nullopt;
        }
        return doc;
    }

    std::unique_ptr<DevSim> sim_;
    std::string state_;
};

// ---------------------------------------------------------------------------
// Two users of one slow line in a row.

const Row kSlowRows[] = {
    {"Delay301", {"--delay-ms", "301"}},
    {"Delay360", {"--delay-ms", "360"}},
    {"Delay1000", {"--delay-ms", "1000"}},
    {"Delay1500", {"--delay-ms", "1500"}},
    {"DelayVaryingUpTo1500", {"--delay-ms", "0:1500", "--seed", "23"}},
};

class LineHandoverTest : public LineFixture, public ::testing::TestWithParam<Row> {
protected:
    void startDevice(const DeviceTables& tables, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = GetParam().args;
        args.insert(args.end(), extra.begin(), extra.end());
        LineFixture::startDevice(tables, args);
    }
};

TEST_P(LineHandoverTest, WriteThenReadGivesBackWhatWasWritten) {
    startDevice(DeviceTables{});
    const ScheduleDocument written = composedDocument(5);
    {
        LineUser first;
        ASSERT_TRUE(first.connect(sim_->portName()));
        ASSERT_TRUE(writeProgram(first.ctx, *first.port, written, true)) << first.lastLine();
    }
    const auto read = readWithNewUser();
    if (read) {
        EXPECT_EQ(*read, written);
    }
    EXPECT_EQ(storedOnceQuiet(), tablesOf(written));
}

TEST_P(LineHandoverTest, ReadThenReadBothGiveTheDeviceProgram) {
    const ScheduleDocument inDevice = composedDocument(8);
    startDevice(tablesOf(inDevice));
    for (int user = 1; user <= 2; ++user) {
        const auto read = readWithNewUser();
        if (read) {
            EXPECT_EQ(*read, inDevice) << "user " << user;
        }
    }
}

TEST_P(LineHandoverTest, StatusThenWriteToADeviceRefusingTheSettingsFails) {
    startDevice(DeviceTables{}, {"--refuse", "07"});
    {
        LineUser first;
        ASSERT_TRUE(first.connect(sim_->portName()));
    }
    LineUser second;
    ASSERT_TRUE(second.connect(sim_->portName()));
    EXPECT_FALSE(writeProgram(second.ctx, *second.port, composedDocument(3), true));
    EXPECT_EQ(second.lastLine(), kNotDone);
    second.link.shutdown();
    for (const auto& line : sim_->traceLines()) EXPECT_NE(line.rfind("settings ", 0), 0u) << line;
}

TEST_P(LineHandoverTest, StatusThenClockSyncSetsTheComputerTimeWithinASecond) {
    startDevice(DeviceTables{});
    {
        LineUser first;
        ASSERT_TRUE(first.connect(sim_->portName()));
    }
    LineUser second;
    ASSERT_TRUE(second.connect(sim_->portName()));
    SystemClock clock;
    ASSERT_TRUE(syncDeviceClock(second.engine, *second.port, clock, second.log));
    // The device reads its clock when the status frame arrives, between the
    // computer's readings before and after the query; whole seconds both.
    ASSERT_TRUE(second.engine.awaitClearLine());
    const LocalTime before = systemLocalTime();
    ASSERT_EQ(exchangeAttempts([&] { return second.engine.sendQuery(Status, 0, 0); }), ExchangeResult::Ok);
    expectClockOfItsTime(second.engine.replyData(), before);
}

TEST_P(LineHandoverTest, ZavectlWriteThenVerifyAgree) {
#ifdef ZAVECTL_PATH
    startDevice(DeviceTables{});
    auto run = [&](const std::vector<std::string>& args) {
        std::vector<std::string> text{ZAVECTL_PATH};
        text.insert(text.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : text) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        const int rc = ::posix_spawn(&pid, ZAVECTL_PATH, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        int status = -1;
        if (rc == 0) ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const std::string port = "--port=" + sim_->portName();
    const std::string file = sim_->runtimeDir() + "/program.ptm";
    {
        const auto bytes = encodeDocument(composedDocument(4));
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    ASSERT_EQ(run({"write", port, file}), 0);
    EXPECT_EQ(run({"verify", port, file}), 0);
#else
    GTEST_SKIP() << "zavectl not built";
#endif
}

INSTANTIATE_TEST_SUITE_P(Line, LineHandoverTest, ::testing::ValuesIn(kSlowRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Replies that answer no frame.

const Row kSurplusRows[] = {
    {"AnsweredTwiceSoon", {"--twice", "50"}},
    {"AnsweredTwiceLate", {"--twice", "700"}},
    {"StrayEndsRightAway", {"--stray", "3:0"}},
    {"StrayEndsAfterAPause", {"--stray", "5:40"}},
    {"StrayEndsOnASlowLine", {"--stray", "4:100", "--delay-ms", "360"}},
    {"AnsweredTwiceOnAPacedLine", {"--twice", "20", "--pace", "9600"}},
    {"AnsweredTwiceBySlowDevice", {"--twice", "50", "--delay-ms", "360"}, true},
};

class LineSurplusTest : public LineFixture, public ::testing::TestWithParam<Row> {
protected:
    // Connects `user`; false, after checking the refusal is a clean one,
    // when a device of this row may be refused and was.
    bool connected(LineUser& user) {
        if (user.connect(sim_->portName())) return true;
        EXPECT_TRUE(GetParam().mayBeRefused) << user.lastLine();
        EXPECT_EQ(user.lastLine(), "Связь разорвана");
        return false;
    }
};

TEST_P(LineSurplusTest, WriteIsReportedOnlyWhenTheDeviceHoldsTheProgram) {
    startDevice(DeviceTables{}, GetParam().args);
    const ScheduleDocument doc = composedDocument(6);
    bool written;
    {
        LineUser user;
        if (!connected(user)) return;
        written = writeProgram(user.ctx, *user.port, doc, true);
        EXPECT_EQ(user.lastLine(), written ? kStamp + " Программа записана" : kNotDone);
    }
    if (written) {
        EXPECT_EQ(storedOnceQuiet(), tablesOf(doc));
    }
}

TEST_P(LineSurplusTest, ReadIsReportedOnlyWithTheDeviceProgram) {
    const ScheduleDocument inDevice = composedDocument(2);
    startDevice(tablesOf(inDevice), GetParam().args);
    const auto read = readWithNewUser(false);
    if (read) {
        EXPECT_EQ(*read, inDevice);
    }
}

// Every block of the hour table reads like the status reply of a supported
// device whose clock is years off: such a reply left over by the first user
// and taken for the next user's status shows as that clock.
TEST_P(LineSurplusTest, TheNextUserOfTheLineHearsTheDeviceNotLeftovers) {
    testing::DeviceTables tables;
    const int lookalike[] = {24, 5, 30, 12, 1, 1, 1, 1, 0, 0};  // 12:30:05, Monday 1 January 2001
    for (size_t k = 1; k < tables.hour.size(); ++k) tables.hour[k] = lookalike[(k - 1) % 10];
    startDevice(tables, GetParam().args);
    {
        LineUser first;
        if (!connected(first)) return;
        ScheduleDocument doc = composedDocument(1);
        readProgram(first.ctx, *first.port, doc);
    }
    LineUser second;
    const LocalTime before = systemLocalTime();
    if (!second.connect(sim_->portName())) return;  // a clean failure
    expectClockOfItsTime(second.engine.replyData(), before);
}

// A reply the device sends twice at the end of a read must not be shown by
// the monitor steps that follow as the device's status: every step shows a
// supported device whose clock is the computer's, as the simulator keeps it.
TEST_P(LineSurplusTest, MonitorStepsAfterAReadShowOnlyTheDeviceStatus) {
    startDevice(tablesOf(composedDocument(3)), GetParam().args);
    LineUser user;
    if (!connected(user)) return;
    ScheduleDocument doc = composedDocument(1);
    readProgram(user.ctx, *user.port, doc);
    int shown = 0;
    for (const auto until = std::chrono::steady_clock::now() + 1500ms;
         std::chrono::steady_clock::now() < until && user.link.isOpen();) {
        const LocalTime before = systemLocalTime();
        user.link.monitorLink(sim_->portName(), [&](const ReplyData& reply) {
            ++shown;
            SCOPED_TRACE("step " + std::to_string(shown));
            EXPECT_EQ(reply[1], kSupportedDeviceType);
            expectClockOfItsTime(reply, before);
        });
    }
    // A device that answers every frame twice may have no status confirmed
    // at all; the operator is then told that it does not answer.
    if (shown == 0) {
        ASSERT_FALSE(user.boxes.shown.empty());
        const std::string& told = user.boxes.shown.front().text;
        EXPECT_TRUE(told == "Устройство не отвечает." || told == "При обмене возникла ошибка.\nПорт принудительно закрыт.")
            << told;
    }
}

INSTANTIATE_TEST_SUITE_P(Line, LineSurplusTest, ::testing::ValuesIn(kSurplusRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// A zavectl killed in the middle of a read leaves replies owed; the next user
// of the line must not take them.

TEST(LineKilledUser, ReadAfterAZavectlKilledInTheMiddleOfAReadGivesTheDeviceProgram) {
#ifdef ZAVECTL_PATH
    const ScheduleDocument inDevice = composedDocument(11);
    struct Fixture : LineFixture {
        using LineFixture::readWithNewUser;
        using LineFixture::sim_;
        using LineFixture::startDevice;
    } f;
    f.startDevice(tablesOf(inDevice), {"--delay-ms", "360"});
    if (::testing::Test::HasFatalFailure()) return;
    const std::string out = f.sim_->runtimeDir() + "/killed.ptm";
    std::vector<std::string> text{ZAVECTL_PATH, "read", "--port=" + f.sim_->portName(), out};
    std::vector<char*> argv;
    for (auto& a : text) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    ASSERT_EQ(::posix_spawn(&pid, ZAVECTL_PATH, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // Killed once it has sent a few table queries: some are still owed.
    EXPECT_TRUE(f.sim_->waitForReceived(4, "83", 30s));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));

    const auto read = f.readWithNewUser();
    if (read) {
        EXPECT_EQ(*read, inDevice);
    }
#else
    GTEST_SKIP() << "zavectl not built";
#endif
}

}  // namespace
}  // namespace zave
