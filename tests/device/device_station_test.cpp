// The device station's own rules: the busy rule and the port scan it gates.
// Its operations are tested through both front ends against the simulator.
#include <gtest/gtest.h>

#include "device/device_station.h"
#include "device/eeprom_question_box.h"
#include "support/fakes.h"

namespace zave {
namespace {

// A port that never opens.
class AbsentPort final : public SerialPort {
public:
    bool open(const std::string&) override { return false; }
    bool isOpen() const override { return false; }
    void close() override {}
    OpenFailure lastOpenFailure() const override { return OpenFailure::NotFound; }
    OpenFailureDetail lastOpenDetail() const override { return {}; }
    size_t bytesWaiting() override { return 0; }
    size_t readWaiting(char*, size_t) override { return 0; }
    size_t write(const char*, size_t) override { return 0; }
    WaitResult waitForInput(Deadline) override { return WaitResult::Gone; }
    void wake() override {}
};

class ListedPorts final : public PortCatalog {
public:
    std::optional<std::vector<CatalogEntry>> listPorts() override { return ports; }
    std::vector<CatalogEntry> ports;
};

class NoProgress final : public ProgressUi {
public:
    void openProgressWindow() override {}
    void closeProgressWindow() override {}
    void setProgress(int) override {}
    bool stopRequested() override { return false; }
};

struct Station {
    testing::FakeMessageBoxes boxes;
    EepromQuestionBox eeprom{boxes};
    testing::FakeLog log;
    testing::FakeEventPump pump;
    NoProgress progress;
    testing::FakeClock clock;
    DeviceStation station{std::make_unique<AbsentPort>(), {boxes, eeprom, log, pump, progress, clock}};
};

TEST(DeviceStation, HoldsNestAndReleaseInOrder) {
    Station s;
    EXPECT_FALSE(s.station.busy());
    {
        const auto outer = s.station.hold();
        {
            const auto inner = s.station.hold();
            EXPECT_TRUE(s.station.busy());
        }
        EXPECT_TRUE(s.station.busy());
    }
    EXPECT_FALSE(s.station.busy());
}

TEST(DeviceStation, APortScanWhileBusyIsDroppedNotPostponed) {
    Station s;
    ListedPorts catalog;
    catalog.ports = {{"/dev/ttyS0", "COM1"}};
    {
        const auto held = s.station.hold();
        s.station.scanPorts(catalog);
        EXPECT_TRUE(s.station.knownPorts().empty());
    }
    EXPECT_TRUE(s.log.lines.empty());
    s.station.scanPorts(catalog);
    EXPECT_EQ(s.station.knownPorts().size(), 1u);
}

TEST(DeviceStation, AFailedConnectLeavesTheStationIdleAndClosed) {
    Station s;
    EXPECT_EQ(s.station.connect("COM3"), ConnectOutcome::OpenFailed);
    EXPECT_FALSE(s.station.busy());
    EXPECT_FALSE(s.station.isOpen());
    // Operations on a closed line send nothing and say nothing more.
    const size_t logged = s.log.lines.size();
    EXPECT_FALSE(s.station.syncClock());
    EXPECT_FALSE(s.station.busy());
    EXPECT_EQ(s.log.lines.size(), logged);
}

}  // namespace
}  // namespace zave
