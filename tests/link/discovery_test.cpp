#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

#include "link/discovery.h"
#include "link/serial_port.h"
#include "support/fakes.h"
#include "support/pty_pair.h"

namespace zave {
namespace {

using testing::FakeLog;

class FakeCatalog : public PortCatalog {
public:
    std::optional<std::vector<CatalogEntry>> listPorts() override {
        ++calls;
        return ports;
    }
    std::optional<std::vector<CatalogEntry>> ports = std::vector<CatalogEntry>{};
    int calls = 0;
};

const CatalogEntry kUsb0{"/dev/ttyUSB0", "COM33"};
const CatalogEntry kAcm0{"/dev/ttyACM0", "COM65"};
const CatalogEntry kSerial0{"\\Device\\Serial0", "COM1"};

std::vector<std::string> announcement(const std::string& device, const std::string& port) {
    return {"09:05:03 ->Обнаружено новое ", "соединение " + device, "Порт  : " + port,
            "-----------------------------------"};
}

class DiscoveryTest : public ::testing::Test {
protected:
    void scan(std::vector<CatalogEntry> ports, bool linkOpen = false) {
        catalog.ports = std::move(ports);
        discovery.discoverPorts(linkOpen, catalog, log);
    }
    PortDiscovery discovery;
    FakeCatalog catalog;
    FakeLog log;
};

TEST_F(DiscoveryTest, TheFirstScanIsSilent) {
    scan({kUsb0, kSerial0});
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(discovery.knownPorts(), (std::vector<std::string>{"ttyUSB0  COM33", "Serial0  COM1"}));
}

TEST_F(DiscoveryTest, ASecondPortIsAnnouncedOnce) {
    scan({kUsb0});
    scan({kUsb0, kAcm0});
    EXPECT_EQ(log.lines, announcement("ttyACM0", "COM65"));
    scan({kUsb0, kAcm0});
    EXPECT_EQ(log.lines.size(), 4u);  // nothing more for a port already listed
    EXPECT_EQ(discovery.knownPorts(), (std::vector<std::string>{"ttyUSB0  COM33", "ttyACM0  COM65"}));
}

TEST_F(DiscoveryTest, TheDeviceNameIsTheTextAfterTheLastBackslash) {
    scan({kUsb0});
    scan({kUsb0, kSerial0});
    EXPECT_EQ(log.lines, announcement("Serial0", "COM1"));
}

TEST_F(DiscoveryTest, AValueNameWithoutSeparatorsIsKeptWhole) {
    scan({kUsb0});
    scan({kUsb0, {"VCP0", "COM9"}});
    EXPECT_EQ(log.lines, announcement("VCP0", "COM9"));
    EXPECT_EQ(discovery.knownPorts().back(), "VCP0  COM9");
}

TEST_F(DiscoveryTest, APortAfterAnEmptyScanIsListedSilently) {
    scan({});
    scan({kUsb0});
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(discovery.knownPorts(), std::vector<std::string>{"ttyUSB0  COM33"});
}

TEST_F(DiscoveryTest, APortThatLeavesAndComesBackIsAnnouncedAgain) {
    scan({kUsb0, kAcm0});
    scan({kUsb0});
    EXPECT_TRUE(log.lines.empty());  // leaving makes no noise
    scan({kUsb0, kAcm0});
    EXPECT_EQ(log.lines, announcement("ttyACM0", "COM65"));
}

TEST_F(DiscoveryTest, AnOnlyPortComingBackAfterAnEmptyScanIsSilent) {
    scan({kUsb0});
    scan({});
    scan({kUsb0});
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(DiscoveryTest, PortNamesMustBeginWithComInAnyCase) {
    scan({kUsb0});
    scan({kUsb0,
          {"/dev/lp0", "LPT1"},
          {"/dev/x", "CO"},
          {"/dev/y", ""},
          {"/dev/z", "CXM3"},
          {"/dev/ttyUSB1", "Com34"},
          {"/dev/ttyUSB2", "cOM35"}});
    std::vector<std::string> expected = announcement("ttyUSB1", "Com34");
    const auto second = announcement("ttyUSB2", "cOM35");
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(log.lines, expected);
    EXPECT_EQ(discovery.knownPorts(),
              (std::vector<std::string>{"ttyUSB0  COM33", "ttyUSB1  Com34", "ttyUSB2  cOM35"}));
}

TEST_F(DiscoveryTest, PausedWhileTheLinkPortIsOpen) {
    scan({kUsb0});
    const int callsBefore = catalog.calls;
    scan({kUsb0, kAcm0}, /*linkOpen=*/true);
    scan({kUsb0, kAcm0, kSerial0}, /*linkOpen=*/true);
    EXPECT_EQ(catalog.calls, callsBefore);  // the system is not even asked
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(discovery.knownPorts(), std::vector<std::string>{"ttyUSB0  COM33"});

    // After disconnecting, the list from before the connection is the one compared.
    scan({kUsb0, kAcm0});
    EXPECT_EQ(log.lines, announcement("ttyACM0", "COM65"));
}

TEST_F(DiscoveryTest, NoListLeavesTheKnownPortsAlone) {
    scan({kUsb0});
    catalog.ports = std::nullopt;
    discovery.discoverPorts(false, catalog, log);
    EXPECT_EQ(discovery.knownPorts(), std::vector<std::string>{"ttyUSB0  COM33"});
    EXPECT_TRUE(log.lines.empty());
    // The next real list is still compared with the old one.
    scan({kUsb0, kAcm0});
    EXPECT_EQ(log.lines, announcement("ttyACM0", "COM65"));
}

TEST_F(DiscoveryTest, ComparesWholeEntries) {
    // The same device under another port name is a different entry.
    scan({kUsb0});
    scan({{"/dev/ttyUSB0", "COM40"}});
    EXPECT_EQ(log.lines, announcement("ttyUSB0", "COM40"));
}

// The system catalog, fed through the port-link folder.
TEST(SystemPortCatalog, ListsLinkedTerminalsAndNothingElse) {
    testing::TempRuntimeDir dir;
    testing::PtyPair pty;
    testing::PtyPair second;
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(second.ok());
    std::ofstream(dir.root() + "/file") << "x";
    ASSERT_TRUE(dir.link("COM2", pty.slavePath()));  // a link beats /dev/ttyS1
    ASSERT_TRUE(dir.link("COM150", second.slavePath()));
    ASSERT_TRUE(dir.link("COM151", "/dev/null"));  // a character device, but no terminal
    ASSERT_TRUE(dir.link("COM152", dir.root() + "/file"));
    ASSERT_TRUE(dir.link("COM153", dir.root() + "/missing"));
    ASSERT_TRUE(dir.link("COM154", dir.root()));

    auto catalog = makeSystemPortCatalog();
    const auto listed = catalog->listPorts();
    ASSERT_TRUE(listed.has_value());
    auto find = [&](const std::string& name) {
        return std::find_if(listed->begin(), listed->end(),
                            [&](const CatalogEntry& e) { return e.portName == name; });
    };
    ASSERT_NE(find("COM2"), listed->end());
    EXPECT_EQ(find("COM2")->valueName, pty.slavePath());
    ASSERT_NE(find("COM150"), listed->end());
    EXPECT_EQ(find("COM150")->valueName, second.slavePath());
    for (const char* name : {"COM151", "COM152", "COM153", "COM154"})
        EXPECT_EQ(find(name), listed->end()) << name;
    // COM names in ascending order.
    for (size_t i = 1; i < listed->size(); ++i)
        EXPECT_LT(std::stoi((*listed)[i - 1].portName.substr(3)), std::stoi((*listed)[i].portName.substr(3)));
}

TEST(SystemPortCatalog, APortInUseIsStillListedAndStaysUsable) {
    testing::TempRuntimeDir dir;
    testing::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(dir.link("COM150", pty.slavePath()));
    auto port = makeSystemSerialPort();
    ASSERT_TRUE(port->open("COM150"));

    const auto listed = makeSystemPortCatalog()->listPorts();
    ASSERT_TRUE(listed.has_value());
    EXPECT_TRUE(std::any_of(listed->begin(), listed->end(),
                            [](const CatalogEntry& e) { return e.portName == "COM150"; }));
    // Looking at it did not take it from its holder.
    EXPECT_TRUE(port->isOpen());
    EXPECT_EQ(port->write("ok", 2), 2u);
    EXPECT_EQ(pty.receiveAtDevice(2), "ok");
}

TEST(SystemPortCatalog, FeedsDiscovery) {
    testing::TempRuntimeDir dir;
    testing::PtyPair first;
    testing::PtyPair later;
    ASSERT_TRUE(first.ok());
    ASSERT_TRUE(later.ok());
    ASSERT_TRUE(dir.link("COM150", first.slavePath()));
    auto catalog = makeSystemPortCatalog();
    PortDiscovery discovery;
    FakeLog log;
    discovery.discoverPorts(false, *catalog, log);
    ASSERT_TRUE(log.lines.empty());

    ASSERT_TRUE(dir.link("COM160", later.slavePath()));
    discovery.discoverPorts(false, *catalog, log);
    const std::string device = later.slavePath().substr(later.slavePath().rfind('/') + 1);
    EXPECT_EQ(log.lines, announcement(device, "COM160"));
    EXPECT_NE(std::find(discovery.knownPorts().begin(), discovery.knownPorts().end(), device + "  COM160"),
              discovery.knownPorts().end());
}

}  // namespace
}  // namespace zave
