// Connect, disconnect and the link monitor against the simulator through
// the real serial layer.
#include "device/eeprom_question_box.h"
#include "link/connection.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <optional>

#include "device/clock.h"
#include "link/exchange.h"
#include "link/serial_port.h"
#include "support/devsim.h"
#include "support/devsim_spawn.h"
#include "support/fakes.h"

namespace zave {
namespace {

using testing::DevSim;
using testing::FakeEventPump;
using testing::FakeLog;
using testing::FakeMessageBoxes;

const std::string kStamp = "09:05:03 ->";

class ConnectionTest : public ::testing::Test {
protected:
    void startSim(std::vector<std::string> args = {}) {
        sim_ = std::make_unique<DevSim>(std::move(args));
        ASSERT_TRUE(sim_->running()) << sim_->error();
    }
    void connect() {
        link_.connectDevice(sim_->portName());
        ASSERT_TRUE(link_.isOpen()) << (log_.lines.empty() ? "" : log_.lines.back());
        log_.lines.clear();
    }
    // Monitor step that records what reached the device-date display.
    std::vector<ReplyData> monitor(const std::string& portText = "COM200") {
        std::vector<ReplyData> shown;
        link_.monitorLink(portText, [&](const ReplyData& r) { shown.push_back(r); });
        return shown;
    }

    std::unique_ptr<DevSim> sim_;
    std::unique_ptr<SerialPort> port_ = makeSystemSerialPort();
    FakeMessageBoxes boxes_;
    zave::EepromQuestionBox eeprom_{boxes_};
    FakeLog log_;
    FakeEventPump pump_;
    ExchangeEngine engine_{*port_, eeprom_};
    DeviceLink link_{*port_, engine_, log_, boxes_, pump_};
};

TEST_F(ConnectionTest, ConnectOutcomes) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> lines;
        bool open;
        int statusFrames;
        ConnectOutcome outcome;
    } cases[] = {
        {{}, {kStamp + "COM200 Порт открыт", "Устройство готово"}, true, 1, ConnectOutcome::Ready},
        {{"--type", "25"}, {kStamp + "COM200 Порт открыт", "Данное уст. не поддерживается", "Связь разорвана"}, false, 1,
         ConnectOutcome::Unsupported},
        {{"--silent"}, {kStamp + "COM200 Порт открыт", "Устройство не отвечает", "Связь разорвана"}, false, 8,
         ConnectOutcome::NoAnswer},
        {{"--fail-first", "8"}, {kStamp + "COM200 Порт открыт", "Устройство не отвечает", "Связь разорвана"}, false, 8,
         ConnectOutcome::NoAnswer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? std::string("plain") : c.args[0]);
        port_->close();
        sim_.reset();
        startSim(c.args);
        log_.lines = {"old line"};
        pump_.calls.clear();
        EXPECT_EQ(link_.connectDevice("COM200"), c.outcome);
        EXPECT_EQ(log_.lines, c.lines);
        EXPECT_EQ(link_.isOpen(), c.open);
        EXPECT_EQ(pump_.calls, std::vector<int>{10});
        EXPECT_TRUE(boxes_.shown.empty());
        EXPECT_TRUE(sim_->waitForReceived(c.statusFrames, "80"));
        EXPECT_EQ(sim_->receivedFrames(), c.statusFrames);
        if (!c.open) {
            // Closed for real: another opener gets the port.
            auto other = makeSystemSerialPort();
            EXPECT_TRUE(other->open("COM200"));
        }
    }
}

TEST_F(ConnectionTest, BrokenLinkInTheGreetingDialogIsNoAnswer) {
    startSim({"--eeprom", "os"});
    boxes_.answers = {MessageAnswer::Cancel};
    link_.connectDevice("COM200");
    EXPECT_EQ(log_.lines,
              (std::vector<std::string>{kStamp + "COM200 Порт открыт", "Устройство не отвечает", "Связь разорвана"}));
    EXPECT_FALSE(link_.isOpen());
    EXPECT_EQ(boxes_.shown.size(), 1u);
}

TEST_F(ConnectionTest, PortHeldByAnotherOpener) {
    startSim();
    auto holder = makeSystemSerialPort();
    ASSERT_TRUE(holder->open("COM200"));
    log_.lines = {"old line"};
    EXPECT_EQ(link_.connectDevice("COM200"), ConnectOutcome::OpenFailed);
    EXPECT_EQ(log_.lines, (std::vector<std::string>{kStamp + " Ошибка отрытия COM200"}));
    EXPECT_FALSE(link_.isOpen());
    EXPECT_TRUE(holder->isOpen());
    EXPECT_EQ(sim_->receivedFrames(), 0);
}

TEST_F(ConnectionTest, PortThatDoesNotExist) {
    startSim();
    EXPECT_EQ(link_.connectDevice("COM150"), ConnectOutcome::OpenFailed);
    EXPECT_EQ(log_.lines, (std::vector<std::string>{kStamp + " Ошибка отрытия COM150"}));
    EXPECT_FALSE(link_.isOpen());
}

TEST_F(ConnectionTest, ConnectingAgainClosesTheFirstPortSilently) {
    startSim();
    connect();

    // A second simulator in the same runtime folder, as COM199.
    int pipeFds[2];
    ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
    const pid_t second = testing::spawnDevSim(ZAVE_DEVSIM_PATH, {"--port", "COM199"}, pipeFds[1]);
    ::close(pipeFds[1]);
    ASSERT_GT(second, 0);
    std::string firstLine;
    for (char ch; firstLine.find('\n') == std::string::npos;) {
        pollfd p{pipeFds[0], POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0 || ::read(pipeFds[0], &ch, 1) != 1) break;
        firstLine += ch;
    }
    ASSERT_EQ(firstLine.rfind("port COM199 ", 0), 0u) << firstLine;

    link_.connectDevice("COM199");
    EXPECT_EQ(log_.lines, (std::vector<std::string>{kStamp + "COM199 Порт открыт", "Устройство готово"}));
    EXPECT_TRUE(link_.isOpen());
    auto other = makeSystemSerialPort();
    EXPECT_TRUE(other->open("COM200"));  // the first port was let go
    other->close();

    link_.shutdown();
    testing::endDevSim(second, SIGTERM);
    ::close(pipeFds[0]);
}

TEST_F(ConnectionTest, CloseLink) {
    startSim();
    link_.closeLink();
    EXPECT_TRUE(log_.lines.empty());
    connect();
    link_.closeLink();
    EXPECT_EQ(log_.lines, (std::vector<std::string>{kStamp + " Порт закрыт"}));
    EXPECT_FALSE(link_.isOpen());
    link_.closeLink();
    EXPECT_EQ(log_.lines.size(), 1u);
}

TEST_F(ConnectionTest, ShutdownClosesWithoutALogLine) {
    startSim();
    connect();
    link_.shutdown();
    EXPECT_FALSE(link_.isOpen());
    EXPECT_TRUE(log_.lines.empty());
    link_.shutdown();
    EXPECT_FALSE(link_.isOpen());
}

TEST_F(ConnectionTest, MonitorDoesNothingWhileClosed) {
    startSim();
    EXPECT_TRUE(monitor().empty());
    EXPECT_TRUE(log_.lines.empty());
    EXPECT_TRUE(boxes_.shown.empty());
    EXPECT_EQ(sim_->receivedFrames(), 0);
}

TEST_F(ConnectionTest, MonitorShowsTheDeviceClock) {
    startSim();
    connect();
    LocalTime t{2031, 6, 15, 14, 30, 0, 0};  // a Sunday
    ASSERT_EQ(engine_.sendCommand(SetClock, clockRecord(t)), ExchangeResult::Ok);
    const std::vector<ReplyData> shown = monitor();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0][1], 24);
    const std::optional<std::string> text = deviceDateText(shown[0]);
    ASSERT_TRUE(text.has_value());
    // The device clock runs on from the time set; only the seconds may have moved.
    EXPECT_EQ(text->substr(0, text->size() - 2), "Вс. 15.06.2031  14:30:");
    EXPECT_TRUE(link_.isOpen());
    EXPECT_TRUE(log_.lines.empty());
    EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(ConnectionTest, BadClockReplyKeepsTheLink) {
    for (const char* mode : {"hour", "april"}) {
        SCOPED_TRACE(mode);
        port_->close();
        sim_.reset();
        startSim({"--bad-clock", mode});
        connect();
        const std::vector<ReplyData> shown = monitor();
        ASSERT_EQ(shown.size(), 1u);
        const std::optional<std::string> text = deviceDateText(shown[0]);
        if (std::string(mode) == "hour") {
            EXPECT_FALSE(text.has_value());
        } else {
            ASSERT_TRUE(text.has_value());
            EXPECT_EQ(text->substr(text->find(' ')), " 00.00.0000  00:00:00");
        }
        EXPECT_TRUE(link_.isOpen());
        EXPECT_TRUE(boxes_.shown.empty());
    }
}

TEST_F(ConnectionTest, DeviceGoneWhileConnected) {
    startSim();
    connect();
    sim_->kill();
    EXPECT_TRUE(monitor("COM7").empty());
    EXPECT_EQ(log_.lines, (std::vector<std::string>{kStamp + " Авария, закрыт  COM7"}));
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].title, "Ошибка");
    EXPECT_TRUE(boxes_.shown[0].text == "Самопроизвольно закрылся порт" ||
                boxes_.shown[0].text == "При обмене возникла ошибка.\nПорт принудительно закрыт.")
        << boxes_.shown[0].text;
    EXPECT_EQ(boxes_.shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(boxes_.shown[0].buttons, MessageButtons::Ok);
    EXPECT_FALSE(link_.isOpen());
    // The next tick finds the link closed and does nothing.
    EXPECT_TRUE(monitor().empty());
    EXPECT_EQ(log_.lines.size(), 1u);
}

TEST_F(ConnectionTest, DeviceGoneFirstSeenByAnotherExchangeIsStillReported) {
    startSim();
    connect();
    sim_->kill();
    // The simulation command of the same tick finds the port gone first.
    EXPECT_NE(engine_.sendCommand(Simulate, {204, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}), ExchangeResult::Ok);
    EXPECT_FALSE(link_.isOpen());
    EXPECT_TRUE(monitor("COM3").empty());
    EXPECT_EQ(log_.lines, (std::vector<std::string>{kStamp + " Авария, закрыт  COM3"}));
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].text, "Самопроизвольно закрылся порт");
    EXPECT_TRUE(monitor().empty());
    EXPECT_EQ(log_.lines.size(), 1u) << "reported once";
}

TEST_F(ConnectionTest, BrokenLinkInTheMonitorDialogIsAPortThatClosed) {
    // Every status reply reports a damaged EEPROM, so the greeting could not
    // pass; an open link is nothing but the open port, so open it directly.
    startSim({"--eeprom", "ol:80"});
    ASSERT_TRUE(port_->open("COM200"));
    boxes_.answers = {MessageAnswer::Cancel};
    EXPECT_TRUE(monitor().empty());
    EXPECT_EQ(log_.lines, (std::vector<std::string>{kStamp + " Авария, закрыт  COM200"}));
    ASSERT_EQ(boxes_.shown.size(), 2u);
    EXPECT_EQ(boxes_.shown[0].buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(boxes_.shown[1].title, "Ошибка");
    EXPECT_EQ(boxes_.shown[1].text, "Самопроизвольно закрылся порт");
    EXPECT_EQ(boxes_.shown[1].buttons, MessageButtons::Ok);
    EXPECT_FALSE(link_.isOpen());
    EXPECT_EQ(sim_->receivedFrames(), 1);
}

TEST_F(ConnectionTest, SkippedEepromErrorInTheMonitorHandsOnAllOnes) {
    startSim({"--eeprom", "os:80"});
    ASSERT_TRUE(port_->open("COM200"));
    boxes_.answers = {MessageAnswer::No};
    const std::vector<ReplyData> shown = monitor();
    ASSERT_EQ(shown.size(), 1u);
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(shown[0][size_t(i)], 255);
    EXPECT_FALSE(deviceDateText(shown[0]).has_value());
    EXPECT_TRUE(link_.isOpen());
    EXPECT_TRUE(log_.lines.empty());
}

TEST_F(ConnectionTest, DeviceStopsAnswering) {
    startSim({"--mute-after", "1"});
    connect();
    boxes_.answers = {MessageAnswer::Ok, MessageAnswer::No};
    EXPECT_TRUE(monitor().empty());
    ASSERT_EQ(boxes_.shown.size(), 2u);
    EXPECT_EQ(boxes_.shown[0].title, "Ошибка");
    EXPECT_EQ(boxes_.shown[0].text, "Устройство не отвечает.");
    EXPECT_EQ(boxes_.shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(boxes_.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(boxes_.shown[1].title, "Внимание!");
    EXPECT_EQ(boxes_.shown[1].text, "Устройство не отвечает\nРазорвать связь?");
    EXPECT_EQ(boxes_.shown[1].icon, MessageIcon::Error);
    EXPECT_EQ(boxes_.shown[1].buttons, MessageButtons::YesNo);
    EXPECT_TRUE(link_.isOpen());
    EXPECT_TRUE(log_.lines.empty());
    EXPECT_TRUE(sim_->waitForReceived(1 + 8, "80"));

    // The next tick polls again and asks again; Yes breaks the link.
    boxes_.shown.clear();
    boxes_.answers = {MessageAnswer::Ok, MessageAnswer::Yes};
    EXPECT_TRUE(monitor("COM3").empty());
    EXPECT_EQ(boxes_.shown.size(), 2u);
    EXPECT_EQ(log_.lines, (std::vector<std::string>{kStamp + " Устройство не отвечает. Закрыт  COM3"}));
    EXPECT_FALSE(link_.isOpen());
    EXPECT_TRUE(sim_->waitForReceived(1 + 16, "80"));
}

// A port that cannot be opened for want of rights.
class DeniedPort final : public SerialPort {
public:
    bool open(const std::string&) override { return false; }
    bool isOpen() const override { return false; }
    void close() override {}
    OpenFailure lastOpenFailure() const override { return failure; }
    OpenFailureDetail lastOpenDetail() const override { return detail; }
    size_t bytesWaiting() override { return 0; }
    size_t readWaiting(char*, size_t) override { return 0; }
    size_t write(const char*, size_t) override { return 0; }
    WaitResult waitForInput(Deadline) override { return WaitResult::Gone; }
    void wake() override {}
    OpenFailure failure = OpenFailure::PermissionDenied;
    OpenFailureDetail detail{"/dev/ttyUSB0", "dialout"};
};

TEST(ConnectionOpenFailureTest, OnlyMissingRightsGetAHint) {
    struct Case {
        OpenFailure failure;
        OpenFailureDetail detail;
        std::vector<std::string> lines;
    } cases[] = {
        {OpenFailure::PermissionDenied, {"/dev/ttyUSB0", "dialout"},
         {kStamp + " Ошибка отрытия COM33",
          "Нет доступа к порту /dev/ttyUSB0: добавьте пользователя в группу dialout и войдите в систему заново"}},
        {OpenFailure::PermissionDenied, {"/dev/ttyUSB0", ""},
         {kStamp + " Ошибка отрытия COM33", "Нет доступа к порту /dev/ttyUSB0: проверьте права доступа к устройству"}},
        {OpenFailure::Busy, {"/dev/ttyUSB0", ""}, {kStamp + " Ошибка отрытия COM33"}},
        {OpenFailure::NotFound, {}, {kStamp + " Ошибка отрытия COM33"}},
        {OpenFailure::Settings, {"/dev/ttyUSB0", ""}, {kStamp + " Ошибка отрытия COM33"}},
    };
    for (const Case& c : cases) {
        DeniedPort port;
        port.failure = c.failure;
        port.detail = c.detail;
        FakeMessageBoxes boxes;
        zave::EepromQuestionBox eeprom{boxes};
        FakeLog log;
        FakeEventPump pump;
        ExchangeEngine engine(port, eeprom);
        DeviceLink link(port, engine, log, boxes, pump);
        link.connectDevice("COM33");
        EXPECT_EQ(log.lines, c.lines);
        EXPECT_FALSE(link.isOpen());
    }
}

}  // namespace
}  // namespace zave
