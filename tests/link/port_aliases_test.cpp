#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "link/port_aliases.h"

namespace zave {
namespace {

// The device path this system's port layer opens as it is.
#ifdef _WIN32
const std::string kDevicePath = "\\\\.\\COM12";
#else
const std::string kDevicePath = "/dev/serial/by-id/usb-FTDI_A1-if00-port0";
#endif

class SettingsFile {
public:
    explicit SettingsFile(const std::string& text) {
        std::random_device random;
        path_ = (std::filesystem::temp_directory_path() / ("zave-ports-" + std::to_string(random()) + ".toml")).string();
        std::ofstream(path_, std::ios::binary) << text;
    }
    ~SettingsFile() { std::filesystem::remove(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

TEST(PortAliases, ChoosingAPort) {
    const SettingsFile file("# names\n[ports]\nclassroom-3 = '" + kDevicePath + "'\nhall = \"com4\"\n"
                            "broken = \"kitchen\"\n");
    const PortAliases aliases = loadPortAliases(file.path());
    ASSERT_EQ(aliases.error, "");
    ASSERT_TRUE(aliases.fileFound);
    struct Row {
        std::string text;
        std::string port;   // empty: refused
        std::string alias;
    } rows[] = {
        {"COM1", "COM1", ""},
        {"com200", "COM200", ""},
        {"Com12", "COM12", ""},
        {kDevicePath, kDevicePath, ""},
        {"classroom-3", kDevicePath, "classroom-3"},
        {"hall", "COM4", "hall"},
        {"Hall", "", ""},     // names are matched exactly
        {"broken", "", ""},   // names something that is no port
        {"COM0", "", ""},
        {"COM201", "", ""},
        {"COM01", "", ""},
        {"COM1 ", "", ""},
        {"", "", ""},
        {"nosuch", "", ""},
    };
    for (const Row& r : rows) {
        const PortChoice choice = choosePort(r.text, aliases, file.path());
        EXPECT_EQ(choice.port, r.port) << r.text;
        EXPECT_EQ(choice.alias, r.alias) << r.text;
        EXPECT_EQ(choice.error.empty(), !r.port.empty()) << r.text << ": " << choice.error;
    }
}

TEST(PortAliases, FilesThatNameNoPorts) {
    struct Row {
        const char* text;  // nullptr: no file at all
        bool error;
    } rows[] = {
        {nullptr, false},
        {"", false},
        {"[other]\nx = 1\n", false},
        {"[ports]\nhall = 4\n", true},          // not a text
        {"ports = \"COM4\"\n", true},           // not a table
        {"[ports]\nhall = \"COM4\n", true},     // no valid TOML
        {"[ports]\nhall = \"COM4\"\nhall = \"COM5\"\n", true},
    };
    for (const Row& r : rows) {
        PortAliases aliases;
        if (r.text == nullptr) {
            aliases = loadPortAliases((std::filesystem::temp_directory_path() / "zave-no-such-settings.toml").string());
        } else {
            const SettingsFile file(r.text);
            aliases = loadPortAliases(file.path());
            EXPECT_TRUE(aliases.fileFound);
            if (r.error) {
                EXPECT_NE(aliases.error.find(file.path()), std::string::npos) << aliases.error;
            }
        }
        EXPECT_EQ(!aliases.error.empty(), r.error) << (r.text ? r.text : "(none)") << aliases.error;
        EXPECT_TRUE(aliases.ports.empty()) << (r.text ? r.text : "(none)");
    }
}

}  // namespace
}  // namespace zave
