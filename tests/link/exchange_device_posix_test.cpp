// The exchange engine against the simulator through the real serial layer.
#include "device/eeprom_question_box.h"
#include "link/exchange.h"

#include <gtest/gtest.h>

#include <thread>

#include "link/serial_port.h"
#include "support/devsim.h"
#include "support/fakes.h"

namespace zave {
namespace {

using testing::DevSim;
using testing::FakeMessageBoxes;

const CommandParams kSettings{0, 10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};

struct SimLink {
    explicit SimLink(std::vector<std::string> args) : sim(std::move(args)), engine(*port, eeprom) {}
    bool open() { return sim.running() && port->open(sim.portName()); }

    DevSim sim;
    std::unique_ptr<SerialPort> port = makeSystemSerialPort();
    FakeMessageBoxes boxes;
    zave::EepromQuestionBox eeprom{boxes};
    ExchangeEngine engine;
};

TEST(ExchangeWithDevice, CommandAndQueryAreAccepted) {
    SimLink link({});
    ASSERT_TRUE(link.open()) << link.sim.error();
    EXPECT_EQ(link.engine.sendCommand(WriteSettings, {1, 42, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0}), ExchangeResult::Ok);
    EXPECT_EQ(link.engine.sendQuery(ReadSettings, 0, 0), ExchangeResult::Ok);
    EXPECT_EQ(link.engine.replyData(), (ReplyData{0, 1, 42, 3, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(link.engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
    EXPECT_EQ(link.engine.replyData()[1], 24);
    EXPECT_GE(link.engine.replyData()[5], 1);
    EXPECT_LE(link.engine.replyData()[5], 7);
    EXPECT_TRUE(link.boxes.shown.empty());
    ASSERT_TRUE(link.sim.waitForReceived(3));
    const auto lines = link.sim.traceLines();
    EXPECT_EQ(lines.front(), "rx 07012A03" + std::string(18, '0') + frameChecksum("07012A03" + std::string(18, '0')));
}

TEST(ExchangeWithDevice, RefusalIsBadReplyWithoutDialog) {
    SimLink link({"--fail-first", "1"});
    ASSERT_TRUE(link.open()) << link.sim.error();
    EXPECT_EQ(link.engine.sendQuery(Status, 0, 0), ExchangeResult::BadReply);
    EXPECT_EQ(link.engine.lastReplyText(), "of#\r");
    EXPECT_EQ(link.engine.replyData(), ReplyData{});
    EXPECT_EQ(link.engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
    EXPECT_TRUE(link.boxes.shown.empty());
}

TEST(ExchangeWithDevice, SilenceIsBadReply) {
    SimLink link({"--silent"});
    ASSERT_TRUE(link.open()) << link.sim.error();
    EXPECT_EQ(link.engine.sendCommand(WriteSettings, kSettings), ExchangeResult::BadReply);
    EXPECT_EQ(link.engine.sendQuery(Status, 0, 0), ExchangeResult::BadReply);
    EXPECT_EQ(link.engine.lastReplyText(), "");
    EXPECT_EQ(link.engine.replyData(), ReplyData{});
    EXPECT_TRUE(link.port->isOpen());
    EXPECT_TRUE(link.sim.waitForReceived(2));
}

TEST(ExchangeWithDevice, AcceptanceWithoutTerminatorIsTakenAfterTheStop) {
    SimLink link({"--no-terminator"});
    ASSERT_TRUE(link.open()) << link.sim.error();
    EXPECT_EQ(link.engine.sendCommand(WriteSettings, kSettings), ExchangeResult::Ok);
    EXPECT_EQ(link.engine.lastReplyText(), "on#");
    EXPECT_EQ(link.engine.sendQuery(ReadSettings, 0, 0), ExchangeResult::Ok);
    EXPECT_EQ(link.engine.replyData(), (ReplyData{0, 0, 10, 1, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ExchangeWithDevice, ClosedPortWritesNothing) {
    SimLink link({});
    ASSERT_TRUE(link.sim.running()) << link.sim.error();
    EXPECT_EQ(link.engine.sendCommand(WriteSettings, kSettings), ExchangeResult::Disconnect);
    EXPECT_EQ(link.engine.sendQuery(Status, 0, 0), ExchangeResult::Disconnect);
    // Open, exchange once, close, and try again: only the one frame arrives.
    ASSERT_TRUE(link.open());
    EXPECT_EQ(link.engine.sendQuery(Status, 0, 0), ExchangeResult::Ok);
    link.port->close();
    EXPECT_EQ(link.engine.sendCommand(WriteSettings, kSettings), ExchangeResult::Disconnect);
    ASSERT_TRUE(link.port->open(link.sim.portName()));
    EXPECT_EQ(link.engine.sendQuery(ReadSettings, 0, 0), ExchangeResult::Ok);
    ASSERT_TRUE(link.sim.waitForReceived(2));
    EXPECT_EQ(link.sim.receivedFrames(), 2);
    EXPECT_EQ(link.sim.receivedFrames("80"), 1);
    EXPECT_EQ(link.sim.receivedFrames("86"), 1);
    EXPECT_TRUE(link.boxes.shown.empty());
}

TEST(ExchangeWithDevice, BadChecksumLeavesReplyDataUnchanged) {
    SimLink link({});
    ASSERT_TRUE(link.open()) << link.sim.error();
    ASSERT_EQ(link.engine.sendQuery(ReadSettings, 0, 0), ExchangeResult::Ok);
    ASSERT_EQ(link.engine.sendCommand(WriteSettings, {1, 200, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0}), ExchangeResult::Ok);
    const ReplyData before = link.engine.replyData();

    link.port->close();
    ASSERT_TRUE(link.sim.restart({"--bad-checksum"})) << link.sim.error();
    ASSERT_TRUE(link.open());
    EXPECT_EQ(link.engine.sendQuery(ReadSettings, 0, 0), ExchangeResult::BadReply);
    EXPECT_EQ(link.engine.sendQuery(Status, 0, 0), ExchangeResult::BadReply);
    EXPECT_EQ(link.engine.replyData(), before);
    EXPECT_NE(link.engine.lastReplyText().find("on#"), std::string::npos);
    // Commands carry no data and are still accepted.
    EXPECT_EQ(link.engine.sendCommand(WriteSettings, kSettings), ExchangeResult::Ok);
}

TEST(ExchangeWithDevice, DeviceKilledMidwayEndsTheExchange) {
    SimLink link({"--delay-ms", "150"});
    ASSERT_TRUE(link.open()) << link.sim.error();
    const pid_t pid = link.sim.pid();
    std::thread killer([&] {
        if (link.sim.waitForReceived(1)) ::kill(pid, SIGKILL);
    });
    const ExchangeResult result = link.engine.sendQuery(Status, 0, 0);
    killer.join();
    link.sim.kill();  // reaps it
    EXPECT_NE(result, ExchangeResult::Ok);
    EXPECT_FALSE(link.port->isOpen());
    EXPECT_EQ(link.engine.sendQuery(Status, 0, 0), ExchangeResult::Disconnect);
    EXPECT_EQ(link.engine.replyData(), ReplyData{});
}

// EEPROM dialogs: every answer of every form, through the simulator.

const std::string kCmdOs =
    "Повреждена EEPROM микроконтроллера\nДля повтора операции нажмите “ДА”\nДля разрыва связи нажмите “НЕТ”\n";
const std::string kCmdOl =
    "Повреждена EEPROM внешняя\nДля повтора операции нажмите “ДА”\nДля разрыва связи нажмите “НЕТ”\n";
const std::string kQryOs =
    "Повреждена EEPROM микроконтроллера\nПовтор операции, нажмите “ДА”\nПропустить ошибку, нажмите “НЕТ”\n"
    "Разрыв связи, нажмите “ОТМЕНА”\n";
const std::string kQryOl =
    "Повреждена EEPROM внешняя\nПовтор операции, нажмите “ДА”\nПропустить ошибку, нажмите “НЕТ”\n"
    "Разрыв связи, нажмите “ОТМЕНА”\n";

TEST(ExchangeWithDevice, EepromDialogsAndTheirAnswers) {
    using A = MessageAnswer;
    using R = ExchangeResult;
    struct Case {
        bool query;
        std::vector<A> answers;
        R expected;
        bool all255;  // replyData 1..10 all 255 afterwards (else unchanged)
    };
    struct Device {
        std::vector<std::string> args;
        std::vector<std::string> texts;       // command dialogs, in order
        std::vector<std::string> queryTexts;  // query dialogs, in order
        std::vector<Case> cases;
    } devices[] = {
        {{"--eeprom", "os:07,86"}, {kCmdOs}, {kQryOs},
         {{false, {A::Yes}, R::BadReply, false},
          {false, {A::No}, R::Disconnect, false},
          {true, {A::Yes}, R::BadReply, false},
          {true, {A::No}, R::Ok, true},
          {true, {A::Cancel}, R::Disconnect, false}}},
        {{"--eeprom", "ol:07,86"}, {kCmdOl}, {kQryOl},
         {{false, {A::Yes}, R::BadReply, false},
          {false, {A::No}, R::Disconnect, false},
          {true, {A::Yes}, R::BadReply, false},
          {true, {A::No}, R::Ok, true},
          {true, {A::Cancel}, R::Disconnect, false}}},
        {{"--eeprom", "both:07,86"}, {kCmdOs, kCmdOl}, {kQryOs, kQryOl},
         {{false, {A::Yes, A::No}, R::Disconnect, false},
          {false, {A::No, A::Yes}, R::BadReply, false},
          {true, {A::No, A::Cancel}, R::Disconnect, false},
          {true, {A::Cancel, A::No}, R::Ok, true},
          {true, {A::No, A::Yes}, R::BadReply, false},
          {true, {A::Yes, A::No}, R::Ok, true}}},
        // Acceptance together with an EEPROM token is still no acceptance.
        {{"--eeprom", "os:07,86", "--eeprom-accept"}, {kCmdOs}, {kQryOs},
         {{false, {A::Yes}, R::BadReply, false},
          {false, {A::No}, R::Disconnect, false},
          {true, {A::Yes}, R::BadReply, false},
          {true, {A::No}, R::Ok, true}}},
    };
    for (const auto& d : devices) {
        SimLink link(d.args);
        ASSERT_TRUE(link.open()) << link.sim.error();
        for (const auto& c : d.cases) {
            SCOPED_TRACE(d.args[1] + (d.args.size() > 2 ? " accept" : "") + (c.query ? " query" : " command") +
                         " answers " + std::to_string(c.answers.size()) + " first " +
                         std::to_string(int(c.answers[0])));
            // The status query is not affected: it sets known data first.
            ASSERT_EQ(link.engine.sendQuery(Status, 0, 0), R::Ok);
            const ReplyData before = link.engine.replyData();
            link.boxes.shown.clear();
            link.boxes.answers.assign(c.answers.begin(), c.answers.end());
            const R result = c.query ? link.engine.sendQuery(ReadSettings, 0, 0)
                                     : link.engine.sendCommand(WriteSettings, kSettings);
            EXPECT_EQ(result, c.expected);
            const auto& texts = c.query ? d.queryTexts : d.texts;
            ASSERT_EQ(link.boxes.shown.size(), texts.size());
            for (size_t i = 0; i < texts.size(); ++i) {
                EXPECT_EQ(link.boxes.shown[i].title, "Внимание!");
                EXPECT_EQ(link.boxes.shown[i].text, texts[i]);
                EXPECT_EQ(link.boxes.shown[i].icon, MessageIcon::Error);
                EXPECT_EQ(link.boxes.shown[i].buttons,
                          c.query ? MessageButtons::YesNoCancel : MessageButtons::YesNo);
            }
            if (c.all255) {
                EXPECT_EQ(link.engine.replyData(),
                          (ReplyData{before[0], 255, 255, 255, 255, 255, 255, 255, 255, 255, 255}));
            } else {
                EXPECT_EQ(link.engine.replyData(), before);
            }
            EXPECT_TRUE(link.port->isOpen());  // the engine never closes the port
        }
    }
}

}  // namespace
}  // namespace zave
