// The system's port catalog on Windows: the values of a registry key laid
// out like HARDWARE\DEVICEMAP\SERIALCOMM, here a key of the test's own under
// HKEY_CURRENT_USER.
#include <windows.h>

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "link/discovery.h"
#include "link/port_catalog_win32.h"
#include "support/fakes.h"

namespace zave {
namespace {

using testing::FakeLog;

class RegistryCatalogTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent_ = "Software\\Orvatone Zave tests\\" + std::to_string(::GetCurrentProcessId()) + "-" +
                  std::to_string(::GetTickCount64());
        subKey_ = parent_ + "\\SERIALCOMM";
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, subKey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                    &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        if (key_ != nullptr) ::RegCloseKey(key_);
        ::RegDeleteTreeA(HKEY_CURRENT_USER, parent_.c_str());
    }

    // A string value; `withZero` false stores the text without its final zero.
    void setPort(const std::string& name, const std::string& port, bool withZero = true) {
        ASSERT_EQ(::RegSetValueExA(key_, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                                   DWORD(port.size() + (withZero ? 1 : 0))),
                  ERROR_SUCCESS);
    }
    std::optional<std::vector<CatalogEntry>> list() { return makeRegistryPortCatalog(HKEY_CURRENT_USER, subKey_)->listPorts(); }

    static std::vector<std::pair<std::string, std::string>> sorted(const std::vector<CatalogEntry>& entries) {
        std::vector<std::pair<std::string, std::string>> pairs;
        for (const CatalogEntry& e : entries) pairs.emplace_back(e.valueName, e.portName);
        std::sort(pairs.begin(), pairs.end());
        return pairs;
    }

    std::string parent_;
    std::string subKey_;
    HKEY key_ = nullptr;
};

TEST_F(RegistryCatalogTest, ListsEveryValueWithItsPortName) {
    setPort("\\Device\\Serial0", "COM1");
    setPort("\\Device\\VCP0", "COM33");
    setPort("\\Device\\Serial1", "COM7", /*withZero=*/false);
    setPort("\\Device\\ProlificSerial0", "LPT1");  // listed; discovery decides what counts
    // Data longer than the 255-byte buffer cannot be read: that value is skipped.
    setPort("\\Device\\Long0", "COM" + std::string(300, '9'));

    const auto listed = list();
    ASSERT_TRUE(listed.has_value());
    EXPECT_EQ(sorted(*listed), (std::vector<std::pair<std::string, std::string>>{
                                   {"\\Device\\ProlificSerial0", "LPT1"},
                                   {"\\Device\\Serial0", "COM1"},
                                   {"\\Device\\Serial1", "COM7"},
                                   {"\\Device\\VCP0", "COM33"}}));
}

TEST_F(RegistryCatalogTest, AnEmptyKeyIsAnEmptyListAndAMissingKeyNoList) {
    const auto empty = list();
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());
    EXPECT_FALSE(makeRegistryPortCatalog(HKEY_CURRENT_USER, subKey_ + "\\missing")->listPorts().has_value());
}

TEST_F(RegistryCatalogTest, FeedsDiscovery) {
    setPort("\\Device\\Serial0", "COM1");
    auto catalog = makeRegistryPortCatalog(HKEY_CURRENT_USER, subKey_);
    PortDiscovery discovery;
    FakeLog log;
    discovery.discoverPorts(false, *catalog, log);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(discovery.knownPorts(), std::vector<std::string>{"Serial0  COM1"});

    setPort("\\Device\\VCP0", "COM33");
    discovery.discoverPorts(false, *catalog, log);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"09:05:03 ->Обнаружено новое ", "соединение VCP0",
                                                   "Порт  : COM33", "-----------------------------------"}));
    auto known = discovery.knownPorts();
    std::sort(known.begin(), known.end());
    EXPECT_EQ(known, (std::vector<std::string>{"Serial0  COM1", "VCP0  COM33"}));
}

}  // namespace
}  // namespace zave
