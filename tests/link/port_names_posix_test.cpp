#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <gtest/gtest.h>
#include <unistd.h>

#include "link/port_names.h"
#include "support/pty_pair.h"

namespace zave {
namespace {

using testing::TempRuntimeDir;

struct FixedCase {
    const char* name;
    const char* path;
};

void PrintTo(const FixedCase& c, std::ostream* os) { *os << c.name << " -> " << c.path; }

class FixedTableTest : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FixedTableTest, MapsWithoutLinks) {
    TempRuntimeDir dir;  // an empty link folder
    ASSERT_FALSE(dir.linkFolder().empty());
    const auto& c = GetParam();
    EXPECT_EQ(resolvePortPath(c.name, dir.linkFolder()), std::optional<std::string>(c.path));
    EXPECT_EQ(resolvePortPath(c.name, ""), std::optional<std::string>(c.path));
    EXPECT_EQ(resolvePortPath(c.name), std::optional<std::string>(c.path));
}

INSTANTIATE_TEST_SUITE_P(Table, FixedTableTest,
                         ::testing::Values(FixedCase{"COM1", "/dev/ttyS0"}, FixedCase{"COM12", "/dev/ttyS11"},
                                           FixedCase{"COM32", "/dev/ttyS31"},
                                           FixedCase{"COM33", "/dev/ttyUSB0"},
                                           FixedCase{"COM64", "/dev/ttyUSB31"},
                                           FixedCase{"COM65", "/dev/ttyACM0"},
                                           FixedCase{"COM96", "/dev/ttyACM31"}),
                         [](const ::testing::TestParamInfo<FixedCase>& info) { return std::string(info.param.name); });

TEST(ResolvePortPath, NamesPastTheTableExistOnlyAsLinks) {
    TempRuntimeDir dir;
    for (const char* name : {"COM97", "COM150", "COM200"})
        EXPECT_EQ(resolvePortPath(name, dir.linkFolder()), std::nullopt) << name;
}

TEST(ResolvePortPath, ALinkWinsForEveryNumber) {
    TempRuntimeDir dir;
    const std::filesystem::path target = std::filesystem::path(dir.root()) / "device";
    std::ofstream(target).put('x');
    const std::string real = std::filesystem::canonical(target).string();
    for (const char* name : {"COM1", "COM3", "COM33", "COM96", "COM97", "COM200"}) {
        ASSERT_TRUE(dir.link(name, target.string())) << name;
        EXPECT_EQ(resolvePortPath(name, dir.linkFolder()), std::optional<std::string>(real)) << name;
        // The folder from the environment is the same one.
        EXPECT_EQ(resolvePortPath(name), std::optional<std::string>(real)) << name;
    }
    // Only the linked names changed.
    EXPECT_EQ(resolvePortPath("COM2", dir.linkFolder()), std::optional<std::string>("/dev/ttyS1"));
}

TEST(ResolvePortPath, LinkToAPseudoTerminalResolvesToItsSlave) {
    TempRuntimeDir dir;
    testing::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(dir.link("COM3", pty.slavePath()));
    EXPECT_EQ(resolvePortPath("COM3"), std::optional<std::string>(pty.slavePath()));
}

TEST(ResolvePortPath, ADanglingLinkStillNamesThePort) {
    TempRuntimeDir dir;
    const std::string missing = dir.root() + "/gone";
    ASSERT_TRUE(dir.link("COM5", missing));
    const auto path = resolvePortPath("COM5", dir.linkFolder());
    ASSERT_TRUE(path.has_value());
    EXPECT_NE(*path, "/dev/ttyS4");  // the link, not the table
}

TEST(ResolvePortPath, OtherNamesResolveToNothingEvenWithALink) {
    TempRuntimeDir dir;
    const std::string target = dir.root() + "/device";
    std::ofstream(target).put('x');
    for (const char* name : {"COM0", "COM201", "COM1000", "com5", "Com5", "COMx", "", "COM", "COM01",
                             "COM1 ", " COM1", "COM-1", "COM+1", "COM1x", "LPT1", "COM99999999999999"}) {
        if (*name != '\0') dir.link(name, target);
        EXPECT_EQ(resolvePortPath(name, dir.linkFolder()), std::nullopt) << '"' << name << '"';
        EXPECT_EQ(resolvePortPath(name), std::nullopt) << '"' << name << '"';
    }
}

TEST(ResolvePortPath, PathLikeNamesAreTakenAsWrittenNeverInsideTheFolder) {
    TempRuntimeDir dir;
    // A name with a slash is a device path of its own: it is never joined to
    // the link folder, so it cannot reach a link there by climbing out.
    const struct {
        const char* name;
        std::optional<std::string> path;
    } cases[] = {{"COM1/..", "COM1/.."}, {"../COM1", "../COM1"}, {"COM1/x", "COM1/x"}, {"COM1\n", std::nullopt}};
    for (const auto& c : cases) EXPECT_EQ(resolvePortPath(c.name, dir.linkFolder()), c.path) << c.name;
}

TEST(PortLinkFolder, FollowsTheRuntimeFolder) {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = old ? old : "";

    ::setenv("XDG_RUNTIME_DIR", "/run/user/4321", 1);
    EXPECT_EQ(portLinkFolder(), "/run/user/4321/zave/ports");

    const std::string fallback = "/tmp/zave-" + std::to_string(::getuid()) + "/ports";
    ::setenv("XDG_RUNTIME_DIR", "", 1);
    EXPECT_EQ(portLinkFolder(), fallback);
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(portLinkFolder(), fallback);

    if (old) ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

}  // namespace
}  // namespace zave
