// The device simulator itself, reached through the system serial port.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "device/eeprom_question_box.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "link/serial_port.h"
#include "support/devsim.h"
#include "support/fakes.h"

namespace zave {
namespace {

using namespace std::chrono_literals;
using testing::DevSim;
using testing::FakeMessageBoxes;

// Writes raw text and gathers the answer up to "#\r" (or about a second).
std::string rawExchange(SerialPort& port, const std::string& text) {
    char sink[256];
    while (port.readWaiting(sink, sizeof sink) > 0) {
    }
    port.write(text.data(), text.size());
    std::string reply;
    const auto until = std::chrono::steady_clock::now() + 1s;
    while (reply.find("#\r") == std::string::npos && std::chrono::steady_clock::now() < until) {
        if (port.waitForInput(until) == WaitResult::Gone) break;
        char buffer[256];
        size_t n;
        while ((n = port.readWaiting(buffer, sizeof buffer)) > 0) reply.append(buffer, n);
    }
    return reply;
}

std::string withChecksum(const std::string& body) { return body + frameChecksum(body) + "\r"; }

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

struct Link {
    explicit Link(std::vector<std::string> args) : sim(std::move(args)), engine(*port, eeprom) {}
    bool open() { return sim.running() && port->open(sim.portName()); }
    DevSim sim;
    std::unique_ptr<SerialPort> port = makeSystemSerialPort();
    FakeMessageBoxes boxes;
    zave::EepromQuestionBox eeprom{boxes};
    ExchangeEngine engine;
};

TEST(DevSim, AnnouncesItsPortAndLink) {
    DevSim sim({"--port", "COM117"});
    ASSERT_TRUE(sim.running()) << sim.error();
    EXPECT_EQ(sim.portName(), "COM117");
    EXPECT_EQ(sim.linkPath(), sim.runtimeDir() + "/zave/ports/COM117");
    char target[256] = {};
    ASSERT_GT(::readlink(sim.linkPath().c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), sim.slavePath());
    struct stat st {};
    ASSERT_EQ(::stat((sim.runtimeDir() + "/zave/ports").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(DevSim, BadFramesAreRefused) {
    Link link({});
    ASSERT_TRUE(link.open()) << link.sim.error();
    const std::string zeros20(20, '0');
    const char* refused[] = {
        "80000029\r",                               // wrong checksum
        "8000028\r",                                // too short
        "800000280\r",                              // too long
        "\r",                                       // empty
        "8G000028\r",                               // not hex
    };
    for (const char* f : refused) EXPECT_EQ(rawExchange(*link.port, f), "of#\r") << f;
    const std::string built[] = {
        withChecksum("810000"),                        // unknown query code
        withChecksum("02" + std::string(24, '0')),     // unknown command code
        withChecksum("0400"),                          // neither length
        withChecksum("800000" + std::string(20, '0')), // a query code in a command frame
        withChecksum("040000"),                        // a command code in a query frame
        withChecksum("04000A" + zeros20),              // entry index 0
        withChecksum("04505A" + zeros20),              // last index 90 past the table
        withChecksum("04010B" + zeros20),              // eleven entries in one frame
        withChecksum("0100001801010100" + std::string(10, '0')),  // clock: hour 24
        withChecksum("0100000008010100" + std::string(10, '0')),  // clock: weekday 8
        withChecksum("0100000001000100" + std::string(10, '0')),  // clock: day 0
        withChecksum("0100000001010D00" + std::string(10, '0')),  // clock: month 13
        withChecksum("830000"),                                   // read from index 0
        std::string(200, 'A') + "\r",                             // overlong line
    };
    for (const auto& f : built) EXPECT_EQ(rawExchange(*link.port, f), "of#\r") << f;
    // The same shapes with good values are accepted.
    const std::string zeroData = std::string(20, '0') + frameChecksum(std::string(20, '0')) + "on#\r";
    const std::pair<std::string, std::string> good[] = {
        {withChecksum("04010A" + zeros20), "on#\r"},
        {withChecksum("045154" + zeros20), "on#\r"},  // 81..84
        {withChecksum("0100001701070100" + std::string(10, '0')), "on#\r"},
        {withChecksum("830100"), zeroData},
        {withChecksum("835400"), zeroData},  // from 84: one entry, then zeros
    };
    for (const auto& [frame, answer] : good) EXPECT_EQ(rawExchange(*link.port, frame), answer) << frame;
    // After all that the device still answers a good frame.
    EXPECT_EQ(link.engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
    EXPECT_EQ(link.engine.replyData()[1], 24);
}

TEST(DevSim, TablesSettingsAndReadsPastTheEnd) {
    Link link({});
    ASSERT_TRUE(link.open()) << link.sim.error();
    EXPECT_EQ(link.engine.sendCommand(WriteHourBlock, {81, 84, 151, 23, 200, 7, 0, 0, 0, 0, 0, 0}),
              ExchangeResult::Ok);
    EXPECT_EQ(link.engine.sendCommand(WriteMinuteBlock, {1, 10, 0, 1, 2, 3, 4, 5, 6, 7, 8, 59}),
              ExchangeResult::Ok);
    EXPECT_EQ(link.engine.sendCommand(WriteVolumeBlock, {11, 12, 255, 154, 0, 0, 0, 0, 0, 0, 0, 0}),
              ExchangeResult::Ok);
    EXPECT_EQ(link.engine.sendQuery(ReadHourBlock, 81, 84), ExchangeResult::Ok);
    EXPECT_EQ(link.engine.replyData(), (ReplyData{0, 151, 23, 200, 7, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(link.engine.sendQuery(ReadMinuteBlock, 1, 10), ExchangeResult::Ok);
    EXPECT_EQ(link.engine.replyData(), (ReplyData{0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 59}));
    EXPECT_EQ(link.engine.sendQuery(ReadVolumeBlock, 11, 20), ExchangeResult::Ok);
    EXPECT_EQ(link.engine.replyData(), (ReplyData{0, 255, 154, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(link.engine.sendQuery(ReadHourBlock, 1, 10), ExchangeResult::Ok);
    EXPECT_EQ(link.engine.replyData(), ReplyData{});
    EXPECT_EQ(link.engine.sendCommand(Simulate, {204, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}), ExchangeResult::Ok);
    EXPECT_TRUE(link.sim.waitForLine([](const std::string& l) { return l == "sim level=204 off=0 signal=1"; }));
}

TEST(DevSim, StateSurvivesARestart) {
    Link link({});
    ASSERT_TRUE(link.sim.running()) << link.sim.error();
    const std::string state = link.sim.runtimeDir() + "/device.state";
    link.port->close();
    ASSERT_TRUE(link.sim.restart({"--state", state}));
    ASSERT_TRUE(link.open());
    ASSERT_EQ(link.engine.sendCommand(WriteHourBlock, {71, 80, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), ExchangeResult::Ok);
    ASSERT_EQ(link.engine.sendCommand(WriteSettings, {1, 99, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0}), ExchangeResult::Ok);
    // Tuesday 31 December 2041, 23:59:58, told to be a Friday.
    ASSERT_EQ(link.engine.sendCommand(SetClock, {58, 59, 23, 5, 31, 12, 41, 0, 0, 0, 0, 0}), ExchangeResult::Ok);

    link.port->close();
    ASSERT_TRUE(link.sim.restart({"--state", state})) << link.sim.error();
    ASSERT_TRUE(link.open());
    EXPECT_EQ(link.engine.sendQuery(ReadHourBlock, 71, 80), ExchangeResult::Ok);
    EXPECT_EQ(link.engine.replyData(), (ReplyData{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(link.engine.sendQuery(ReadSettings, 0, 0), ExchangeResult::Ok);
    EXPECT_EQ(link.engine.replyData(), (ReplyData{0, 1, 99, 3, 0, 0, 0, 0, 0, 0, 0}));
    // The clock kept running from what it was set to: at most a few seconds
    // have passed, so it reads the last moments of 2041 or the first of 2042.
    ASSERT_EQ(link.engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
    const ReplyData d = link.engine.replyData();
    const bool lateIn2041 = d[8] == 41 && d[7] == 12 && d[6] == 31 && d[4] == 23 && d[3] == 59 && d[5] == 5;
    const bool earlyIn2042 = d[8] == 42 && d[7] == 1 && d[6] == 1 && d[4] == 0 && d[5] == 6;
    EXPECT_TRUE(lateIn2041 || earlyIn2042) << d[8] << "-" << d[7] << "-" << d[6] << " " << d[4] << ":" << d[3]
                                           << " wd " << d[5];
    // Saved by renaming a complete file: no temporary left behind.
    link.port->close();
    link.sim.stop();
    for (const auto& entry : std::filesystem::directory_iterator(link.sim.runtimeDir()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
    std::ifstream in(state);
    std::string header;
    std::getline(in, header);
    EXPECT_EQ(header, "zave-devsim state 1");
}

TEST(DevSim, DamagedStateFileIsRefusedAtStart) {
    DevSim sim;
    ASSERT_TRUE(sim.running()) << sim.error();
    const std::string state = sim.runtimeDir() + "/broken.state";
    std::ofstream(state) << "zave-devsim state 1\nhour 1 2 3\n";
    EXPECT_FALSE(sim.restart({"--state", state}));
}

TEST(DevSim, PacedLineStillExchanges) {
    Link link({"--pace", "9600"});
    ASSERT_TRUE(link.open()) << link.sim.error();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(link.engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
        EXPECT_EQ(link.engine.replyData()[1], 24);
    }
    EXPECT_EQ(link.engine.sendCommand(WriteSettings, {0, 10, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0}), ExchangeResult::Ok);
    EXPECT_EQ(link.engine.sendQuery(ReadSettings, 0, 0), ExchangeResult::Ok);
    EXPECT_EQ(link.engine.replyData()[3], 2);
}

TEST(DevSim, StatusRepliesFollowTheOptions) {
    struct Case {
        std::vector<std::string> args;
        int type;
        // hour, day, month of the first and second status reply; -1 = real value
        int hour1, day1, month1, hour2, day2, month2;
    } cases[] = {
        {{"--type", "25"}, 25, -1, -1, -1, -1, -1, -1},
        {{"--bad-clock", "hour"}, 24, 24, -1, -1, 24, -1, -1},
        {{"--bad-clock", "april"}, 24, -1, 31, 4, -1, 31, 4},
        {{"--bad-clock", "alternate"}, 24, 24, -1, -1, -1, 31, 4},
        {{"--bad-clock", "both"}, 24, 24, 31, 4, 24, 31, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        Link link(c.args);
        ASSERT_TRUE(link.open()) << link.sim.error();
        const int expect[2][3] = {{c.hour1, c.day1, c.month1}, {c.hour2, c.day2, c.month2}};
        for (const auto& e : expect) {
            ASSERT_EQ(link.engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
            const ReplyData d = link.engine.replyData();
            EXPECT_EQ(d[1], c.type);
            if (e[0] >= 0) {
                EXPECT_EQ(d[4], e[0]);
            } else {
                EXPECT_LE(d[4], 23);
            }
            if (e[1] >= 0) {
                EXPECT_EQ(d[6], e[1]);
            } else {
                EXPECT_TRUE(d[6] >= 1 && d[6] <= 31);
            }
            if (e[2] >= 0) {
                EXPECT_EQ(d[7], e[2]);
            } else {
                EXPECT_TRUE(d[7] >= 1 && d[7] <= 12);
            }
        }
    }
}

TEST(DevSim, FaultCountsAndLimits) {
    {
        Link link({"--mute-after", "2"});
        ASSERT_TRUE(link.open()) << link.sim.error();
        EXPECT_EQ(link.engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
        EXPECT_EQ(link.engine.sendCommand(WriteSettings, {}), ExchangeResult::Ok);
        EXPECT_EQ(link.engine.sendQuery(Status, 0, 0), ExchangeResult::BadReply);
        ASSERT_TRUE(link.sim.waitForReceived(3));
        ASSERT_TRUE(link.sim.waitForSent(2));
        EXPECT_EQ(link.sim.sentAnswers(), 2);
    }
    {
        // "In a row": another frame in between starts the count again.
        Link link({"--fail-first", "1"});
        ASSERT_TRUE(link.open()) << link.sim.error();
        EXPECT_EQ(link.engine.sendQuery(Status, 0, 0), ExchangeResult::BadReply);
        EXPECT_EQ(link.engine.sendQuery(ReadSettings, 0, 0), ExchangeResult::BadReply);
        EXPECT_EQ(link.engine.sendQuery(Status, 0, 0), ExchangeResult::BadReply);
        EXPECT_EQ(link.engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
    }
    {
        Link link({"--eeprom", "ol", "--eeprom-times", "1"});
        ASSERT_TRUE(link.open()) << link.sim.error();
        link.boxes.answers = {MessageAnswer::Yes};
        EXPECT_EQ(link.engine.sendCommand(WriteSettings, {}), ExchangeResult::BadReply);
        EXPECT_EQ(link.engine.sendCommand(WriteSettings, {}), ExchangeResult::Ok);
        EXPECT_EQ(link.boxes.shown.size(), 1u);
    }
}

TEST(DevSim, RefusedCodesDroppedFramesAndSplitAnswers) {
    {
        // Refused codes get "of#" and store nothing; other codes are served.
        Link link({"--refuse", "05,86"});
        ASSERT_TRUE(link.open()) << link.sim.error();
        EXPECT_EQ(rawExchange(*link.port, withChecksum("05010A" + std::string(20, '1'))), "of#\r");
        EXPECT_EQ(rawExchange(*link.port, withChecksum("860000")), "of#\r");
        EXPECT_EQ(rawExchange(*link.port, withChecksum("04010A" + std::string(20, '1'))), "on#\r");
        EXPECT_EQ(rawExchange(*link.port, withChecksum("84010A")), "00000000000000000000C0on#\r");
    }
    {
        // Every third frame goes unanswered and unused.
        Link link({"--drop", "3"});
        ASSERT_TRUE(link.open()) << link.sim.error();
        const std::string write = withChecksum("040102" + std::string(4, '2') + std::string(16, '0'));
        EXPECT_EQ(rawExchange(*link.port, withChecksum("800000")).size(), 26u);
        EXPECT_EQ(rawExchange(*link.port, withChecksum("800000")).size(), 26u);
        EXPECT_EQ(rawExchange(*link.port, write), "");
        EXPECT_EQ(rawExchange(*link.port, withChecksum("830102")), "00000000000000000000C0on#\r");
        ASSERT_TRUE(link.sim.waitForReceived(4));
        int dropped = 0;
        for (const auto& line : link.sim.traceLines()) dropped += line == "dropped";
        EXPECT_EQ(dropped, 1);
        // The simulator traces an answer after sending it: wait for the trace.
        ASSERT_TRUE(link.sim.waitForSent(3));
        EXPECT_EQ(link.sim.sentAnswers(), 3);
    }
    {
        // An answer in pieces arrives whole in the end, and is traced once.
        Link link({"--split", "4:30"});
        ASSERT_TRUE(link.open()) << link.sim.error();
        EXPECT_EQ(rawExchange(*link.port, withChecksum("860000")), "00000000000000000000C0on#\r");
        EXPECT_EQ(rawExchange(*link.port, withChecksum("07000A01" + std::string(18, '0'))), "on#\r");
        ASSERT_TRUE(link.sim.waitForSent(2));
        EXPECT_EQ(link.sim.sentAnswers(), 2);
    }
}

TEST(DevSim, DelayAndSplitOptionsAreChecked) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--delay-ms", "500:200"}, {"--delay-ms", "x"}, {"--split", "3"},
          {"--split", "0:10"}, {"--drop", "0"}, {"--refuse", "1G"}, {"--delay-frames", "-1"}}) {
        DevSim sim(args);
        EXPECT_FALSE(sim.running()) << args[0] << " " << args[1];
    }
    DevSim sim({"--delay-ms", "0:40", "--seed", "9", "--delay-frames", "1"});
    ASSERT_TRUE(sim.running()) << sim.error();
}

TEST(DevSim, EndsCleanlyOnSigtermAndReplacesStaleLinks) {
    DevSim sim;
    ASSERT_TRUE(sim.running()) << sim.error();
    const std::string link = sim.linkPath();
    ASSERT_TRUE(exists(link));
    const int status = sim.stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(exists(link));
    ASSERT_TRUE(sim.restart({}));
    ASSERT_TRUE(exists(link));
    const int interrupted = sim.stop(SIGINT);
    EXPECT_TRUE(WIFEXITED(interrupted) && WEXITSTATUS(interrupted) == 0) << interrupted;
    EXPECT_FALSE(exists(link));

    // A killed simulator leaves its link behind; the next one replaces it.
    ASSERT_TRUE(sim.restart({}));
    sim.kill();
    EXPECT_TRUE(exists(link));
    ASSERT_TRUE(sim.restart({})) << sim.error();
    char target[256] = {};
    ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), sim.slavePath());
    auto port = makeSystemSerialPort();
    FakeMessageBoxes boxes;
    zave::EepromQuestionBox eeprom{boxes};
    ExchangeEngine engine(*port, eeprom);
    ASSERT_TRUE(port->open(sim.portName()));
    EXPECT_EQ(engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
}

}  // namespace
}  // namespace zave
