// The system's port catalog on POSIX: COM names in the port-link folder
// that lead to terminals.
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

std::vector<std::string> announcement(const std::string& device, const std::string& port) {
    return {"09:05:03 ->Обнаружено новое ", "соединение " + device, "Порт  : " + port,
            "-----------------------------------"};
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
