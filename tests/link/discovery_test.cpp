#include <gtest/gtest.h>

#include "link/discovery.h"
#include "support/fakes.h"

namespace zave {
namespace {

using testing::FakeLog;

// A catalog entry in this system's own form for the device `name`: the
// registry value \Device\<name> on Windows, the device path "/dev/<name>"
// elsewhere.
CatalogEntry listed(const std::string& name, const std::string& port) {
#ifdef _WIN32
    return {"\\Device\\" + name, port};
#else
    return {"/dev/" + name, port};
#endif
}

class FakeCatalog : public PortCatalog {
public:
    std::optional<std::vector<CatalogEntry>> listPorts() override {
        ++calls;
        return ports;
    }
    std::optional<std::vector<CatalogEntry>> ports = std::vector<CatalogEntry>{};
    int calls = 0;
};

const CatalogEntry kUsb0 = listed("ttyUSB0", "COM33");
const CatalogEntry kAcm0 = listed("ttyACM0", "COM65");
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
          listed("lp0", "LPT1"),
          listed("x", "CO"),
          listed("y", ""),
          listed("z", "CXM3"),
          listed("ttyUSB1", "Com34"),
          listed("ttyUSB2", "cOM35")});
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
    scan({listed("ttyUSB0", "COM40")});
    EXPECT_EQ(log.lines, announcement("ttyUSB0", "COM40"));
}

}  // namespace
}  // namespace zave
