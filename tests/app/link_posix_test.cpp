// The window against zave-devsim through the real serial layer.
#include <QPlainTextEdit>
#include <QPushButton>

#include "app_fixture.h"
#include "link/frame.h"
#include "support/devsim.h"

using namespace apptest;
using zave::testing::DevSim;

namespace {

const char* const kLinkControls[] = {"writeProgramButton", "readProgramButton", "disconnectButton",
                                     "syncClockButton", "simulationBox"};

class LinkTest : public AppTest {
protected:
    // Selects the simulator's port and clicks "Установить связь".
    void connectTo(const DevSim& sim) {
        auto* ports = find<QComboBox>("portSelector");
        ports->setCurrentText(QString::fromStdString(sim.portName()));
        QTest::mouseClick(find<QPushButton>("connectButton"), Qt::LeftButton);
    }
    QStringList logLines() const { return find<QPlainTextEdit>("logView")->toPlainText().split('\n'); }
};

}  // namespace

TEST_F(LinkTest, ConnectEnablesTheLinkControlsOnTheNextTickAndDisconnectDisablesThem) {
    DevSim sim;
    ASSERT_TRUE(sim.running()) << sim.error();
    window->statusTick();
    for (const char* name : kLinkControls) ASSERT_FALSE(find<QWidget>(name)->isEnabled()) << name;

    connectTo(sim);
    ASSERT_TRUE(window->linkPortOpen());
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 2) << lines.join('|').toStdString();
    EXPECT_TRUE(lines[0].endsWith(QString::fromStdString(" ->" + sim.portName() + " Порт открыт")))
        << lines[0].toStdString();
    EXPECT_EQ(lines[1], QString::fromUtf8("Устройство готово"));

    window->statusTick();
    for (const char* name : kLinkControls) EXPECT_TRUE(find<QWidget>(name)->isEnabled()) << name;
    // The monitor's status reply fills the device date field.
    EXPECT_FALSE(find<QLineEdit>("deviceDateField")->text().isEmpty());

    QTest::mouseClick(find<QPushButton>("disconnectButton"), Qt::LeftButton);
    EXPECT_FALSE(window->linkPortOpen());
    EXPECT_TRUE(logLines().last().endsWith(QString::fromUtf8(" -> Порт закрыт")));
    window->statusTick();
    for (const char* name : kLinkControls) EXPECT_FALSE(find<QWidget>(name)->isEnabled()) << name;
}

TEST_F(LinkTest, AKilledDeviceIsReportedAndTheControlsFollowInTheSameTick) {
    DevSim sim;
    ASSERT_TRUE(sim.running()) << sim.error();
    connectTo(sim);
    ASSERT_TRUE(window->linkPortOpen());
    window->statusTick();
    ASSERT_TRUE(find<QWidget>("writeProgramButton")->isEnabled());

    sim.kill();
    boxes.shown.clear();
    window->statusTick();
    EXPECT_FALSE(window->linkPortOpen());
    for (const char* name : kLinkControls) EXPECT_FALSE(find<QWidget>(name)->isEnabled()) << name;
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "Ошибка");
    EXPECT_TRUE(boxes.shown[0].text == "Самопроизвольно закрылся порт" ||
                boxes.shown[0].text == "При обмене возникла ошибка.\nПорт принудительно закрыт.")
        << boxes.shown[0].text;
    EXPECT_TRUE(logLines().last().endsWith(QString::fromStdString(" -> Авария, закрыт  " + sim.portName())))
        << logLines().last().toStdString();
}

TEST_F(LinkTest, SimulationSendsTheFocusedVolumeFieldsLevelEveryTick) {
    DevSim sim;
    ASSERT_TRUE(sim.running()) << sim.error();
    connectTo(sim);
    ASSERT_TRUE(window->linkPortOpen());
    window->activateWindow();
    QApplication::setActiveWindow(window.get());
    window->statusTick();
    clickBox(find<QCheckBox>("simulationBox"));
    ASSERT_TRUE(find<QCheckBox>("simulationBox")->isChecked());

    // Before any volume field had the focus the level is 0 (sound on, signal 1).
    const std::string levelZero = zave::commandFrame(8, {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}).substr(0, 28);
    window->statusTick();
    ASSERT_TRUE(sim.waitForReceived(1, levelZero));

    clickBox(enabledBox(3));
    typeInto(volumeField(3), "50");
    ASSERT_EQ(QApplication::focusWidget(), volumeField(3));
    const std::string level204 = zave::commandFrame(8, {204, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}).substr(0, 28);
    for (int i = 0; i < 3; ++i) window->statusTick();
    ASSERT_TRUE(sim.waitForReceived(3, level204));
    EXPECT_EQ(window->simulationLevel(), 204);

    // A redraw of the focused field (not typed) is what the next tick reads.
    window->document().slot(1, 3).volume = 75;
    window->refreshEditor();
    ASSERT_EQ(volumeField(3)->text(), "75");
    window->statusTick();
    const std::string level229 = zave::commandFrame(8, {229, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}).substr(0, 28);
    ASSERT_TRUE(sim.waitForReceived(1, level229));
    typeInto(volumeField(3), "50");
    window->statusTick();
    ASSERT_TRUE(sim.waitForReceived(4, level204));

    // The focus in a picker keeps the last level.
    picker(3)->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), picker(3));
    for (int i = 0; i < 2; ++i) window->statusTick();
    EXPECT_TRUE(sim.waitForReceived(6, level204));

    // Unticked: no more simulation frames.
    clickBox(find<QCheckBox>("simulationBox"));
    const int before = sim.receivedFrames("08");
    const int statusBefore = sim.receivedFrames("80");
    window->statusTick();
    ASSERT_TRUE(sim.waitForReceived(statusBefore + 1, "80"));
    EXPECT_EQ(sim.receivedFrames("08"), before);
}

TEST_F(LinkTest, NoStatusTickRunsDuringAProgramWrite) {
    DevSim sim({"--pace", "9600"});
    ASSERT_TRUE(sim.running()) << sim.error();
    connectTo(sim);
    ASSERT_TRUE(window->linkPortOpen());
    window->statusTick();
    // At 9600 baud the 28 frames take about a second: several 300 ms ticks fall due.
    QTest::mouseClick(find<QPushButton>("writeProgramButton"), Qt::LeftButton);
    EXPECT_TRUE(logLines().last().endsWith(QString::fromUtf8(" -> Программа записана")))
        << logLines().join('|').toStdString();
    EXPECT_TRUE(window->isEnabled());
    ASSERT_TRUE(sim.waitForReceived(1, "07"));

    // Between the first table frame and the settings frame nothing else went out.
    const std::vector<std::string> trace = sim.traceLines();
    auto first = std::find_if(trace.begin(), trace.end(), [](const std::string& l) { return l.rfind("rx 04", 0) == 0; });
    auto last = std::find_if(trace.begin(), trace.end(), [](const std::string& l) { return l.rfind("rx 07", 0) == 0; });
    ASSERT_NE(first, trace.end());
    ASSERT_NE(last, trace.end());
    int frames = 0;
    for (auto it = first; it <= last; ++it) {
        if (it->rfind("rx ", 0) != 0) continue;
        ++frames;
        EXPECT_TRUE(it->rfind("rx 04", 0) == 0 || it->rfind("rx 05", 0) == 0 || it->rfind("rx 06", 0) == 0 ||
                    it->rfind("rx 07", 0) == 0)
            << *it;
    }
    EXPECT_EQ(frames, 28);
}

TEST_F(LinkTest, ReadBringsTheDevicesProgramIntoTheEditor) {
    DevSim sim;
    ASSERT_TRUE(sim.running()) << sim.error();
    connectTo(sim);
    ASSERT_TRUE(window->linkPortOpen());
    window->statusTick();

    // Compose Monday slot 1 and Thursday slot 12, write them, start afresh, read back.
    clickBox(enabledBox(1));
    stepHours(picker(1), 8);
    typeInto(volumeField(1), "75");
    window->document().slot(4, 12) = {1, 23, 59, 100};
    window->document().soundType = 3;
    typeInto(find<QLineEdit>("pulseSwitchTimeField"), "42");
    QTest::mouseClick(find<QPushButton>("writeProgramButton"), Qt::LeftButton);
    ASSERT_TRUE(logLines().last().endsWith(QString::fromUtf8(" -> Программа записана")));
    const zave::ScheduleDocument written = window->document();

    boxes.answers = {zave::MessageAnswer::Yes};
    window->runCommand(CommandId::New);
    ASSERT_EQ(window->document().slot(1, 1), zave::TimeSlot{});
    QTest::mouseClick(find<QPushButton>("readProgramButton"), Qt::LeftButton);
    EXPECT_TRUE(logLines().last().endsWith(QString::fromUtf8(" -> Программа считана")));
    for (int d = 1; d <= 7; ++d) EXPECT_EQ(window->document().day(d), written.day(d)) << d;
    EXPECT_EQ(window->document().pulseSwitchTime, "42");
    EXPECT_EQ(find<QLineEdit>("pulseSwitchTimeField")->text(), "42");
    EXPECT_EQ(find<QComboBox>("soundTypeSelector")->currentIndex(), 2);
    EXPECT_EQ(picker(1)->text(), "08:00");
    EXPECT_EQ(volumeField(1)->text(), "75");
    EXPECT_TRUE(picker(1)->isEnabled());
    EXPECT_TRUE(window->isEnabled());
}

TEST_F(LinkTest, TheWriteGateRefusesAFaultyDayWithoutSending) {
    DevSim sim;
    ASSERT_TRUE(sim.running()) << sim.error();
    connectTo(sim);
    ASSERT_TRUE(window->linkPortOpen());
    clickBox(enabledBox(1));
    typeInto(volumeField(1), "101");
    ASSERT_FALSE(window->documentIsWritable());
    QTest::mouseClick(find<QPushButton>("writeProgramButton"), Qt::LeftButton);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "Внимание!");
    EXPECT_EQ(boxes.shown[0].text,
              "В составленной программе обнаружены ошибки.\nСистема запрещает производить некорректную запись\n");
    const QStringList lines = logLines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[lines.size() - 2].endsWith(QString::fromUtf8(" -> Старт запись программы")));
    EXPECT_TRUE(lines.last().endsWith(QString::fromUtf8(" -> Команда не выполнена")));
    EXPECT_EQ(sim.receivedFrames("04"), 0);
    EXPECT_TRUE(window->isEnabled());
}

TEST_F(LinkTest, ClockSyncSendsTheComputersTime) {
    DevSim sim;
    ASSERT_TRUE(sim.running()) << sim.error();
    connectTo(sim);
    ASSERT_TRUE(window->linkPortOpen());
    clock.time = {2026, 12, 7, 9, 5, 3, 1};
    QTest::mouseClick(find<QPushButton>("syncClockButton"), Qt::LeftButton);
    EXPECT_TRUE(logLines().last().endsWith(QString::fromUtf8(" -> Время синхронизировано")));
    // The window's clock is what the device is set to.
    EXPECT_TRUE(sim.waitForLine([](const std::string& l) { return l == "clock 2026-12-07 09:05:03 weekday=1"; }));
}
